#include "engine/batch/supervisor.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <set>
#include <unordered_set>
#include <vector>

#include "engine/batch/conversion_process.h"
#include "engine/batch/task_messages.h"
#include "engine/batch/worker.h"
#include "engine/document/byte_source.h"
#include "engine/document/psd_header.h"
#include "engine/naming.h"
#include "engine/writers/writers.h"
#include "platform/file_descriptor.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"

namespace qm {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kMegabyte = 1u << 20;
// What every render needs besides its pixels: the libraries, the program.
constexpr std::uint64_t kRenderBaseMemory = 64 * kMegabyte;
// Twice the largest document the format allows (300,000 pixels a side).
constexpr std::uint64_t kMaxEstimatedPixels = 2 * 300'000ull * 300'000ull;
// No worker is stopped below this, however small its share of the budget:
// the program itself takes a good part of it.
constexpr std::uint64_t kSmallestCeiling = 512 * kMegabyte;
// The poll interval while nothing answers: how soon a stop request, a
// passed time limit or a grown worker is seen.
constexpr int kPollMilliseconds = 50;

}  // namespace

std::uint64_t estimateRenderMemory(const std::string& path) {
  const FileBytes file(path);
  const PsdHeaderFields fields = readPsdHeader(file);
  if (fields.signature && fields.complete) {
    const std::uint64_t channels = fields.header.channels;
    const std::uint64_t height = fields.header.height;
    const std::uint64_t width = fields.header.width;
    const std::uint64_t depth = fields.header.depth;
    const std::uint64_t sampleBytes = std::max<std::uint64_t>(depth / 8, 1);
    // The decoded document, widened to at least four channels, and the
    // two copies the steps hold while they replace the working image. A
    // damaged header may claim anything; the cap keeps the sums finite.
    const std::uint64_t pixels = std::min<std::uint64_t>(width * height, kMaxEstimatedPixels);
    return kRenderBaseMemory + pixels * std::min<std::uint64_t>(std::max<std::uint64_t>(channels, 4), 64) *
                                   std::min<std::uint64_t>(sampleBytes, 4) * 3;
  }
  return kRenderBaseMemory + file.size() * 8;
}

namespace {

std::string megabytes(std::uint64_t bytes) { return std::to_string(bytes / kMegabyte) + " MiB"; }

// A worker process waiting for its run message on the returned socket.
std::optional<SpareWorker> spawnWorker(const std::string& executable, std::string& failure) {
  int sockets[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
    failure = "cannot start a converter process: no socket";
    return std::nullopt;
  }
  platform::FileDescriptor ours(sockets[0]);
  platform::FileDescriptor theirs(sockets[1]);
  std::optional<platform::ChildProcess> child = platform::ChildProcess::spawn(
      executable, {"quillmark", std::string(kWorkerModeArgument), std::to_string(::getpid())}, theirs.get(), failure);
  if (!child) return std::nullopt;
  return SpareWorker{std::move(*child), std::move(ours)};
}

// One worker process and the socket to it.
struct Worker {
  platform::ChildProcess process;
  platform::FileDescriptor socket;
  std::optional<std::size_t> task;  // the position being rendered
  Clock::time_point deadline;
  std::uint64_t largestResident = 0;  // measured during the task
};

// One entry of the run, from dispatch to commit.
struct Task {
  InputEntry entry;
  JobInput input;
  std::uint64_t memory = 0;   // the estimate
  std::uint64_t ceiling = 0;  // what its worker may take
  std::chrono::milliseconds timeLimit{0};
  std::optional<RenderResult> result;
};

class Supervisor {
 public:
  explicit Supervisor(const WorkerContext& context)
      : context_(context),
        settings_(context.settings),
        run_(context.run),
        progress_(context.progress),
        limits_(context.limits),
        listOrder_(watermarkNeedsListOrder(context.settings)),
        debug_(context.run.commandLine && context.run.runModeMarker == "DEBUG" && context.lines) {
    int jobs = limits_.jobs > 0 ? limits_.jobs : platform::usableCoreCount();
    memoryBudget_ = limits_.memoryBudget > 0 ? limits_.memoryBudget : platform::availableMemoryBytes();
    for (const InputEntry& entry : context.inputs.entriesInBucketOrder())
      tasks_.push_back(Task{entry, {}, 0, 0, {}, {}});
    // A run that renders one file at a time needs only one worker.
    if (listOrder_) jobs = 1;
    workers_.resize(static_cast<std::size_t>(std::min<std::size_t>(jobs, std::max<std::size_t>(tasks_.size(), 1))));
    memoryShare_ = memoryBudget_ / workers_.size();
  }

