// What the main window's commands do, and the Input list's own events.

#include <gtk/gtk.h>
#include <wx/activityindicator.h>
#include <wx/app.h>
#include <wx/bmpcbox.h>
#include <wx/clipbrd.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "app/messages.h"
#include "formats/input_formats.h"
#include "formats/output_formats.h"
#include "net/links.h"
#include "net/update_check.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "ui/dialogs/side_windows.h"
#include "ui/main_window/add_input_chooser.h"
#include "ui/main_window/background_update_check.h"
#include "ui/main_window/input_list_control.h"
#include "ui/main_window/main_frame.h"
#include "ui/preferences/preferences_dialog.h"
#include "ui/toolkit/toolkit_text.h"

namespace qm {

void MainFrame::runCommand(Command command) {
  switch (command) {
    case Command::New: newList(); break;
    case Command::Exit:
      quit_ = true;
      if (wxTheApp) wxTheApp->ExitMainLoop();
      break;
    case Command::Add: openAddInputChooser(); break;
    case Command::Copy:
      if (listHasFocus()) copySelection();
      break;
    case Command::Delete:
      if (listHasFocus()) deleteSelection();
      break;
    case Command::SelectAll:
      if (listHasFocus()) selectAll();
      break;
    case Command::Manual: openHelpFile(context_.workspace.run.programFolder); break;
    case Command::SendFeedback: openFeedbackMail(); break;
    case Command::Homepage: openHomePage(); break;
    case Command::CheckForUpdates: startUpdateCheck(); break;
    case Command::SelectOutputFolder: selectOutputFolder(); break;
    case Command::Import: importList(); break;
    case Command::Export: exportList(); break;
    case Command::Convert: convert(); break;
    case Command::CustomConverter:
      runConverterFinder(this, context_.workspace.run, context_.boxes);
      SetFocus();
      break;
    case Command::About:
      runAboutWindow(this, context_.images);
      SetFocus();
      break;
    case Command::Preferences: openPreferences(); break;
    case Command::OutputFormatOptions:
      context_.workspace.run.preferencesStartPage = 3;
      openPreferences();
      break;
  }
}

void MainFrame::newList() {
  rebuildFolderSelector();
  resetRun(context_.workspace.run, context_.workspace.inputs);
  list_->clearRows();
  failures_.clear();
  folderSelector_->SetSelection(wxNOT_FOUND);
  setStatusText(messages().lookUpText("General", "Ready"));
  list_->SetFocus();
}

bool MainFrame::listHasFocus() const {
  const wxWindow* focus = wxWindow::FindFocus();
  return focus && (focus == list_ || focus->GetParent() == list_);
}

void MainFrame::copySelection() {
  std::string text;
  for (long row : list_->selectedRows()) text += list_->path(row) + "\r\n";
  if (text.empty()) return;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  while (!text.empty() && text.back() == '\r') text.pop_back();
  if (!wxTheClipboard->Open()) return;
  wxTheClipboard->Clear();
  wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(text)));  // the clipboard owns it
  wxTheClipboard->Close();
}

void MainFrame::deleteSelection() {
  if (list_->rowCount() == 0) return;
  for (const std::string& path : list_->removeSelectedRows()) {
    context_.workspace.inputs.remove(path);
    failures_.erase(path);
  }
}

void MainFrame::selectAll() { list_->selectAllRows(); }

void MainFrame::onListRightClick(wxContextMenuEvent& event) {
  onListEvent();
  if (list_->GetSelectedItemCount() == 0) return;
  wxPoint at = event.GetPosition();
  at = at == wxDefaultPosition ? ScreenToClient(wxGetMousePosition()) : ScreenToClient(at);
  PopupMenu(popupMenu_.get(), at - wxPoint(1, 1));
}

bool isModifierKey(int key) {
  return key == WXK_CONTROL || key == WXK_SHIFT || key == WXK_ALT || key == WXK_RAW_CONTROL ||
         key == WXK_WINDOWS_LEFT || key == WXK_WINDOWS_RIGHT || key == WXK_COMMAND;
}

void MainFrame::onListKey(wxKeyEvent& event) {
  event.Skip();
  if (isModifierKey(event.GetKeyCode())) return;
  const bool wasLive = listShortcutsRegistered_;
  onListEvent();
  // The list would select all rows on Ctrl+A by itself; the list's keys
  // must stay dead until the list has had an event, and this key press
  // is that event.
  const int key = event.GetKeyCode();
  const bool listKey = key == 'A' || key == 'C' || key == WXK_DELETE;
  if (!wasLive && event.GetModifiers() == wxMOD_CONTROL && listKey) event.Skip(false);
}

void MainFrame::onListDoubleClick(wxMouseEvent& event) {
  event.Skip();
  // The column header sits at the top of the list, the item area below it.
  const auto* source = dynamic_cast<const wxWindow*>(event.GetEventObject());
  if (source && source->GetPosition().y == 0) return;
  onListEvent();
  // After the list has finished with its own double-click.
  CallAfter([this] { openAddInputChooser(); });
}

