// The run starter: each face's checks in its own order, the stages the
// command line echoes at, the plan of a passed start; and the two halves
// of the job.
#include "engine/batch/run_start.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/job.h"
#include "formats/input_formats.h"
#include "platform/paths.h"
#include "settings/settings.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

struct Records {
  Records() {
    resetSettings(settings, SettingsForm::Window, DesktopSize{});
    run.programFolder = platform::programFolder();
    run.readableExtensions = deriveReadableExtensions(inputTypeList());
  }
  Workspace workspace() { return {settings, run, inputs}; }

  test::TempFolder folder;
  Settings settings;
  RunState run;
  InputList inputs;
};

TEST(RunStart, WindowChecksInItsOrder) {
  struct Case {
    const char* name;
    bool withInput;
    const char* outputFolder;  // "*" = the test's folder
    bool resize;
    int width, height;
    int watermark;
    const char* font;
    const char* image;  // "*" = a real picture, "0" = an empty file
    RunCheck expected;
  };
  const std::vector<Case> cases = {
      {"empty list before an empty folder", false, "", true, 0, 0, 1, "No Such Face", "", RunCheck::EmptyInputList},
      {"empty folder", true, "", true, 0, 0, 0, "", "", RunCheck::EmptyOutputFolder},
      {"missing folder", true, "/no/such/folder", true, 0, 0, 0, "", "", RunCheck::InvalidOutputFolder},
      {"width before height", true, "*", true, 0, 0, 0, "", "", RunCheck::InvalidWidth},
      {"height", true, "*", true, 10, 0, 0, "", "", RunCheck::InvalidHeight},
      {"resize off: sizes not checked", true, "*", false, 0, 0, 0, "", "", RunCheck::Passed},
      {"unknown face", true, "*", false, 0, 0, 1, "No Such Face", "", RunCheck::InvalidWatermarkFont},
      {"no picture named", true, "*", false, 0, 0, 2, "", "", RunCheck::EmptyWatermarkImage},
      {"empty picture", true, "*", false, 0, 0, 2, "", "0", RunCheck::InvalidWatermarkImage},
      {"picture", true, "*", false, 0, 0, 2, "", "*", RunCheck::Passed},
      {"font", true, "*", true, 5, 5, 1, "Arial", "", RunCheck::Passed},
  };
  for (const Case& c : cases) {
    Records records;
    if (c.withInput) records.inputs.admitFile(records.folder.write("a.psd", "x"), "", records.run.readableExtensions);
    records.run.outputFolder = std::string(c.outputFolder) == "*" ? records.folder.path().string() : c.outputFolder;
    records.run.outputExtension = "jpg";
    records.settings.doImageResize = c.resize;
    records.settings.imageWidth = c.width;
    records.settings.imageHeight = c.height;
    records.settings.doWatermark = static_cast<std::int8_t>(c.watermark);
    records.settings.font = c.font;
    if (std::string(c.image) == "*")
      records.settings.image = records.folder.write("logo.png", "\x89PNG....");
    else if (std::string(c.image) == "0")
      records.settings.image = records.folder.write("empty.png", "");
    records.settings.jpgBpp = 8;

    RunStart start = prepareRun(RunFace::Window, records.workspace());
    EXPECT_EQ(start.check, c.expected) << c.name;
    if (c.expected != RunCheck::Passed) continue;
    // A passed start has the format values and, with text, the font.
    EXPECT_EQ(records.run.outputFolder, records.folder.str()) << c.name;
    EXPECT_EQ(start.plan.format.extension, "jpg");
    EXPECT_EQ(start.plan.format.writerId, 2);
    EXPECT_EQ(records.run.targetBitDepth, 8);
    EXPECT_FALSE(records.run.automaticBitDepth);
    EXPECT_EQ(start.plan.font != nullptr, c.watermark == 1) << c.name;
  }
}

