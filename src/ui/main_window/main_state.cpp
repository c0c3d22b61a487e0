// The window after the Preferences have changed the theme or the icon
// size.

#include <wx/bmpcbox.h>

#include "ui/main_window/main_frame.h"

namespace qm {

void MainFrame::applyInterfaceChange(int formatSelection) {
  Workspace& w = context_.workspace;
  switch (w.run.interfaceChangeCode) {
    case 2:
      loadTheme(context_.images, w.settings, context_.themes, w.run.programFolder, ThemedSets{.toolbar = true});
      buildToolbar();
      fitToolbar();
      requestRelayout();
      break;
    case 1:
      loadTheme(context_.images, w.settings, context_.themes, w.run.programFolder, kAllImageSets);
      buildMenuBar();
      buildPopupMenu();
      buildToolbar();
      buildSmallButtons();
      fitToolbar();
      applyImagesToControls();
      requestRelayout();
      break;
    default: break;
  }
  w.run.interfaceChangeCode = 0;
  if (formatSelection >= 0 && formatSelection < static_cast<int>(formatSelector_->GetCount()))
    formatSelector_->SetSelection(formatSelection);
  if (static_cast<int>(folderSelector_->GetCount()) != w.settings.outFoldersNumber) rebuildFolderSelector();
}

}  // namespace qm
