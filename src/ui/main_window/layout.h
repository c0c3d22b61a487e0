// Where the controls of the main window go. The window keeps them at fixed
// offsets from its right and bottom edges, so a resize moves and stretches
// them by plain arithmetic on the new size.
#pragma once

namespace qm {

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Positions are relative to the container, the container's relative to the
// window's client area below the menu bar.
struct MainLayout {
  Rect container;
  Rect inputList;
  int columnWidth = 0;
  Rect folderLabel;
  Rect folderSelector;
  Rect folderButton;
  Rect formatLabel;
  Rect formatSelector;
  Rect formatButton;
  Rect convertButton;
};

// The smallest inner size the window accepts (menu bar counted).
inline constexpr int kMinimumInnerWidth = 510;
inline constexpr int kMinimumInnerHeight = 330;

// The places the controls are created at, before any resize.
MainLayout initialLayout(int innerWidth, int innerHeight, int toolbarHeight);

// The places after a resize. `body` is the inner height without the menu
// bar, the toolbar and the status bar; what the layout does not govern
// (left edges, label sizes, the selectors' heights) comes from `current`.
MainLayout relayout(const MainLayout& current, int innerWidth, int body, int toolbarHeight);

// The window's stored place and inner size brought onto a desktop of the
// given size: a settings file from a larger screen (or edited by hand)
// must not open the window out of reach. No larger than the desktop, no
// smaller than the minimum, its top left corner on the desktop. A desktop
// of unknown size (0) leaves the rectangle as it is.
Rect keepOnDesktop(Rect window, int desktopWidth, int desktopHeight);

}  // namespace qm
