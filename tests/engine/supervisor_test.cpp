#include "engine/batch/supervisor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "engine/batch/task_messages.h"
#include "engine/batch/worker.h"
#include "formats/input_formats.h"
#include "settings/settings_file.h"
#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

TEST(TaskMessages, RoundTripAndRefuseDamagedBytes) {
  RunMessage run;
  resetSettings(run.settings, SettingsForm::CommandLine, DesktopSize{});
  run.settings.text = "tab\there\nline two %n% ü";
  run.settings.imageGamma = 1.23f;
  run.format = RunFormat{"jpg", 2, 24, 0x80};
  TaskMessage task{7, JobInput{"/in/a b.psd", "x/y/", "/out/", 12, 34567, "/out/x/y/quillmarkabc.jpg", 5ull << 30}};
  AnswerMessage answer{7, RenderResult{true, true, "/out/x/y/quillmarkabc.jpg", 16, 640, 480, 24, "",
                                       "Left out: layer \"Curves 1\": curves adjustment\n"}};
  AnswerMessage failed{
      8, RenderResult{false, false, "", 0, 0, 0, 0, "damaged: the Photoshop reader could not read it", ""}};

  std::optional<RunMessage> runBack = decodeRunMessage(encodeRunMessage(run));
  ASSERT_TRUE(runBack);
  EXPECT_EQ(settingsRecordText(runBack->settings), settingsRecordText(run.settings));
  EXPECT_EQ(runBack->format.extension, "jpg");
  EXPECT_EQ(runBack->format.bitDepthSetting, 24);
  EXPECT_EQ(runBack->format.saveFlags, 0x80);

  std::optional<TaskMessage> taskBack = decodeTaskMessage(encodeTaskMessage(task));
  ASSERT_TRUE(taskBack);
  EXPECT_EQ(taskBack->id, 7u);
  EXPECT_EQ(taskBack->input.inputPath, "/in/a b.psd");
  EXPECT_EQ(taskBack->input.relativeSubFolder, "x/y/");
  EXPECT_EQ(taskBack->input.randomNumber, 34567);
  EXPECT_EQ(taskBack->input.temporaryOutputPath, "/out/x/y/quillmarkabc.jpg");
  EXPECT_EQ(taskBack->input.memoryLimit, 5ull << 30);

  for (const AnswerMessage& sent : {answer, failed}) {
    std::optional<AnswerMessage> back = decodeAnswerMessage(encodeAnswerMessage(sent));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id, sent.id);
    EXPECT_EQ(back->result.rendered, sent.result.rendered);
    EXPECT_EQ(back->result.width, sent.result.width);
    EXPECT_EQ(back->result.failure, sent.result.failure);
    EXPECT_EQ(back->result.notes, sent.result.notes);
  }

  // Every cut of every message, and one byte too many, is refused.
  const std::string encoded[] = {encodeRunMessage(run), encodeTaskMessage(task), encodeAnswerMessage(answer)};
  for (int kind = 0; kind < 3; ++kind) {
    auto decodes = [kind](std::string_view bytes) {
      if (kind == 0) return decodeRunMessage(bytes).has_value();
      if (kind == 1) return decodeTaskMessage(bytes).has_value();
      return decodeAnswerMessage(bytes).has_value();
    };
    for (std::size_t size = 0; size < encoded[kind].size(); ++size)
      EXPECT_FALSE(decodes(std::string_view(encoded[kind]).substr(0, size))) << kind << " cut at " << size;
    EXPECT_FALSE(decodes(encoded[kind] + "x")) << kind;
  }
}

// A batch of small real documents run through the supervisor with the
// given worker limits.
struct Batch {
  explicit Batch(WorkerLimits workerLimits) : limits(std::move(workerLimits)) {
    resetSettings(settings, SettingsForm::CommandLine, DesktopSize{});
    run.readableExtensions = deriveReadableExtensions(inputTypeList());
    run.outputFolder = out.str();
    run.outputExtension = "png";
  }

  std::string add(const std::string& name) {
    test::PsdImage image(test::PsdColourMode::Rgb, 16, 12, 8, 3);
    std::string path = test::writePsd(in / name, image);
    EXPECT_EQ(inputs.admitFile(path, run.inputRoot, run.readableExtensions), 1);
    return path;
  }

  void convert() {
    progress.reset();
    WorkerContext context{settings,
                          run,
                          inputs,
                          progress,
                          makeRunFormat(settings, "png"),
                          {},
                          [this](const InputEntry& entry, const JobResult& result) {
                            failures[fs::path(entry.path).stem().string()] = result.failure;
                          },
                          limits};
    startConversionWorker(std::move(context)).join();
  }

