// The work that fills or saves the Input list behind a progress dialog
// (folder import, list import, export), and the Select Output Folder
// dialog.

#include <filesystem>
#include <system_error>

#include <wx/bmpcbox.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/utils.h>

#include "app/messages.h"
#include "engine/batch/folder_scan.h"
#include "engine/batch/list_export.h"
#include "engine/batch/list_import.h"
#include "engine/batch/worker_thread.h"
#include "platform/paths.h"
#include "ui/dialogs/progress_dialogs.h"
#include "ui/main_window/input_list_control.h"
#include "ui/main_window/main_frame.h"
#include "ui/main_window/recent_folders.h"

namespace qm {

namespace {

std::string text(std::string_view group, std::string_view key) { return messages().lookUpText(group, key); }

// Files and folders directly inside a folder, whatever their names.
int countEntries(const std::string& folder) {
  std::error_code error;
  int count = 0;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) ++count;
  return count;
}

constexpr std::string_view kSuggestedListName = "list.txt";

wxString listFileFilter() {
  return wxString::FromUTF8(text("Dialog", "Text Files") + "|*.txt;*.lst|" + text("Dialog", "All Files") +
                            " (*.*)|*.*");
}

bool hasExtension(const std::string& path) {
  const std::string name = platform::fileNamePart(path);
  const auto dot = name.rfind('.');
  return dot != std::string::npos && dot > 0;
}

}  // namespace

int MainFrame::importFolder(int savedBefore) {
  Workspace& w = context_.workspace;
  Progress progress;
  progress.reset();
  progress.setSavedCount(savedBefore);
  ListWork work;
  work.titleKey = "Import Progress";
  work.askBreakKey = "Ask break import";
  work.completeKey = "Import complete";
  work.stoppedKey = "Import is not complete";
  work.total = countEntries(w.run.inputRoot);
  work.start = [&w](Progress& record) { return startFolderScan(w.inputs, w.run, record); };
  work.addRows = [this](std::vector<std::string> paths) { appendRows(std::move(paths)); };
  work.setStatus = [this](const std::string& status) { setStatusText(status); };
  {
    // The scan admits on its own thread; its rows are queued and added
    // on the window's thread while the dialog polls.
    QueuedRows queued(w.inputs, progress);
    ListWorkDialog dialog(this, context_.boxes, std::move(work), progress);
    runProgressDialog(dialog);
  }
  return progress.savedCount();
}

bool MainFrame::importList() {
  RunState& run = context_.workspace.run;
  wxFileDialog chooser(this, wxString::FromUTF8(text("Dialog", "Import Input Files")),
                       wxString::FromUTF8(platform::folderPart(run.inputFile)),
                       wxString::FromUTF8(std::string(kSuggestedListName)), listFileFilter(),
                       wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (chooser.ShowModal() != wxID_OK) return false;
  const std::string path = chooser.GetPath().ToStdString(wxConvUTF8);
  const auto size = platform::fileSize(path);
  if (!size || *size == 0 || platform::isFolder(path)) return false;

  Workspace& w = context_.workspace;
  run.inputFile = path;
  Progress progress;
  progress.reset();
  ListWork work;
  work.titleKey = "Import Progress";
  work.askBreakKey = "Ask break import";
  work.completeKey = "Import complete";
  work.stoppedKey = "Import is not complete";
  // A last line without its line feed still counts, so the bar ends full.
  work.total = static_cast<int>(countLineFeeds(path) + 1);
  work.start = [&w](Progress& record) { return startListImport(w.inputs, w.run, record); };
  work.addRows = [this](std::vector<std::string> paths) { appendRows(std::move(paths)); };
  work.setStatus = [this](const std::string& status) { setStatusText(status); };
  {
    QueuedRows queued(w.inputs, progress);
    ListWorkDialog dialog(this, context_.boxes, std::move(work), progress);
    runProgressDialog(dialog);
  }
  return true;
}

bool MainFrame::exportList() {
  RunState& run = context_.workspace.run;
  if (list_->rowCount() == 0) {
    context_.boxes.showWarning(text("Msg", "Empty input files"));
    return false;
  }
  wxFileDialog chooser(this, wxString::FromUTF8(text("Dialog", "Export Input Files")),
                       wxString::FromUTF8(platform::folderPart(run.inputFile)),
                       wxString::FromUTF8(std::string(kSuggestedListName)), listFileFilter(), wxFD_SAVE);
  if (chooser.ShowModal() != wxID_OK) return false;
  std::string path = chooser.GetPath().ToStdString(wxConvUTF8);
  if (path.empty()) return false;
  if (!hasExtension(path)) path += ".txt";
  const auto size = platform::fileSize(path);
  if (size && *size > 0 &&
      !context_.boxes.askYesNo(text("Msg", "Warning"), text("Msg", "Ask overwrite file"), QuestionIcon::Warning))
    return false;

  run.inputFile = path;
  // The thread gets the rows as the list shows them, in its own copy: the
  // list control belongs to this thread.
  std::vector<std::string> rows = list_->paths();
  Progress progress;
  progress.reset();
  ListWork work;
  work.titleKey = "Export Progress";
  work.askBreakKey = "Ask break export";
  work.completeKey = "Export complete";
  work.stoppedKey = "Export is not complete";
  work.total = static_cast<int>(rows.size());
  work.start = [rows = std::move(rows), path](Progress& record) mutable {
    return startListExport(std::move(rows), path, record);
  };
  work.setStatus = [this](const std::string& status) { setStatusText(status); };
  ListWorkDialog dialog(this, context_.boxes, std::move(work), progress);
  runProgressDialog(dialog);
  return true;
}

void MainFrame::selectOutputFolder() {
  RunState& run = context_.workspace.run;
  std::string start = run.outputFolder;
  if (const std::string shown = folderSelectorText(); !shown.empty()) start = platform::folderPart(shown);
  // Without a folder to start in, the toolkit's dialog opens on its list
  // of recent files, where no folder can be chosen until the user has
  // gone somewhere else first.
  if (start.empty()) start = wxGetHomeDir().ToStdString(wxConvUTF8);
  wxDirDialog chooser(this, wxString::FromUTF8(text("Dialog", "Select Output Folder")), wxString::FromUTF8(start),
                      wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (chooser.ShowModal() == wxID_OK) {
    // Folders of the recent list end with "/" like those the first row
    // fills in, so one folder never shows twice.
    const std::string folder = platform::withTrailingSlash(chooser.GetPath().ToStdString(wxConvUTF8));
    if (platform::isFolder(folder)) {
      recordRecentFolder(context_.workspace.settings, folder);
      run.outputFolder = folder;
      rebuildFolderSelector();
    }
  }
  requestRelayout();
}

}  // namespace qm
