// The small windows beside the main window: About, Find a File Converter,
// and the uninstall feedback window the uninstaller starts on its own.
// Private to the window face.
#pragma once

#include "app/message_boxes.h"
#include "app/run_state.h"
#include "themes/image_sets.h"

class wxWindow;

namespace qm {

// The banner, the title line and links to the web site and the support
// address. Modal over `owner`; OK, Return, Escape and the close box all
// close it. The links open their targets and leave the window open.
void runAboutWindow(wxWindow* owner, const ImageSets& images);

// Two extension fields and Search. Modal over `owner`. Search keeps the
// cleaned extensions in the Run state; with both filled it opens the
// search page and closes, otherwise it warns and stays open. Escape and
// the close box close it.
void runConverterFinder(wxWindow* owner, RunState& run, MessageBoxes& boxes);

// The uninstall feedback window, centred on the screen with no window of
// the program under it. Next opens the uninstall feedback page when its box
// is ticked and ends; the close box ends without opening anything.
void runUninstallFeedback();

}  // namespace qm
