// Kept apart from the toolkit's headers: Xlib's macros (None, Bool, ...)
// clash with names the toolkit uses.
#include <X11/Xlib.h>

#include "ui/toolkit/toolkit.h"

namespace qm {

bool displayReachable() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XCloseDisplay(display);
  return true;
}

}  // namespace qm
