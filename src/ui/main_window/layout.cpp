#include "ui/main_window/layout.h"

#include <algorithm>

namespace qm {

namespace {

// The container starts right below the toolbar; nothing ever moves it
// further down.
constexpr int kTopOffset = 0;
constexpr int kInitialListHeight = 100;
constexpr int kInitialColumnWidth = 290;
constexpr int kSmallButtonSide = 24;

}  // namespace

MainLayout initialLayout(int innerWidth, int innerHeight, int toolbarHeight) {
  MainLayout layout;
  layout.container = {0, toolbarHeight + kTopOffset, innerWidth, innerHeight - 130};
  layout.inputList = {10, 10, 380, kInitialListHeight};
  layout.columnWidth = kInitialColumnWidth;
  layout.folderLabel = {10, 115, 380, 20};
  layout.folderSelector = {10, 130, 380, 21};
  layout.folderButton = {396, 129, kSmallButtonSide, kSmallButtonSide};
  layout.formatLabel = {10, 155, 380, 20};
  layout.formatSelector = {10, 170, 380, 21};
  layout.formatButton = {396, 169, kSmallButtonSide, kSmallButtonSide};
  layout.convertButton = {400, 10, 100, 100};
  return layout;
}

MainLayout relayout(const MainLayout& current, int innerWidth, int body, int toolbarHeight) {
  const int w = innerWidth;
  const int b = body;
  MainLayout next = current;
  next.container = {current.container.x, toolbarHeight + kTopOffset, w, b - 10};
  next.inputList.width = w - 130;
  next.inputList.height = b - 109;
  next.columnWidth = w - 160;
  next.folderLabel.y = b - 94;
  next.folderSelector.y = b - 79;
  next.folderSelector.width = w - 130;
  next.folderButton = {w - 114, b - 80, kSmallButtonSide, kSmallButtonSide};
  next.formatLabel.y = b - 54;
  next.formatSelector.y = b - 39;
  next.formatSelector.width = w - 130;
  next.formatButton = {w - 114, b - 40, kSmallButtonSide, kSmallButtonSide};
  next.convertButton.x = w - 110;
  return next;
}

Rect keepOnDesktop(Rect window, int desktopWidth, int desktopHeight) {
  if (desktopWidth <= 0 || desktopHeight <= 0) return window;
  window.width = std::clamp(window.width, kMinimumInnerWidth, std::max(kMinimumInnerWidth, desktopWidth));
  window.height = std::clamp(window.height, kMinimumInnerHeight, std::max(kMinimumInnerHeight, desktopHeight));
  window.x = std::clamp(window.x, 0, std::max(0, desktopWidth - window.width));
  window.y = std::clamp(window.y, 0, std::max(0, desktopHeight - window.height));
  return window;
}

}  // namespace qm
