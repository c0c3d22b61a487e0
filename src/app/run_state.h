// The Run state: the record of the current run, shared by the command
// line, the Input list and the conversion worker. It is a plain struct; the
// application object owns the one instance and hands it out by reference.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qm {

class InputList;

struct RunState {
  std::string programFolder;   // with a trailing "/"
  std::string inputFile;
  std::string inputRoot;
  std::string outputFolder;    // with a trailing "/" once validated
  std::int32_t randomNumber = 1;
  std::int32_t sequenceNumber = 1;
  std::string inputType;
  std::string outputExtension;
  bool commandLine = false;
  std::string runModeMarker;   // "DEBUG", "T" or empty

  // Per-file values of the conversion.
  std::string inputPath;
  std::string relativeSubFolder;
  std::string outputPath;
  std::string temporaryOutputPath;
  std::int32_t sourceBitDepth = 0;
  std::int32_t writerId = 0;
  std::int32_t targetBitDepth = 0;
  std::int32_t saveFlags = 0;
  bool automaticBitDepth = false;
  std::int32_t outputWidth = 0;
  std::int32_t outputHeight = 0;

  std::int32_t interfaceChangeCode = 0;
  std::int32_t preferencesStartPage = 0;

  // Derived from the input type list by every reset.
  std::vector<std::string> readableExtensions;

  std::mt19937 random{std::random_device{}()};

  // A new %rnd% value, 1..99999.
  std::int32_t drawRandomNumber();
};

// Empties the record and the Input list, draws a random number, sets the
// sequence number to 1 and rebuilds the readable extension list. The
// run-mode marker keeps its value.
void resetRunState(RunState& run, InputList& inputs);

}  // namespace qm
