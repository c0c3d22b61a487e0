#include "engine/batch/run_start.h"

#include <utility>

#include "formats/input_formats.h"
#include "formats/output_formats.h"
#include "platform/paths.h"

namespace qm {

bool namesFile(std::string_view input) {
  auto dot = input.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == input.size()) return false;
  if (input.find_first_of("/ ", dot + 1) != std::string_view::npos) return false;
  return dot != 0 && input[dot - 1] != '/';
}

ResolvedFolder resolveFolder(std::string folder, const std::string& baseFolder) {
  if (folder.starts_with("..")) return {FolderCheck::Incorrect, {}};
  if (!folder.starts_with("/")) {
    if (folder.starts_with("./")) folder.erase(0, 2);
    folder = baseFolder + folder;
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

class RunChecks {
 public:
  RunChecks(const Workspace& workspace, const StageObserver& observe)
      : settings_(workspace.settings), run_(workspace.run), inputs_(workspace.inputs), observe_(observe) {}

  RunStart commandLine() {
    RunCheck check = commandLineChecks();
    if (check == RunCheck::Passed) fixFormat();
    return {check, std::move(plan_)};
  }

  RunStart window() {
    RunCheck check = windowChecks();
    if (check == RunCheck::Passed) fixFormat();
    return {check, std::move(plan_)};
  }

 private:
  void stage(RunStage reached) {
    if (observe_) observe_(reached);
  }

  RunCheck commandLineChecks() {
    stage(RunStage::Input);
    if (RunCheck check = resolveInput(); check != RunCheck::Passed) return check;
    if (RunCheck check = resolveOutputFolder(); check != RunCheck::Passed) return check;
    if (run_.inputType.empty()) run_.inputType = std::string(inputTypeList().front());
    if (run_.outputExtension.empty()) run_.outputExtension = std::string(outputExtensions().front());
    stage(RunStage::Conversion);
    if (!isOutputExtension(run_.outputExtension)) return RunCheck::InvalidConversionType;
    if (RunCheck check = checkOutputFormat(); check != RunCheck::Passed) return check;
    if (settings_.doImageRotation) stage(RunStage::Rotation);
    if (RunCheck check = checkResize(); check != RunCheck::Passed) return check;
    stage(RunStage::Flip);
    if (RunCheck check = checkColourCorrection(); check != RunCheck::Passed) return check;
    stage(RunStage::Greyscale);
    if (settings_.doImageThreshold) stage(RunStage::Threshold);
    stage(RunStage::Frame);
    if (as<FrameType>(settings_.doFrame) == FrameType::Solid) stage(RunStage::FrameDetails);
    stage(RunStage::Watermark);
    if (RunCheck check = checkWatermark(RunFace::CommandLine); check != RunCheck::Passed) return check;
    stage(RunStage::Naming);
    return RunCheck::Passed;
  }

  RunCheck windowChecks() {
    if (inputs_.entryCount() == 0) return RunCheck::EmptyInputList;
    if (run_.outputFolder.empty()) return RunCheck::EmptyOutputFolder;
    run_.outputFolder = platform::withTrailingSlash(std::move(run_.outputFolder));
    if (!platform::isFolder(run_.outputFolder)) return RunCheck::InvalidOutputFolder;
    if (RunCheck check = checkResize(); check != RunCheck::Passed) return check;
    return checkWatermark(RunFace::Window);
  }

  RunCheck resolveInput() {
    plan_.fileInput = namesFile(run_.inputRoot);
    if (plan_.fileInput) {
      run_.inputFile = std::exchange(run_.inputRoot, std::string());
      return hasContent(run_.inputFile) ? RunCheck::Passed : RunCheck::InvalidInputFile;
    }
    ResolvedFolder folder = resolveFolder(run_.inputRoot, platform::currentFolder());
    if (folder.check == FolderCheck::Incorrect) return RunCheck::IncorrectInputFolder;
    if (folder.check == FolderCheck::Invalid) return RunCheck::InvalidInputFolder;
    run_.inputRoot = std::move(folder.path);
    return RunCheck::Passed;
  }

  RunCheck resolveOutputFolder() {
    if (run_.outputFolder.empty())
      run_.outputFolder = plan_.fileInput ? platform::folderPart(run_.inputFile) : run_.inputRoot;
    stage(RunStage::Output);
    ResolvedFolder folder = resolveFolder(run_.outputFolder, platform::currentFolder());
    if (folder.check == FolderCheck::Incorrect) return RunCheck::IncorrectOutputFolder;
    if (folder.check == FolderCheck::Invalid) return RunCheck::InvalidOutputFolder;
    run_.outputFolder = std::move(folder.path);
    return RunCheck::Passed;
  }

  RunCheck checkOutputFormat() {
    const std::string& extension = run_.outputExtension;
    stage(RunStage::OutputFormat);
    const std::int32_t* bpp = bppField(settings_, extension);
    if (bpp && !isBitDepthPermitted(extension, *bpp)) return RunCheck::InvalidBitDepth;
    if (extension == "jpg" && (settings_.jpgQuality < 1 || settings_.jpgQuality > 100))
      return RunCheck::InvalidJpgQuality;
    return RunCheck::Passed;
  }

  // Both sizes must be given: a width alone fails on the height.
  RunCheck checkResize() {
    if (!settings_.doImageResize) return RunCheck::Passed;
    stage(RunStage::Width);
    if (settings_.imageWidth == 0) return RunCheck::InvalidWidth;
    stage(RunStage::Height);
    if (settings_.imageHeight == 0) return RunCheck::InvalidHeight;
    stage(RunStage::ResizeDetails);
    return RunCheck::Passed;
  }

  RunCheck checkColourCorrection() {
    if (!settings_.doImageColorCorrection) return RunCheck::Passed;
    stage(RunStage::Brightness);
    if (settings_.imageBrightness < -100 || settings_.imageBrightness > 100) return RunCheck::InvalidBrightness;
    stage(RunStage::Contrast);
    if (settings_.imageContrast < -100 || settings_.imageContrast > 100) return RunCheck::InvalidContrast;
    stage(RunStage::Gamma);
    // Written so that a NaN gamma (a profile may hold "NaN") is refused too.
    if (!(settings_.imageGamma >= 0.01f && settings_.imageGamma <= 9.99f)) return RunCheck::InvalidGamma;
    stage(RunStage::Invert);
    return RunCheck::Passed;
  }

  RunCheck checkWatermark(RunFace face) {
    if (as<WatermarkType>(settings_.doWatermark) == WatermarkType::Text) {
      stage(RunStage::TextWatermark);
      plan_.font = createWatermarkFont(settings_);
      if (!plan_.font) return RunCheck::InvalidWatermarkFont;
    } else if (as<WatermarkType>(settings_.doWatermark) == WatermarkType::Image) {
      stage(RunStage::ImageWatermark);
      if (face == RunFace::Window && settings_.image.empty()) return RunCheck::EmptyWatermarkImage;
      if (!hasContent(settings_.image)) return RunCheck::InvalidWatermarkImage;
    }
    return RunCheck::Passed;
  }

  void fixFormat() {
    plan_.format = makeRunFormat(settings_, run_.outputExtension);
    run_.writerId = plan_.format.writerId;
    run_.targetBitDepth = plan_.format.bitDepthSetting;
    run_.saveFlags = plan_.format.saveFlags;
    run_.automaticBitDepth = plan_.format.bitDepthSetting == 0;
  }

  const Settings& settings_;
  RunState& run_;
  const InputList& inputs_;
  const StageObserver& observe_;
  RunPlan plan_;
};

}  // namespace

RunStart prepareRun(RunFace face, const Workspace& workspace, const StageObserver& observe) {
  RunChecks checks(workspace, observe);
  return face == RunFace::CommandLine ? checks.commandLine() : checks.window();
}

}  // namespace qm