TEST(RunStart, CommandLineReportsItsStagesUpToTheFailedCheck) {
  Records records;
  records.run.inputRoot = records.folder.str();
  records.run.outputExtension = "tiff";
  records.settings.doImageRotation = 1;
  records.settings.doImageResize = 1;
  records.settings.imageWidth = 10;
  records.settings.imageHeight = 10;
  records.settings.doImageColorCorrection = 1;
  records.settings.imageContrast = 101;
  std::vector<RunStage> stages;
  RunStart start =
      prepareRun(RunFace::CommandLine, records.workspace(), [&](RunStage stage) { stages.push_back(stage); });
  EXPECT_EQ(start.check, RunCheck::InvalidContrast);
  EXPECT_EQ(stages,
            (std::vector<RunStage>{RunStage::Input, RunStage::Output, RunStage::Conversion, RunStage::OutputFormat,
                                   RunStage::Rotation, RunStage::Width, RunStage::Height, RunStage::ResizeDetails,
                                   RunStage::Flip, RunStage::Brightness, RunStage::Contrast}));

  records.settings.imageContrast = 0;
  records.settings.doFrame = 1;
  records.settings.doWatermark = 2;
  records.settings.image = records.folder.write("logo.png", "png");
  stages.clear();
  start = prepareRun(RunFace::CommandLine, records.workspace(), [&](RunStage stage) { stages.push_back(stage); });
  EXPECT_EQ(start.check, RunCheck::Passed);
  const std::vector<RunStage> tail = {RunStage::Gamma,          RunStage::Invert,       RunStage::Greyscale,
                                      RunStage::Frame,          RunStage::FrameDetails, RunStage::Watermark,
                                      RunStage::ImageWatermark, RunStage::Naming};
  ASSERT_GE(stages.size(), tail.size());
  EXPECT_EQ(std::vector<RunStage>(stages.end() - static_cast<std::ptrdiff_t>(tail.size()), stages.end()), tail);
  EXPECT_EQ(records.run.writerId, 18);
}

TEST(RunStart, CommandLineFolderAndFileRules) {
  struct Case {
    std::string input;
    std::string output;
    std::string extension;
    RunCheck expected;
  };
  Records probe;
  const std::string folder = probe.folder.str();
  const std::string document = probe.folder.write("a.psd", "x");
  const std::string empty = probe.folder.write("empty.psd", "");
  for (const Case& c : std::vector<Case>{{"../x", "", "png", RunCheck::IncorrectInputFolder},
                                         {"/no/such/folder", "", "png", RunCheck::InvalidInputFolder},
                                         {empty, "", "png", RunCheck::InvalidInputFile},
                                         {document, "../out", "png", RunCheck::IncorrectOutputFolder},
                                         {document, "/no/such/out", "png", RunCheck::InvalidOutputFolder},
                                         {document, "", "JPG", RunCheck::InvalidConversionType},
                                         {folder, "", "png", RunCheck::Passed}}) {
    Records records;
    records.run.inputRoot = c.input;
    records.run.outputFolder = c.output;
    records.run.outputExtension = c.extension;
    EXPECT_EQ(prepareRun(RunFace::CommandLine, records.workspace()).check, c.expected) << c.input;
  }
}

TEST(Job, CommitNamesTheRenderWithItsOwnNumbers) {
  Records records;
  records.settings.filenameMask = "%n%-%rnd%";
  const RunFormat format = makeRunFormat(records.settings, "png");
  test::PsdImage image(test::PsdColourMode::Rgb, 4, 3, 8, 3);
  JobInput input;
  input.inputPath = test::writePsd(records.folder / "a.psd", image);
  input.outputFolder = records.folder.str();
  input.sequenceNumber = 1;
  input.randomNumber = 1;

  RenderResult rendered = renderDocument(records.settings, format, input, nullptr);
  ASSERT_TRUE(rendered.rendered);
  EXPECT_TRUE(rendered.failure.empty());
  EXPECT_TRUE(std::filesystem::exists(rendered.temporaryOutputPath));
  EXPECT_EQ(platform::folderPart(rendered.temporaryOutputPath), records.folder.str());

  input.sequenceNumber = 7;
  input.randomNumber = 42;
  JobResult committed = commitOutput(records.settings, format, input, rendered);
  EXPECT_TRUE(committed.written);
  EXPECT_EQ(committed.outputPath, records.folder / "00007-00042");
  EXPECT_TRUE(std::filesystem::exists(committed.outputPath));
  EXPECT_FALSE(std::filesystem::exists(rendered.temporaryOutputPath));

  // A document that cannot be read has no name and leaves nothing.
  input.inputPath = records.folder.write("bad.psd", "not a document");
  rendered = renderDocument(records.settings, format, input, nullptr);
  EXPECT_FALSE(rendered.rendered);
  EXPECT_FALSE(rendered.failure.empty());
  committed = commitOutput(records.settings, format, input, rendered);
  EXPECT_FALSE(committed.written);
  EXPECT_EQ(committed.outputPath, "");
}

TEST(Job, WatermarksThatNeedListOrder) {
  struct Case {
    int watermark;
    const char* text;
    bool needsOrder;
  };
  for (const Case& c : {Case{1, "Copyright %yyyy%", true}, Case{1, "No. %N%", true}, Case{1, "%RND%", true},
                        Case{1, "%ss%", true}, Case{1, "%filename% %width%x%height% %bpp%", false},
                        Case{0, "%n%", false}, Case{2, "%n%", false}, Case{1, "100%", false}}) {
    Settings settings;
    settings.doWatermark = static_cast<std::int8_t>(c.watermark);
    settings.text = c.text;
    EXPECT_EQ(watermarkNeedsListOrder(settings), c.needsOrder) << c.text;
  }
}

}  // namespace
}  // namespace qm
