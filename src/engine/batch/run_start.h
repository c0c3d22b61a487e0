// The run starter shared by both faces: the checks that must pass before a
// conversion starts, the watermark font of the run and the run's format
// values. Each face checks in its own order and reports a failed check its
// own way (the command line with an "Error: " line, the window with a
// message box), so the checks come back as codes.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/run_state.h"
#include "engine/batch/input_list.h"
#include "engine/job.h"
#include "engine/watermark/watermark_font.h"
#include "settings/settings.h"

namespace qm {

// The records a run works on. The application object owns them; the faces
// get them together through this view.
struct Workspace {
  Settings& settings;
  RunState& run;
  InputList& inputs;
};

// Empties the Run state (see resetRunState) and the Input list. Inline, as
// the command-line parser runs it in a program that has not loaded the
// engine's code.
inline void resetRun(RunState& run, InputList& inputs) {
  resetRunState(run);
  inputs.clear();
}

enum class RunFace { CommandLine, Window };

enum class RunCheck {
  Passed,
  InvalidInputFile,      // command line: missing, a folder, or empty
  IncorrectInputFolder,  // command line: begins with ".."
  InvalidInputFolder,
  EmptyInputList,         // window
  EmptyOutputFolder,      // window
  IncorrectOutputFolder,  // command line: begins with ".."
  InvalidOutputFolder,
  InvalidConversionType,  // command line
  InvalidBitDepth,        // command line: the output format's BPP setting
  InvalidJpgQuality,      // command line
  InvalidWidth,
  InvalidHeight,
  InvalidBrightness,  // command line
  InvalidContrast,    // command line
  InvalidGamma,       // command line
  InvalidWatermarkFont,
  EmptyWatermarkImage,  // window
  InvalidWatermarkImage,
};

// The points of the command line's checks at which its debug echo writes
// its lines, in the order they are reached. A stage is reported only when
// the check before it passed and the settings make it apply (Rotation only
// with rotation on, and so on).
enum class RunStage {
  Input,
  Output,
  Conversion,
  OutputFormat,
  Rotation,
  Width,
  Height,
  ResizeDetails,
  Flip,
  Brightness,
  Contrast,
  Gamma,
  Invert,
  Greyscale,
  Threshold,
  Frame,
  FrameDetails,
  Watermark,
  TextWatermark,
  ImageWatermark,
  Naming,
};
using StageObserver = std::function<void(RunStage stage)>;

// What a started run needs besides the Run state.
struct RunPlan {
  RunFormat format;
  WatermarkFontPtr font;   // only with the text watermark on
  bool fileInput = false;  // command line: the input names a file
};

struct RunStart {
  RunCheck check = RunCheck::Passed;
  RunPlan plan;  // complete only when the check passed
};

// The input is a file when it has an extension: text after the last "."
// with no "/" or blank in it, that "." not opening the last component.
bool namesFile(std::string_view input);

enum class FolderCheck { Valid, Incorrect, Invalid };

struct ResolvedFolder {
  FolderCheck check = FolderCheck::Invalid;
  std::string path;  // with a trailing "/"
};

// A folder of the command line: one beginning with ".." is refused; a
// relative one lies under `baseFolder` (a leading "./" dropped), which
// the command line makes the current folder, as a shell user expects; it
// must exist. Nothing is created.
ResolvedFolder resolveFolder(std::string folder, const std::string& baseFolder);

// Runs the face's checks in its order. The command line resolves the Run
// state's input root, input file and output folder and defaults the input
// type and output extension; the window expects the output folder (blanks
// trimmed) and the output extension taken from its selectors. On success
// the Run state's format values are set and the plan is complete.
RunStart prepareRun(RunFace face, const Workspace& workspace, const StageObserver& observe = {});

}  // namespace qm
