#include "cli/command_line_run.h"

#include <string>
#include <utility>

#include "app/application.h"
#include "app/messages.h"
#include "cli/debug_echo.h"
#include "engine/folder_scan.h"
#include "engine/job.h"
#include "engine/list_import.h"
#include "engine/progress.h"
#include "engine/watermark_font.h"
#include "engine/worker.h"
#include "formats/input_formats.h"
#include "formats/output_formats.h"
#include "platform/console.h"
#include "platform/paths.h"

namespace qm {

bool namesFile(std::string_view input) {
  auto dot = input.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == input.size()) return false;
  if (input.find_first_of("/ ", dot + 1) != std::string_view::npos) return false;
  return dot != 0 && input[dot - 1] != '/';
}

ResolvedFolder resolveFolder(std::string folder, const std::string& programFolder) {
  if (folder.starts_with("..")) return {FolderCheck::Incorrect, {}};
  if (!folder.starts_with("/")) {
    if (folder.starts_with("./")) folder.erase(0, 2);
    folder = programFolder + folder;
  }
  folder = platform::withTrailingSlash(std::move(folder));
  if (!platform::isFolder(folder)) return {FolderCheck::Invalid, {}};
  return {FolderCheck::Valid, std::move(folder)};
}

namespace {

bool hasContent(const std::string& path) {
  auto size = platform::fileSize(path);
  return size && *size > 0;
}

class CommandLineRun {
 public:
  CommandLineRun(Application& app, bool quiet, platform::Console& console)
      : app_(app),
        settings_(app.settings),
        run_(app.run),
        quiet_(quiet),
        debug_(app.run.runModeMarker == "DEBUG"),
        console_(console) {}

  int run() {
    if (!prepare()) return 1;
    status(messages().lookUpText("General", "Importing"));
    int total = importInputs();
    status(fillPlaceholders(messages().lookUpText("Msg", "Import complete"), std::to_string(total)));
    if (total == 0) {
      always(messages().lookUpText("Msg", "Conversion is not complete"));
      always(messages().lookUpText("Msg", "Empty input files"));
      return 1;
    }
    status(messages().lookUpText("General", "Converting"));
    int converted = convert();
    if (converted != 0) {
      status(messages().lookUpText("Msg", "Conversion complete"));
      status(fillPlaceholders(messages().lookUpText("Msg", "Files converted"), std::to_string(converted),
                              std::to_string(total)));
    } else {
      always(messages().lookUpText("Msg", "Conversion is not complete"));
    }
    return converted == total ? 0 : 1;
  }

 private:
  void status(std::string_view line) {
    if (!quiet_) console_.writeLine(line);
  }
  void always(std::string_view line) { console_.writeLine(line); }
  void debug(std::string_view line) {
    if (debug_) console_.writeLine(line);
  }
  void debug(const EchoLine& line) { debug(echoLineText(settings_, line)); }
  void debug(std::span<const EchoLine> lines) {
    for (const EchoLine& line : lines) debug(line);
  }
  bool fail(std::string_view message) {
    console_.writeErrorLine("Error: " + std::string(message));
    return false;
  }

  bool prepare() {
    status(messages().lookUpText("General", "Preparing"));
    debug("Input: " + run_.inputRoot);
    return checkInput() && checkOutputFolder() && checkConversion() && checkOutputFormat() &&
           checkTransforms() && checkAdjustments() && checkFrameAndWatermark() && echoNaming() &&
           prepareFormat();
  }

  bool checkInput() {
    fileInput_ = namesFile(run_.inputRoot);
    if (fileInput_) {
      run_.inputFile = std::exchange(run_.inputRoot, std::string());
      if (!hasContent(run_.inputFile)) return fail("Invalid input file");
      return true;
    }
    ResolvedFolder folder = resolveFolder(run_.inputRoot, run_.programFolder);
    if (folder.check == FolderCheck::Incorrect) return fail("Incorrect input folder");
    if (folder.check == FolderCheck::Invalid) return fail("Invalid input folder");
    run_.inputRoot = std::move(folder.path);
    return true;
  }

  bool checkOutputFolder() {
    if (run_.outputFolder.empty())
      run_.outputFolder = fileInput_ ? platform::folderPart(run_.inputFile) : run_.inputRoot;
    debug("Output: " + run_.outputFolder);
    ResolvedFolder folder = resolveFolder(run_.outputFolder, run_.programFolder);
    if (folder.check == FolderCheck::Incorrect) return fail("Incorrect output folder");
    if (folder.check == FolderCheck::Invalid) return fail("Invalid output folder");
    run_.outputFolder = std::move(folder.path);
    return true;
  }

