#include "engine/batch/worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/run_state.h"
#include "engine/job.h"
#include "formats/input_formats.h"
#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

// A worker run over real documents: settings, Run state, Input list and
// the debug lines the worker prints.
class WorkerRun {
 public:
  explicit WorkerRun(const std::string& extension = "png") {
    resetSettings(settings, SettingsForm::CommandLine, DesktopSize{});
    run.commandLine = true;
    run.runModeMarker = "DEBUG";
    run.readableExtensions = deriveReadableExtensions(inputTypeList());
    run.outputFolder = out.str();
    run.outputExtension = extension;
    RunFormat format = makeRunFormat(settings, extension);
    run.writerId = format.writerId;
    run.targetBitDepth = format.bitDepthSetting;
    run.saveFlags = format.saveFlags;
    run.automaticBitDepth = format.bitDepthSetting == 0;
  }

  std::string addDocument(const std::string& name) {
    test::PsdImage image(test::PsdColourMode::Rgb, 8, 6, 8, 3);
    for (unsigned y = 0; y < 6; ++y)
      for (unsigned x = 0; x < 8; ++x) image.setPixel(x, y, 200, 100, 50);
    std::string path = test::writePsd(in / name, image);
    EXPECT_EQ(inputs.admitFile(path, run.inputRoot, run.readableExtensions), 1);
    return path;
  }

  std::string addBroken(const std::string& name) {
    std::string path = in.write(name, "this is not a Photoshop document");
    EXPECT_EQ(inputs.admitFile(path, run.inputRoot, run.readableExtensions), 1);
    return path;
  }

  // Runs the worker to its end; `onLine` sees every line as it is printed.
  void convert(std::function<void(std::string_view)> onLine = {}) {
    progress.reset();
    lines.clear();
    WorkerContext context{settings,
                          run,
                          inputs,
                          progress,
                          makeRunFormat(settings, run.outputExtension),
                          [this, onLine](std::string_view line) {
                            {
                              std::lock_guard guard(linesLock);
                              lines.emplace_back(line);
                            }
                            if (onLine) onLine(line);
                          },
                          [this](const InputEntry& entry, const JobResult& result) {
                            std::lock_guard guard(linesLock);
                            results.emplace_back(entry, result);
                          },
                          test::workerLimits(jobs)};
    startConversionWorker(std::move(context)).join();
  }

  std::vector<std::string> walkOrder() const {
    std::vector<std::string> order;
    for (const InputEntry& entry : inputs.entriesInBucketOrder()) order.push_back(entry.path);
    return order;
  }

  int jobs = 2;
  test::TempFolder in;
  test::TempFolder out;
  Settings settings;
  RunState run;
  InputList inputs;
  std::vector<std::pair<InputEntry, JobResult>> results;
  Progress progress;
  std::mutex linesLock;
  std::vector<std::string> lines;
};

TEST(Worker, EmptyListEndsAtOnce) {
  WorkerRun worker;
  worker.convert();
  ProgressSnapshot done = worker.progress.snapshot();
  EXPECT_EQ(done.savedCount, 0);
  EXPECT_EQ(done.index, 0);
  EXPECT_TRUE(worker.lines.empty());
}

TEST(Worker, FailedFileIsReportedAndTheNextFollows) {
  WorkerRun worker;
  std::string a = worker.in / "a.psd";
  std::string b = worker.in / "b.psd";
  // Whichever comes first in the walk is the broken one.
  worker.addDocument("a.psd");
  worker.addDocument("b.psd");
  std::vector<std::string> order = worker.walkOrder();
  worker.inputs.clear();
  std::string broken = worker.addBroken(std::filesystem::path(order[0]).filename().string());
  std::string good = worker.addDocument(std::filesystem::path(order[1]).filename().string());
  ASSERT_EQ(worker.walkOrder(), (std::vector<std::string>{broken, good}));

  worker.convert();
  std::string written = worker.out / (std::filesystem::path(good).stem().string() + ".png");
  EXPECT_EQ(worker.lines, (std::vector<std::string>{"Processing: " + broken, "Saving As: ", "Not OK",
                                                    "Processing: " + good, "Saving As: " + written, "OK"}));
  EXPECT_TRUE(std::filesystem::exists(written));
  EXPECT_EQ(worker.progress.savedCount(), 1);
  EXPECT_EQ(worker.progress.snapshot().index, 2);
  // Only the written file advanced %n%.
  EXPECT_EQ(worker.run.sequenceNumber, 2);
}

TEST(Worker, PrintsNothingOutsideTheCommandLineDebugMode) {
  for (auto [commandLine, marker] : {std::pair{false, "DEBUG"}, std::pair{true, ""}}) {
    WorkerRun worker;
    worker.run.commandLine = commandLine;
    worker.run.runModeMarker = marker;
    worker.addDocument("a.psd");
    worker.convert();
    EXPECT_TRUE(worker.lines.empty());
    EXPECT_EQ(worker.progress.savedCount(), 1);
  }
}

