#include "ui/testing/test_hooks.h"

#include <cstdlib>
#include <sstream>
#include <vector>

#include <unistd.h>

#include "app/messages.h"
#include "formats/output_formats.h"
#include "platform/paths.h"
#include "platform/whole_file.h"
#include "ui/main_window/main_frame.h"
#include "ui/testing/window_description.h"

namespace qm {

namespace {

constexpr int kPollMilliseconds = 20;

std::string answer(bool yes) { return yes ? "yes" : "no"; }

}  // namespace

std::unique_ptr<TestHooks> TestHooks::fromEnvironment(MainFrame& frame, WindowContext& context) {
  const char* folder = std::getenv("QUILLMARK_TEST_HOOKS");
  if (!folder || !*folder || !platform::isFolder(folder)) return nullptr;
  return std::make_unique<TestHooks>(frame, context, platform::withTrailingSlash(folder));
}

TestHooks::TestHooks(MainFrame& frame, WindowContext& context, std::string folder)
    : frame_(frame), context_(context), folder_(std::move(folder)) {
  timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { poll(); });
  timer_.Start(kPollMilliseconds);
}

TestHooks::~TestHooks() { timer_.Stop(); }

void TestHooks::poll() {
  if (busy_) return;
  const std::string path = folder_ + "command";
  std::optional<std::string> command = readWholeFile(path);
  if (!command) return;
  ::unlink(path.c_str());
  busy_ = true;
  const std::string reply = carryOut(*command);
  busy_ = false;
  replaceWholeFile(folder_ + "reply", reply);
}

std::string TestHooks::carryOut(const std::string& command) {
  std::istringstream lines(command);
  std::string verb;
  lines >> verb;
  if (verb == "state") return describeMainWindow(frame_);
  if (verb == "drop" || verb == "drop-later") {
    std::vector<std::string> paths;
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line))
      if (!line.empty()) paths.push_back(line);
    if (verb == "drop-later") {
      // The drop's dialogs then run outside the hooks, which stay free to
      // answer while they are open.
      frame_.CallAfter([&frame = frame_, paths] { frame.handleDrop(paths); });
      return "queued\n";
    }
    frame_.handleDrop(paths);
    return "done\n";
  }
  if (verb == "interface-change") {
    int code = 0;
    std::string theme;
    int size = 0;
    lines >> code >> theme >> size;
    Workspace& w = context_.workspace;
    w.settings.uiTheme = theme;
    w.settings.uiSize = size;
    w.run.interfaceChangeCode = code;
    int selection = 0;
    for (std::size_t i = 0; i < kOutputExtensions.size(); ++i)
      if (kOutputExtensions[i] == w.settings.outputFormat) selection = static_cast<int>(i);
    frame_.applyInterfaceChange(selection);
    return "done\n";
  }
  if (verb == "update-time-limit") {
    long milliseconds = 0;
    lines >> milliseconds;
    frame_.setUpdateTimeLimit(std::chrono::milliseconds(milliseconds));
    return "done\n";
  }
  if (verb == "message") {
    std::string kind;
    lines >> kind;
    MessageBoxes& boxes = context_.boxes;
    const std::string title = messages().lookUpText("Msg", "Check for Updates");
    const std::string question = messages().lookUpText("Msg", "Ask check for updates");
    if (kind == "warning")
      boxes.showWarning(messages().lookUpText("Msg", "Empty output folder"));
    else if (kind == "error")
      boxes.showError(fillPlaceholders(messages().lookUpText("Msg", "Invalid output folder"), "/nowhere/"));
    else if (kind == "information")
      boxes.showInformation(title, messages().lookUpText("Msg", "No Update Text"));
    else if (kind == "question")
      return answer(boxes.askYesNo(title, question, QuestionIcon::Question)) + "\n";
    else if (kind == "warning-question")
      return answer(boxes.askYesNo(messages().lookUpText("Msg", "Warning"),
                                   messages().lookUpText("Msg", "Ask break import"), QuestionIcon::Warning)) +
             "\n";
    else
      return "unknown\n";
    return "ok\n";
  }
  return "unknown\n";
}

}  // namespace qm