  // Idle workers see their socket close and end by themselves.
  ~Supervisor() {
    discardInFlight();
    for (Worker& worker : workers_) {
      worker.socket = platform::FileDescriptor();
      worker.process.waitWithin(std::chrono::seconds(5));
    }
  }

  void run() {
    std::int32_t saved = 0;
    while (head_ < tasks_.size()) {
      waitWhileHeld();
      // A stop ends the run before the head file unless that file was
      // already shown as started; a started file is always finished. (A
      // render of it that began early is discarded like the others.)
      const bool stopping = !progress_.running();
      if (stopping && (!headAnnounced_ || (limits_.promptStop && !tasks_[head_].result))) break;
      if (!stopping) {
        dispatchWhatFits();
        announceHead();
      }
      if (tasks_[head_].result) {
        if (commitHead()) ++saved;
        // A stop or a hold that came while the head was committed is
        // seen at the top of the loop, before the next file is shown.
        continue;
      }
      awaitAnswers();
    }
    discardInFlight();
    if (!progress_.running()) removeEmptyFoldersMade();
    progress_.setSavedCount(saved);
  }

 private:
  void print(std::string_view line) {
    if (debug_) context_.lines(line);
  }

  // While the starter holds the run, the clocks of the renders in flight
  // stop too: a question left open does not time out a worker.
  void waitWhileHeld() {
    const Clock::time_point before = Clock::now();
    progress_.waitWhileHeld();
    const Clock::duration held = Clock::now() - before;
    if (held > std::chrono::milliseconds(kPollMilliseconds))
      for (Worker& worker : workers_)
        if (worker.task) worker.deadline += held;
  }

  // What the workers in flight may take together.
  std::uint64_t memoryInFlight() const {
    std::uint64_t total = 0;
    for (std::size_t i = head_; i < next_; ++i)
      if (!tasks_[i].result) total += tasks_[i].ceiling;
    return total;
  }

  // A worker may take its share of the run's budget, or what its document
  // is estimated to need when that is more (it then waits for room).
  std::uint64_t ceilingFor(const Task& task) const {
    if (limits_.memoryCeiling > 0) return limits_.memoryCeiling;
    return std::max({memoryShare_, task.memory, kSmallestCeiling});
  }

  void dispatchWhatFits() {
    while (next_ < tasks_.size()) {
      if (listOrder_ && next_ != head_) return;
      Worker* free = nullptr;
      for (Worker& worker : workers_)
        if (!worker.task) {
          free = &worker;
          break;
        }
      if (!free) return;
      if (mayBeReplacedInFlight(next_)) return;
      Task& task = tasks_[next_];
      task.memory = estimateRenderMemory(task.entry.path);
      task.ceiling = ceilingFor(task);
      // Wait for memory while something else is in flight; a file alone
      // always goes, and its worker's ceiling guards the machine.
      const std::uint64_t inFlight = memoryInFlight();
      if (inFlight > 0 && inFlight + task.ceiling > memoryBudget_) return;
      dispatch(next_, *free);
      ++next_;
    }
  }

  // A one-by-one run reads a document after the earlier ones were put in
  // place, and one of them may have replaced it (a.psd named 00001.psd
  // over the input 00001.psd). So a document waits while an earlier output
  // not yet committed may land in its folder with its extension.
  bool mayBeReplacedInFlight(std::size_t position) const {
    const std::string& path = tasks_[position].entry.path;
    const std::string folder = platform::folderPart(path);
    const std::string extension = extensionOf(path);
    for (std::size_t i = head_; i < position; ++i) {
      const NamingValues values{tasks_[i].entry.path, context_.format.extension, 0, 0, 0,
                                run_.randomNumber,    run_.sequenceNumber};
      const std::string output = makeOutputPath(settings_, run_.outputFolder, tasks_[i].entry.subFolder, values);
      if (extensionOf(output) == extension && platform::sameFile(platform::folderPart(output), folder)) return true;
    }
    return false;
  }

  static std::string extensionOf(const std::string& path) {
    const std::string name = platform::fileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : asciiLower(name.substr(dot + 1));
  }