  std::set<std::string> outputNames() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(out.path())) names.insert(entry.path().filename().string());
    return names;
  }

  WorkerLimits limits;
  test::TempFolder in;
  test::TempFolder out;
  Settings settings;
  RunState run;
  InputList inputs;
  Progress progress;
  std::map<std::string, std::string> failures;  // by document stem; empty when written
};

TEST(Supervisor, HungAndGrowingWorkersFailAloneAndTheBatchGoesOn) {
  WorkerLimits limits = test::workerLimits(2);
  limits.executable = QM_STAND_IN_WORKER_PATH;
  limits.baseTimeLimit = std::chrono::seconds(3);
  limits.timePerMegabyte = std::chrono::milliseconds(0);
  limits.memoryCeiling = 200u << 20;
  Batch batch(limits);
  for (const char* name : {"a.psd", "hang.psd", "b.psd", "grow.psd", "starve.psd", "oom.psd", "c.psd"}) batch.add(name);
  batch.convert();

  EXPECT_EQ(batch.progress.savedCount(), 3);
  EXPECT_EQ(batch.progress.snapshot().index, 7);
  EXPECT_EQ(batch.outputNames(), (std::set<std::string>{"a.png", "b.png", "c.png"}));
  EXPECT_EQ(batch.failures["a"], "");
  EXPECT_EQ(batch.failures["hang"], "the conversion took longer than 3 s and was stopped");
  EXPECT_EQ(batch.failures["grow"], "the conversion needed more than 200 MiB of memory and was stopped");
  EXPECT_EQ(batch.failures["starve"], "the conversion needed more memory than it could get");
  EXPECT_TRUE(batch.failures["oom"].starts_with("the conversion needed more than ") &&
              batch.failures["oom"].ends_with(" MiB of memory and was stopped by the system"))
      << batch.failures["oom"];
  // The replacements made after the two faults kept %n% in step.
  EXPECT_EQ(batch.run.sequenceNumber, 4);
}

TEST(Supervisor, AnyWorkerCountAndMemoryBudgetConvertsTheWholeBatch) {
  struct Case {
    int jobs;
    std::uint64_t budget;  // 0 = the machine's
  };
  for (Case c : {Case{1, 0}, Case{3, 0}, Case{3, 1}, Case{8, 0}}) {
    WorkerLimits limits = test::workerLimits(c.jobs);
    limits.memoryBudget = c.budget;
    Batch batch(limits);
    batch.settings.filenameMask = "%n%-%filename%.%ext%";
    for (int i = 0; i < 6; ++i) batch.add("d" + std::to_string(i) + ".psd");
    batch.convert();
    EXPECT_EQ(batch.progress.savedCount(), 6) << c.jobs << " " << c.budget;
    // %n% follows the walk whatever order the workers finished in.
    std::set<std::string> expected;
    int n = 0;
    for (const InputEntry& entry : batch.inputs.entriesInBucketOrder())
      expected.insert("0000" + std::to_string(++n) + "-" + fs::path(entry.path).stem().string() + ".png");
    EXPECT_EQ(batch.outputNames(), expected) << c.jobs << " " << c.budget;
  }
}

TEST(Supervisor, EachWorkerMayTakeItsShareOfTheBudget) {
  struct Case {
    int jobs;
    std::uint64_t budgetMegabytes;
    std::uint64_t ceilingMegabytes;  // 0 = none given
    std::string limit;
  };
  for (const Case& c :
       {Case{1, 4096, 0, "limit 4096 MiB"}, Case{2, 4096, 0, "limit 2048 MiB"}, Case{3, 6000, 0, "limit 2000 MiB"},
        Case{4, 1024, 0, "limit 512 MiB"}, Case{2, 4096, 300, "limit 300 MiB"}}) {
    WorkerLimits limits = test::workerLimits(c.jobs);
    limits.executable = QM_STAND_IN_WORKER_PATH;
    limits.memoryBudget = c.budgetMegabytes << 20;
    limits.memoryCeiling = c.ceilingMegabytes << 20;
    Batch batch(limits);
    for (int i = 0; i < 4; ++i) batch.add("limit" + std::to_string(i) + ".psd");
    batch.convert();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(batch.failures["limit" + std::to_string(i)], c.limit) << c.jobs;
  }
}

TEST(Supervisor, MissingWorkerExecutableFailsEachFileWithItsReason) {
  WorkerLimits limits = test::workerLimits(2);
  limits.executable = "/nonexistent/quillmark";
  Batch batch(limits);
  batch.add("a.psd");
  batch.add("b.psd");
  batch.convert();
  EXPECT_EQ(batch.progress.savedCount(), 0);
  EXPECT_EQ(batch.progress.snapshot().index, 2);
  EXPECT_EQ(batch.failures["a"], "cannot start /nonexistent/quillmark: No such file or directory");
  EXPECT_TRUE(batch.outputNames().empty());
}

}  // namespace
}  // namespace qm