  bool checkConversion() {
    if (run_.inputType.empty()) run_.inputType = std::string(inputTypeList().front());
    if (run_.outputExtension.empty()) run_.outputExtension = std::string(outputExtensions().front());
    debug("Conversion: " + run_.outputExtension);
    if (!isOutputExtension(run_.outputExtension)) return fail("Invalid conversion type");
    return true;
  }

  bool checkOutputFormat() {
    const std::string& extension = run_.outputExtension;
    for (const std::string& line : echo::formatLines(settings_, extension)) debug(line);
    const std::int32_t* bpp = bppField(settings_, extension);
    if (bpp && !isBitDepthPermitted(extension, *bpp)) return fail("Invalid " + extension + "-bpp value");
    if (extension == "jpg" && (settings_.jpgQuality < 1 || settings_.jpgQuality > 100))
      return fail("Invalid jpg-quality value");
    return true;
  }

  bool checkTransforms() {
    if (settings_.doImageRotation) debug(echo::rotation);
    if (settings_.doImageResize) {
      debug(echo::width);
      if (settings_.imageWidth == 0) return fail("Invalid width value");
      debug(echo::height);
      if (settings_.imageHeight == 0) return fail("Invalid height value");
      debug(echo::resizeDetails);
    }
    debug(echo::flip);
    return true;
  }

  bool checkAdjustments() {
    if (settings_.doImageColorCorrection) {
      debug(echo::brightness);
      if (settings_.imageBrightness < -100 || settings_.imageBrightness > 100)
        return fail("Invalid brightness value");
      debug(echo::contrast);
      if (settings_.imageContrast < -100 || settings_.imageContrast > 100) return fail("Invalid contrast value");
      debug(echo::gamma);
      // Written so that a NaN gamma (a profile may hold "NaN") is refused too.
      if (!(settings_.imageGamma >= 0.01f && settings_.imageGamma <= 9.99f)) return fail("Invalid gamma value");
      debug(echo::invert);
    }
    debug(echo::greyscale);
    if (settings_.doImageThreshold) debug(echo::threshold);
    return true;
  }

  bool checkFrameAndWatermark() {
    debug(echo::frame);
    if (settings_.doFrame == 1) debug(echo::frameDetails);
    debug(echo::watermark);
    if (settings_.doWatermark == 1) {
      debug(echo::textWatermark);
      font_ = createWatermarkFont(settings_);
      if (!font_) return fail("Invalid watermark font");
    } else if (settings_.doWatermark == 2) {
      debug(echo::imageWatermark);
      if (!hasContent(settings_.image)) return fail("Invalid watermark image");
    }
    return true;
  }

  bool echoNaming() {
    debug(echo::filenameMask);
    debug(echo::fileTimestamp);
    if (settings_.fileTimestamp == 2) debug(echo::customTimestamp);
    debug(echo::keepSubfolders);
    return true;
  }

  bool prepareFormat() {
    RunFormat format = makeRunFormat(settings_, run_.outputExtension);
    run_.writerId = format.writerId;
    run_.targetBitDepth = format.bitDepthSetting;
    run_.saveFlags = format.saveFlags;
    run_.automaticBitDepth = format.bitDepthSetting == 0;
    return true;
  }

  // The number of files admitted.
  int importInputs() {
    if (!fileInput_) return runImport(startFolderScan);
    std::string extension = asciiLower(platform::fileNamePart(run_.inputFile));
    if (extension.ends_with(".txt") || extension.ends_with(".lst")) return runImport(startListImport);
    return app_.inputs.admitFile(run_.inputFile, run_.inputRoot, run_.readableExtensions);
  }

  template <typename Start>
  int runImport(Start start) {
    Progress progress;
    progress.reset();
    start(app_.inputs, run_, progress).join();
    return progress.savedCount();
  }

  int convert() {
    Progress progress;
    progress.reset();
    WorkerContext context{settings_, run_, app_.inputs, progress, font_.get(),
                          [this](std::string_view line) { console_.writeLine(line); }};
    startConversionWorker(std::move(context)).join();
    return progress.savedCount();
  }

  Application& app_;
  Settings& settings_;
  RunState& run_;
  const bool quiet_;
  const bool debug_;
  platform::Console& console_;
  bool fileInput_ = false;
  WatermarkFontPtr font_;
};

}  // namespace

int runCommandLine(Application& app, bool quiet, platform::Console& console) {
  return CommandLineRun(app, quiet, console).run();
}

}  // namespace qm