  void dispatch(std::size_t position, Worker& worker) {
    Task& task = tasks_[position];
    if (settings_.keepSubfolders)
      for (std::string& folder : createSubFolders(run_.outputFolder, task.entry.subFolder))
        foldersMade_.push_back(std::move(folder));
    task.input.inputPath = task.entry.path;
    task.input.relativeSubFolder = task.entry.subFolder;
    task.input.outputFolder = run_.outputFolder;
    task.input.sequenceNumber = run_.sequenceNumber;
    task.input.randomNumber = run_.randomNumber;
    task.input.temporaryOutputPath = freshTemporaryName(task.entry.subFolder);
    // The worker refuses a document that would need more before reading
    // its pixels; the measurements below catch what no estimate foresaw.
    task.input.memoryLimit = task.ceiling;
    task.timeLimit =
        limits_.baseTimeLimit + limits_.timePerMegabyte * static_cast<std::int64_t>(task.memory / kMegabyte);

    TaskMessage message{static_cast<std::uint32_t>(position), task.input};
    const std::string bytes = encodeTaskMessage(message);
    // A worker that died while idle is noticed here; one more try with a
    // fresh one.
    for (int attempt = 0; attempt < 2; ++attempt) {
      std::string failure;
      if (!worker.socket.valid() && !startWorker(worker, failure)) {
        task.result = failedRender(failure);
        return;
      }
      if (sendMessage(worker.socket.get(), bytes)) {
        worker.task = position;
        worker.largestResident = 0;
        worker.deadline = Clock::now() + task.timeLimit;
        return;
      }
      endWorker(worker);
    }
    task.result = failedRender("the converter process did not take the file");
  }

  // A temporary name no render in flight uses and no file has.
  std::string freshTemporaryName(const std::string& subFolder) {
    for (;;) {
      std::string name = makeTemporaryOutputName(settings_, run_.outputFolder, subFolder, context_.format.extension);
      bool taken = platform::pathExists(name);
      for (std::size_t i = head_; i < next_ && !taken; ++i) taken = tasks_[i].input.temporaryOutputPath == name;
      if (!taken) return name;
    }
  }

  bool startWorker(Worker& worker, std::string& failure) {
    // A spare that died while it waited fails its message and is dropped
    // for a fresh worker.
    if (limits_.spare && limits_.spare->socket.valid()) {
      SpareWorker spare = std::move(*limits_.spare);
      if (sendMessage(spare.socket.get(), encodeRunMessage(RunMessage{settings_, context_.format}))) {
        worker.process = std::move(spare.process);
        worker.socket = std::move(spare.socket);
        return true;
      }
    }
    std::optional<SpareWorker> started = spawnWorker(limits_.executable, failure);
    if (!started) return false;
    if (!sendMessage(started->socket.get(), encodeRunMessage(RunMessage{settings_, context_.format}))) {
      failure = "cannot start a converter process: it ended at once";
      return false;
    }
    worker.process = std::move(started->process);
    worker.socket = std::move(started->socket);
    return true;
  }

  // Kills the worker and forgets it; its next task starts a new one.
  void endWorker(Worker& worker) {
    worker.process.kill();
    worker.socket = platform::FileDescriptor();
    worker.task.reset();
  }

  RenderResult failedRender(std::string reason) {
    RenderResult result;
    result.failure = std::move(reason);
    return result;
  }

  // The worker's render failed without an answer: it is replaced and its
  // unfinished temporary file removed.
  void failTask(Worker& worker, std::string reason) {
    Task& task = tasks_[*worker.task];
    endWorker(worker);
    std::remove(task.input.temporaryOutputPath.c_str());
    task.result = failedRender(std::move(reason));
  }

  void awaitAnswers() {
    std::vector<pollfd> watched;
    std::vector<Worker*> owners;
    Clock::time_point nearest = Clock::now() + std::chrono::milliseconds(kPollMilliseconds);
    for (Worker& worker : workers_) {
      if (!worker.task) continue;
      watched.push_back({worker.socket.get(), POLLIN, 0});
      owners.push_back(&worker);
      nearest = std::min(nearest, worker.deadline);
    }
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now()).count();
    int ready =
        ::poll(watched.data(), watched.size(), static_cast<int>(std::clamp<long long>(wait, 0, kPollMilliseconds)));
    if (ready > 0)
      for (std::size_t i = 0; i < watched.size(); ++i)
        if (watched[i].revents != 0) takeAnswer(*owners[i]);
    checkLimits();
  }

  void takeAnswer(Worker& worker) {
    const std::size_t position = *worker.task;
    std::optional<std::string> bytes = receiveMessage(worker.socket.get());
    std::optional<AnswerMessage> answer = bytes ? decodeAnswerMessage(*bytes) : std::nullopt;
    if (answer && answer->id == position) {
      tasks_[position].result = std::move(answer->result);
      worker.task.reset();
      return;
    }
    if (bytes) {
      failTask(worker, "the converter process answered with a damaged message");
      return;
    }
    // The worker ended without an answer; how it ended is the reason. A
    // SIGKILL that did not come from here came from the kernel's
    // out-of-memory killer.
    const int status = worker.process.waitWithin(std::chrono::seconds(1));
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
      failTask(worker, worker.largestResident >= kMegabyte
                           ? "the conversion needed more than " + megabytes(worker.largestResident) +
                                 " of memory and was stopped by the system"
                           : std::string("the conversion needed more memory than the system could give"));
    else
      failTask(worker,
               "the converter process crashed while converting it (" + platform::describeWaitStatus(status) + ")");
  }

