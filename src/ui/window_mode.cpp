#include "ui/window_mode.h"

#include <atomic>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/timer.h>

#include "app/messages.h"
#include "platform/instance_handoff.h"
#include "platform/paths.h"
#include "platform/stop_signals.h"
#include "settings/settings_file.h"
#include "ui/dialogs/side_windows.h"
#include "ui/dialogs/window_message_boxes.h"
#include "ui/main_window/main_frame.h"
#include "ui/screenshots.h"
#include "ui/toolkit/toolkit.h"
#if QM_WINDOW_TEST_HOOKS
#include "ui/testing/test_hooks.h"
#endif

namespace qm {

namespace {

struct WindowDestroyer {
  void operator()(MainFrame* frame) const { frame->Destroy(); }
};

constexpr int kHandoffPollMilliseconds = 100;

// Files and folders from later starts of the program: each start's are
// admitted as a drop of them would be, and the window comes to the front.
// A start is answered at once; its files wait while the window is busy
// with a dialog of its own, as a drop could not reach it then either.
class HandoffReceiver {
 public:
  HandoffReceiver(MainFrame& frame, platform::HandoffListener listener)
      : frame_(frame), listener_(std::move(listener)) {
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { poll(); });
    timer_.Start(kHandoffPollMilliseconds);
  }
  HandoffReceiver(const HandoffReceiver&) = delete;
  HandoffReceiver& operator=(const HandoffReceiver&) = delete;
  ~HandoffReceiver() { timer_.Stop(); }

 private:
  void poll() {
    for (std::vector<std::string>& paths : listener_.receive()) waiting_.push_back(std::move(paths));
    if (busy_ || waiting_.empty() || !frame_.IsEnabled() || gtk_grab_get_current() || wxWindow::GetCapture()) return;
    busy_ = true;
    while (!waiting_.empty()) {
      std::vector<std::string> paths = std::move(waiting_.front());
      waiting_.pop_front();
      if (frame_.IsIconized()) frame_.Iconize(false);
      gtk_window_present(GTK_WINDOW(frame_.GetHandle()));
      frame_.handleDrop(paths);
    }
    busy_ = false;
  }

  MainFrame& frame_;
  platform::HandoffListener listener_;
  std::deque<std::vector<std::string>> waiting_;
  wxTimer timer_;
  // The drop's folder import runs a dialog, in whose loop the timer fires.
  bool busy_ = false;
};

constexpr int kStopPollMilliseconds = 100;

// SIGTERM, SIGINT and SIGHUP close the window as its close box does, so the
// settings are written. A second signal ends the program at once.
class StopRequests {
 public:
  StopRequests()
      : signals_([this](int signal) {
          if (requested_.exchange(true)) platform::endBySignal(signal);
        }) {}
  bool requested() const { return requested_; }

 private:
  std::atomic<bool> requested_{false};
  // Last, so that its watcher thread ends before the flag goes.
  platform::StopSignals signals_;
};

// Looks for a stop request from inside the window's event loops. A dialog
// of the window's own is answered first (the window is disabled under it).
class StopWatcher {
 public:
  StopWatcher(MainFrame& frame, const StopRequests& stops) : frame_(frame), stops_(stops) {
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { poll(); });
    timer_.Start(kStopPollMilliseconds);
  }
  StopWatcher(const StopWatcher&) = delete;
  StopWatcher& operator=(const StopWatcher&) = delete;
  ~StopWatcher() { timer_.Stop(); }

 private:
  void poll() {
    if (closing_ || !stops_.requested() || !frame_.IsEnabled() || gtk_grab_get_current() || wxWindow::GetCapture())
      return;
    closing_ = true;
    frame_.Close();
  }

  MainFrame& frame_;
  const StopRequests& stops_;
  wxTimer timer_;
  bool closing_ = false;
};

void loadPictures(WindowContext& context) {
  loadBuiltinImages(context.images);
  const std::string& programFolder = context.workspace.run.programFolder;
  context.themes = scanThemes(programFolder);
  loadTheme(context.images, context.workspace.settings, context.themes, programFolder, kAllImageSets);
}

int runMainWindow(WindowContext& context, const Toolkit& toolkit, const std::vector<std::string>& startPaths,
                  const std::string& handoffSocket, const StopRequests& stops) {
  Settings& settings = context.workspace.settings;
  loadSettings(settings, toolkit.primaryDesktop());
  messages();
  loadPictures(context);
  {
    const DesktopSize desktop = toolkit.primaryDesktop();
    const Rect stored =
        keepOnDesktop({settings.x, settings.y, settings.width, settings.height}, desktop.width, desktop.height);
    const WindowPlacement placement{stored.x, stored.y, stored.width, stored.height, settings.isMaximized != 0};
    std::unique_ptr<MainFrame, WindowDestroyer> frame(new MainFrame(context, placement));
    frame->finishBuilding(placement.maximized);
    // Once the loop runs, like a drop: the window is up while a folder is
    // being read.
    if (!startPaths.empty()) frame->CallAfter([&window = *frame, startPaths] { window.handleDrop(startPaths); });
    // From inside the loop, once the window is up: the question then
    // stands over a drawn window (and the test hooks can already see it).
    if (context.workspace.run.runModeMarker != "T")
      frame->CallAfter([&window = *frame] { window.scheduledUpdateCheck(); });
#if QM_WINDOW_TEST_HOOKS
    const std::unique_ptr<TestHooks> hooks = TestHooks::fromEnvironment(*frame, context);
#endif
    const StopWatcher stopWatcher(*frame, stops);
    std::unique_ptr<HandoffReceiver> handoff;
    if (!handoffSocket.empty())
      if (std::optional<platform::HandoffListener> listener = platform::HandoffListener::listen(handoffSocket))
        handoff = std::make_unique<HandoffReceiver>(*frame, std::move(*listener));
    if (!frame->quitRequested()) wxTheApp->MainLoop();
    frame->saveGeometry(settings);
  }
  if (!settings.outFoldersHistory) settings.recentOutFolders.clear();
  saveSettings(settings);
  return 0;
}

}  // namespace

int runWindowMode(const Workspace& workspace, const WindowModeRequest& request) {
  // Screenshots go only into a folder that exists; without one the mode
  // has nothing to do, and needs no display to do it.
  if (request.face == WindowModeRequest::Face::Screenshots &&
      (request.screenshotFolder.empty() || !platform::isFolder(platform::withTrailingSlash(request.screenshotFolder))))
    return 0;
  // Made before the toolkit starts its threads, so that none of them is
  // left where a stop signal would end the program mid-write.
  std::optional<StopRequests> stops;
  if (request.face == WindowModeRequest::Face::MainWindow) stops.emplace();
  const std::unique_ptr<Toolkit> toolkit = Toolkit::start();
  if (!toolkit) {
    std::fprintf(stderr, "Error: no display to open the window on (DISPLAY is not set or cannot be reached).\n");
    return 1;
  }
  if (request.face == WindowModeRequest::Face::UninstallFeedback) {
    messages();
    runUninstallFeedback();
    return 0;
  }
  WindowMessageBoxes boxes;
  WindowContext context{workspace, {}, {}, boxes};
  if (request.face == WindowModeRequest::Face::Screenshots) {
    messages();
    loadPictures(context);
    return runScreenshots(context, request.screenshotFolder);
  }
  return runMainWindow(context, *toolkit, request.startPaths, request.handoffSocket, *stops);
}

}  // namespace qm