TEST(Worker, StopRequestIsSeenBeforeTheNextFile) {
  WorkerRun worker;
  for (int i = 0; i < 10; ++i) worker.addDocument("d" + std::to_string(i) + ".psd");
  int started = 0;
  worker.convert([&](std::string_view line) {
    if (line.starts_with("Processing: ") && ++started == 3) worker.progress.requestStop();
  });
  ProgressSnapshot done = worker.progress.snapshot();
  EXPECT_EQ(done.index, 3);
  EXPECT_EQ(done.savedCount, 3);  // the third one still finished
  EXPECT_EQ(worker.lines.back(), "OK");
  int outputs = 0;
  for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(worker.out.path())) ++outputs;
  EXPECT_EQ(outputs, 3);
}

bool waitUntil(const std::function<bool()>& condition) {
  for (int i = 0; i < 500; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(Worker, HeldWorkerWaitsAtTheTopOfItsLoop) {
  WorkerRun worker;
  worker.addDocument("a.psd");
  worker.addDocument("b.psd");
  worker.progress.reset();
  worker.progress.hold();
  WorkerContext context{worker.settings,
                        worker.run,
                        worker.inputs,
                        worker.progress,
                        makeRunFormat(worker.settings, "png"),
                        [&](std::string_view line) {
                          // Held again after the first file: the worker must
                          // come to rest before the second one.
                          if (line == "OK" && worker.progress.running()) worker.progress.hold();
                        },
                        {},
                        test::workerLimits()};
  std::jthread thread = startConversionWorker(std::move(context));
  // Whatever fails below, the worker must not stay held while the thread
  // is joined.
  struct Unhold {
    Progress& progress;
    ~Unhold() {
      progress.requestStop();
      progress.release();
    }
  } unhold{worker.progress};

  ASSERT_TRUE(waitUntil([&] { return worker.progress.isWaiting(); }));
  EXPECT_EQ(worker.progress.snapshot().index, 0);
  worker.progress.release();

  ASSERT_TRUE(waitUntil([&] { return worker.progress.isWaiting(); }));
  EXPECT_EQ(worker.progress.snapshot().index, 1);
  // A stop given while held ends the run once the hold is released.
  worker.progress.requestStop();
  worker.progress.release();
  thread.join();
  EXPECT_FALSE(worker.progress.isWaiting());
  EXPECT_EQ(worker.progress.snapshot().index, 1);
  EXPECT_EQ(worker.progress.savedCount(), 1);
}

TEST(Worker, SequenceNumberContinuesAcrossRuns) {
  WorkerRun worker;
  worker.settings.filenameMask = "%n%.%ext%";
  worker.addDocument("a.psd");
  worker.addDocument("b.psd");
  worker.addDocument("c.psd");
  worker.convert();
  ASSERT_EQ(worker.progress.savedCount(), 3);
  for (const char* name : {"00001.png", "00002.png", "00003.png"})
    EXPECT_TRUE(std::filesystem::exists(worker.out / name)) << name;

  worker.inputs.clear();
  worker.addDocument("d.psd");
  worker.convert();
  EXPECT_EQ(worker.progress.savedCount(), 1);
  EXPECT_TRUE(std::filesystem::exists(worker.out / "00004.png"));
  EXPECT_EQ(worker.run.sequenceNumber, 5);
}

TEST(Worker, RandomNumberIsDrawnAfterEachWrittenFile) {
  WorkerRun worker;
  worker.settings.filenameMask = "%n%-%rnd%.%ext%";
  std::int32_t first = worker.run.randomNumber;
  for (const char* name : {"a.psd", "b.psd", "c.psd", "d.psd"}) worker.addDocument(name);
  worker.convert();
  ASSERT_EQ(worker.progress.savedCount(), 4);
  std::set<std::string> randoms;
  bool firstUsed = false;
  for (auto& entry : std::filesystem::directory_iterator(worker.out.path())) {
    std::string stem = entry.path().stem().string();
    std::string random = stem.substr(stem.find('-') + 1);
    randoms.insert(random);
    if (stem.starts_with("00001-")) firstUsed = std::stoi(random) == first;
  }
  EXPECT_TRUE(firstUsed);
  // Four equal draws from 1..99999 would be a one-in-10^15 coincidence.
  EXPECT_GT(randoms.size(), 1u);
  EXPECT_GE(worker.run.randomNumber, 1);
  EXPECT_LE(worker.run.randomNumber, 99999);
}

TEST(Worker, KeepsSubFoldersAndTheResultFields) {
  WorkerRun worker;
  worker.run.inputRoot = worker.in.str();
  std::filesystem::create_directories(worker.in.path() / "x/y");
  std::string path = worker.addDocument("x/y/a.psd");
  worker.convert();
  EXPECT_EQ(worker.progress.savedCount(), 1);
  EXPECT_TRUE(std::filesystem::exists(worker.out / "x/y/a.png"));
  ASSERT_EQ(worker.results.size(), 1u);
  const auto& [entry, result] = worker.results.front();
  EXPECT_EQ(entry.path, path);
  EXPECT_EQ(entry.subFolder, "x/y/");
  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.outputPath, worker.out / "x/y/a.png");
  EXPECT_EQ(result.width, 8);
  EXPECT_EQ(result.height, 6);
  EXPECT_EQ(result.bitDepth, 24);
}

}  // namespace
}  // namespace qm