  void checkLimits() {
    const Clock::time_point now = Clock::now();
    // Reading the workers' sizes costs a file read each; a few times a
    // second is enough to catch one that runs away.
    const bool measure = now - lastMeasured_ >= std::chrono::milliseconds(kPollMilliseconds);
    if (measure) lastMeasured_ = now;
    for (Worker& worker : workers_) {
      if (!worker.task) continue;
      const Task& task = tasks_[*worker.task];
      if (now > worker.deadline) {
        failTask(worker, "the conversion took longer than " +
                             std::to_string(std::chrono::duration_cast<std::chrono::seconds>(task.timeLimit).count()) +
                             " s and was stopped");
        continue;
      }
      if (!measure) continue;
      std::optional<std::uint64_t> resident = platform::residentBytes(worker.process.pid());
      if (resident) worker.largestResident = std::max(worker.largestResident, *resident);
      if (resident && *resident > task.ceiling)
        failTask(worker, "the conversion needed more than " + megabytes(task.ceiling) + " of memory and was stopped");
    }
  }

  // Names, renames and stamps the head file with the numbers of the moment,
  // and says so, exactly as a sequential run does.
  bool commitHead() {
    Task& task = tasks_[head_];
    print("Processing: " + task.entry.path);
    for (std::string_view notes = task.result->notes; !notes.empty();) {
      const std::size_t end = notes.find('\n');
      print(notes.substr(0, end));
      notes = end == std::string_view::npos ? std::string_view{} : notes.substr(end + 1);
    }
    JobInput input = task.input;
    input.sequenceNumber = run_.sequenceNumber;
    input.randomNumber = run_.randomNumber;
    const JobResult result = commitOutput(settings_, context_.format, input, *task.result, &writtenOutputs_);
    print("Saving As: " + result.outputPath);
    print(result.written ? "OK" : "Not OK");
    if (result.written) {
      run_.randomNumber = run_.drawRandomNumber();
      ++run_.sequenceNumber;
    }
    if (context_.results) context_.results(task.entry, result);
    task.result.reset();
    ++head_;
    headAnnounced_ = false;
    return result.written;
  }

  // The progress record names the file the run waits for, as a one-by-one
  // run names the file it starts.
  void announceHead() {
    if (headAnnounced_ || head_ >= next_) return;
    progress_.setCurrent(static_cast<std::int32_t>(head_ + 1), tasks_[head_].entry.path);
    headAnnounced_ = true;
  }

  // Renders still running are killed; finished ones that will never be
  // committed lose their temporary files.
  void discardInFlight() {
    for (Worker& worker : workers_)
      if (worker.task) endWorker(worker);
    for (std::size_t i = head_; i < next_; ++i) {
      if (!tasks_[i].input.temporaryOutputPath.empty()) std::remove(tasks_[i].input.temporaryOutputPath.c_str());
      tasks_[i].result.reset();
    }
    next_ = head_;
  }

  // Innermost first, a folder goes only when nothing is in it; one the
  // run wrote into stays.
  void removeEmptyFoldersMade() {
    for (auto folder = foldersMade_.rbegin(); folder != foldersMade_.rend(); ++folder) ::rmdir(folder->c_str());
    foldersMade_.clear();
  }

  const WorkerContext& context_;
  const Settings& settings_;
  RunState& run_;
  Progress& progress_;
  const WorkerLimits& limits_;
  const bool listOrder_;
  const bool debug_;
  std::uint64_t memoryBudget_ = 0;
  std::uint64_t memoryShare_ = 0;  // the budget divided among the workers
  std::vector<Task> tasks_;
  std::vector<Worker> workers_;
  std::size_t head_ = 0;  // the next position to commit
  std::size_t next_ = 0;  // the next position to dispatch
  bool headAnnounced_ = false;
  Clock::time_point lastMeasured_;
  std::unordered_set<std::string> writtenOutputs_;
  std::vector<std::string> foldersMade_;  // in the order they were made
};

}  // namespace

std::shared_ptr<SpareWorker> startSpareWorker(const std::string& executable) {
  std::string failure;
  std::optional<SpareWorker> started = spawnWorker(executable, failure);
  return started ? std::make_shared<SpareWorker>(std::move(*started)) : nullptr;
}

void superviseConversion(const WorkerContext& context) { Supervisor(context).run(); }

}  // namespace qm
