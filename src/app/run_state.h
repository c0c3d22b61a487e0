// The Run state: the record of the current run, shared by the run starters
// of both faces, the Input list and the conversion worker. It is a plain
// struct; the application object owns the one instance and hands it out by
// reference. Values of the file being converted are not kept here: they
// belong to the job's result and the progress record.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qm {

struct RunState {
  std::string programFolder;  // with a trailing "/"
  std::string inputFile;
  std::string inputRoot;
  std::string outputFolder;  // with a trailing "/" once validated
  std::int32_t randomNumber = 1;
  std::int32_t sequenceNumber = 1;
  std::string inputType;
  std::string outputExtension;
  bool commandLine = false;
  std::string runModeMarker;  // "DEBUG", "T" or empty
  std::int32_t jobs = 0;      // worker processes at once; 0 = one per usable core

  // The run's format values, fixed by the run starter.
  std::int32_t writerId = 0;
  std::int32_t targetBitDepth = 0;
  std::int32_t saveFlags = 0;
  bool automaticBitDepth = false;

  std::int32_t interfaceChangeCode = 0;
  std::int32_t preferencesStartPage = 0;

  // The cleaned extensions of the last converter search.
  std::string searchFrom;
  std::string searchTo;

  // Derived from the input type list by every reset.
  std::vector<std::string> readableExtensions;

  std::mt19937 random{std::random_device{}()};

  // A new %rnd% value, 1..99999.
  std::int32_t drawRandomNumber();
};

// Empties the record, draws a random number, sets the sequence number to 1
// and rebuilds the readable extension list. The run-mode marker keeps its
// value. (The Input list is emptied beside it: see resetRun.)
void resetRunState(RunState& run);

}  // namespace qm
