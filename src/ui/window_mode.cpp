#include "ui/toolkit_prelude.h"

#include "ui/window_mode.h"

#include <cstdio>
#include <memory>

#include <wx/app.h>

#include "app/messages.h"
#include "net/update_check.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "settings/settings_file.h"
#include "ui/main_frame.h"
#include "ui/screenshots.h"
#include "ui/side_windows.h"
#include "ui/test_hooks.h"
#include "ui/toolkit.h"
#include "ui/window_message_boxes.h"

namespace qm {

namespace {

struct WindowDestroyer {
  void operator()(MainFrame* frame) const { frame->Destroy(); }
};

void loadPictures(WindowContext& context) {
  loadBuiltinImages(context.images);
  const std::string& programFolder = context.workspace.run.programFolder;
  context.themes = scanThemes(programFolder);
  loadTheme(context.images, context.workspace.settings, context.themes, programFolder, kAllImageSets);
}

int runMainWindow(WindowContext& context, const Toolkit& toolkit, const std::vector<std::string>& startPaths) {
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
      frame->CallAfter(
          [&settings, &boxes = context.boxes] { scheduledCheck(settings, boxes, platform::nowLocalDate()); });
    const std::unique_ptr<TestHooks> hooks = TestHooks::fromEnvironment(*frame, context);
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
  return runMainWindow(context, *toolkit, request.startPaths);
}

}  // namespace qm