void MainFrame::onFolderSelector(wxCommandEvent&) { context_.workspace.run.outputFolder = folderSelectorText(); }

void MainFrame::onFormatSelector(wxCommandEvent&) {
  const int selection = formatSelector_->GetSelection();
  if (selection >= 0 && selection < static_cast<int>(kOutputExtensions.size()))
    context_.workspace.settings.outputFormat = std::string(kOutputExtensions[selection]);
}

void MainFrame::openAddInputChooser() {
  switch (runAddInputChooser(this, context_.images)) {
    case AddInputChoice::Files: selectInputFiles(); break;
    case AddInputChoice::Folder: selectInputFolder(); break;
    case AddInputChoice::None: break;
  }
  SetFocus();
}

void MainFrame::selectInputFiles() {
  RunState& run = context_.workspace.run;
  const std::string filter =
      inputFileFilter(run.readableExtensions, messages().lookUpText("Dialog", "All Supported Files"),
                      messages().lookUpText("Dialog", "All Files"));
  wxFileDialog dialog(this, catalogueText("Dialog", "Select Input Files"),
                      wxString::FromUTF8(platform::folderPart(run.inputFile)),
                      wxString::FromUTF8(platform::fileNamePart(run.inputFile)), wxString::FromUTF8(filter),
                      wxFD_OPEN | wxFD_MULTIPLE | wxFD_FILE_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return;
  wxArrayString paths;
  dialog.GetPaths(paths);
  for (const wxString& path : paths) admitAndShow(path.ToStdString(wxConvUTF8));
  if (!paths.empty()) run.inputFile = paths.back().ToStdString(wxConvUTF8);
  requestRelayout();
}

void MainFrame::selectInputFolder() {
  RunState& run = context_.workspace.run;
  std::string start = run.inputRoot;
  if (start.empty() && !run.inputFile.empty()) start = platform::folderPart(run.inputFile);
  // The toolkit's dialog would otherwise open on its recent files, where
  // no folder can be chosen.
  if (start.empty()) start = wxGetHomeDir().ToStdString(wxConvUTF8);
  wxDirDialog dialog(this, catalogueText("Dialog", "Select Input Folder"), wxString::FromUTF8(start),
                     wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return;
  const std::string folder = dialog.GetPath().ToStdString(wxConvUTF8);
  if (!platform::isFolder(folder)) return;
  run.inputRoot = platform::withTrailingSlash(folder);
  importFolder(0);
}

}  // namespace qm

namespace qm {

void MainFrame::startUpdateCheck() {
  if (updateCheck_) return;
  showUpdateBusy(true);
  // The box waits while another dialog has the window (a conversion, the
  // Preferences, another box), as a box of the user's own doing would.
  const auto mayAnswer = [this] { return IsEnabled() && !gtk_grab_get_current(); };
  // The check is ended from outside its own timer's event.
  const auto answer = [this](UpdateCheckOutcome outcome) {
    CallAfter([this, outcome] {
      updateCheck_.reset();
      showUpdateBusy(false);
      showUpdateOutcome(outcome, context_.boxes);
    });
  };
  updateCheck_ = std::make_unique<BackgroundUpdateCheck>(productSite(), updateTimeLimit_, mayAnswer, answer);
}

void MainFrame::scheduledUpdateCheck() {
  if (askScheduledCheck(context_.workspace.settings, context_.boxes, platform::nowLocalDate())) startUpdateCheck();
}

void MainFrame::showUpdateBusy(bool busy) {
  if (busy && !updateBusy_) {
    updateBusy_ = new wxActivityIndicator(GetStatusBar(), wxID_ANY);
    placeUpdateBusy();
  }
  if (!updateBusy_) return;
  updateBusy_->Show(busy);
  if (busy)
    updateBusy_->Start();
  else
    updateBusy_->Stop();
  // The desktop's "working in the background" pointer: an arrow that still
  // clicks, with a busy sign beside it.
  SetCursor(busy ? wxCursor(wxCURSOR_ARROWWAIT) : wxNullCursor);
}

void MainFrame::placeUpdateBusy() {
  if (!updateBusy_) return;
  const wxSize bar = GetStatusBar()->GetClientSize();
  const int side = std::min(16, std::max(bar.y - 4, 8));
  // At the right end, where the status text rarely reaches and the size
  // grip, when there is one, still leaves room.
  updateBusy_->SetSize(bar.x - side - 24, (bar.y - side) / 2, side, side);
}

void MainFrame::openPreferences() {
  RunState& run = context_.workspace.run;
  const int startPage = run.preferencesStartPage;
  run.preferencesStartPage = 0;
  {
    PreferencesDialog dialog(this, context_, startPage,
                             [this](int formatSelection) { applyInterfaceChange(formatSelection); });
    preferences_ = &dialog;
    dialog.run();
    preferences_ = nullptr;
  }
  SetFocus();
}

}  // namespace qm
