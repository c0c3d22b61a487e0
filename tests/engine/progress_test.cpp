// The progress record driven the way the window drives it: a poll every
// 15 ms on its own thread, rows taken as they are queued, the finished
// state, a hold while a question is open, a stop, and a thread dropped
// while it works.
#include "engine/batch/progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/run_state.h"
#include "engine/batch/folder_scan.h"
#include "engine/batch/worker.h"
#include "engine/batch/worker_thread.h"
#include "formats/input_formats.h"
#include "settings/settings.h"
#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

// Polls like the window's timer until the record says finished; `onPoll`
// sees each snapshot and the rows taken with it. Gives up after 60 s.
template <typename OnPoll>
bool pollUntilFinished(Progress& progress, OnPoll onPoll) {
  const auto giveUp = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < giveUp) {
    ProgressSnapshot snapshot = progress.snapshot();
    onPoll(snapshot, progress.takeRows());
    if (snapshot.finished) return true;
    std::this_thread::sleep_for(15ms);
  }
  return false;
}

std::string writeDocument(const test::TempFolder& folder, const std::string& name) {
  test::PsdImage image(test::PsdColourMode::Rgb, 8, 6, 8, 3);
  return test::writePsd(folder / name, image);
}

struct Batch {
  Batch() {
    resetSettings(settings, SettingsForm::Window, DesktopSize{});
    run.readableExtensions = deriveReadableExtensions(inputTypeList());
    run.outputFolder = out.str();
    run.outputExtension = "png";
  }
  WorkerContext context() {
    return {settings, run, inputs, progress, makeRunFormat(settings, "png"), {}, {}, test::workerLimits()};
  }

  test::TempFolder in;
  test::TempFolder out;
  Settings settings;
  RunState run;
  InputList inputs;
  Progress progress;
};

TEST(Progress, WindowPollTakesQueuedRowsAndSeesTheEnd) {
  Batch batch;
  std::set<std::string> written;
  for (int i = 0; i < 40; ++i) written.insert(batch.in.write("f" + std::to_string(i) + ".psd", "x"));
  batch.in.write("skip.txt", "not an input");
  batch.run.inputRoot = batch.in.str();

  QueuedRows rows(batch.inputs, batch.progress);
  batch.progress.reset();
  std::jthread scan = startFolderScan(batch.inputs, batch.run, batch.progress);
  std::vector<std::string> shown;
  ASSERT_TRUE(pollUntilFinished(batch.progress, [&](const ProgressSnapshot&, std::vector<std::string> taken) {
    shown.insert(shown.end(), taken.begin(), taken.end());
  }));
  scan.join();
  // Rows queued between the last poll and the end are still there.
  for (std::string& row : batch.progress.takeRows()) shown.push_back(std::move(row));
  EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()), written);
  EXPECT_EQ(shown.size(), written.size());
  EXPECT_EQ(batch.progress.savedCount(), 40);
  EXPECT_TRUE(batch.progress.takeRows().empty());
}

TEST(Progress, HoldReleaseAndStopFromThePoll) {
  Batch batch;
  for (int i = 0; i < 6; ++i)
    batch.inputs.admitFile(writeDocument(batch.in, "d" + std::to_string(i) + ".psd"), "", batch.run.readableExtensions);
  batch.progress.reset();
  batch.progress.hold();  // a question is open before the first file
  WorkerContext context = batch.context();
  // The user closes the dialog while the second file converts: the
  // question goes up, and the worker comes to rest before the third.
  int done = 0;
  context.results = [&](const InputEntry&, const JobResult&) {
    if (++done == 2) batch.progress.hold();
  };
  std::jthread worker = startConversionWorker(std::move(context));

  int questions = 0;
  std::int32_t lastIndex = 0;
  ASSERT_TRUE(pollUntilFinished(batch.progress, [&](const ProgressSnapshot& snapshot, std::vector<std::string>) {
    EXPECT_GE(snapshot.index, lastIndex);
    lastIndex = snapshot.index;
    if (!batch.progress.isWaiting()) return;
    // Held: nothing starts while the question is open.
    EXPECT_FALSE(snapshot.finished);
    if (++questions == 1) {
      EXPECT_EQ(snapshot.index, 0);  // answered No
    } else {
      EXPECT_EQ(snapshot.index, 2);  // answered Yes
      batch.progress.requestStop();
    }
    batch.progress.release();
  }));
  EXPECT_EQ(questions, 2);
  ProgressSnapshot end = batch.progress.snapshot();
  EXPECT_TRUE(end.finished);
  EXPECT_FALSE(end.running);
  EXPECT_EQ(end.index, 2);
  EXPECT_EQ(end.savedCount, 2);
}

TEST(Progress, DroppingTheThreadStopsItsWork) {
  Batch batch;
  for (int i = 0; i < 30; ++i)
    batch.inputs.admitFile(writeDocument(batch.in, "d" + std::to_string(i) + ".psd"), "", batch.run.readableExtensions);
  batch.progress.reset();
  {
    // The window goes away while the first file is done and the worker
    // rests before the second (held, so the drop cannot come too late).
    WorkerContext context = batch.context();
    context.results = [&](const InputEntry&, const JobResult&) { batch.progress.hold(); };
    std::jthread worker = startConversionWorker(std::move(context));
    while (!batch.progress.isWaiting()) std::this_thread::sleep_for(1ms);
  }
  // Joined by now, ended after its first file.
  ProgressSnapshot end = batch.progress.snapshot();
  EXPECT_TRUE(end.finished);
  EXPECT_EQ(end.index, 1);

  // A held thread is released when dropped instead of waiting forever.
  batch.progress.reset();
  batch.progress.hold();
  {
    std::jthread worker = startConversionWorker(batch.context());
    while (!batch.progress.isWaiting()) std::this_thread::sleep_for(1ms);
  }
  EXPECT_TRUE(batch.progress.finished());
  EXPECT_EQ(batch.progress.snapshot().index, 0);
}

// The break question waits for the held worker to rest, or to end, before
// it names the file; it must wake for either and not for a record that
// was reset after an earlier run ended.
TEST(Progress, WaitForRestWakesAtRestOrAtTheEnd) {
  Batch batch;
  for (int i = 0; i < 3; ++i)
    batch.inputs.admitFile(writeDocument(batch.in, "d" + std::to_string(i) + ".psd"), "", batch.run.readableExtensions);
  batch.progress.reset();
  batch.progress.hold();
  EXPECT_FALSE(batch.progress.waitForRest(5ms));  // no worker yet
  {
    std::jthread worker = startConversionWorker(batch.context());
    ASSERT_TRUE(batch.progress.waitForRest(60s));
    EXPECT_TRUE(batch.progress.isWaiting());
    EXPECT_FALSE(batch.progress.finished());
    batch.progress.release();
    worker.join();
  }
  EXPECT_TRUE(batch.progress.waitForRest(0ms));  // ended
  EXPECT_EQ(batch.progress.savedCount(), 3);

  batch.progress.reset();
  EXPECT_FALSE(batch.progress.waitForRest(5ms));  // the last run's end is gone
  batch.inputs.clear();
  std::jthread idle = startConversionWorker(batch.context());  // nothing to convert, never held
  EXPECT_TRUE(batch.progress.waitForRest(60s));
  EXPECT_TRUE(batch.progress.finished());
}

}  // namespace
}  // namespace qm
