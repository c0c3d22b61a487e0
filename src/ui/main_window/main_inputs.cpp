// How files reach the Input list from the main window (drops, the folder
// import, the row for each admitted file) and the two selectors below it.

#include <chrono>
#include <thread>

#include <wx/bmpcbox.h>
#include <wx/dnd.h>
#include <wx/listctrl.h>

#include "app/messages.h"
#include "engine/batch/folder_scan.h"
#include "engine/batch/worker_thread.h"
#include "formats/output_formats.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "ui/main_window/input_list_control.h"
#include "ui/main_window/main_frame.h"
#include "ui/main_window/recent_folders.h"
#include "ui/toolkit/bitmaps.h"

namespace qm {

void MainFrame::appendRow(const std::string& path) { appendRows({path}); }

void MainFrame::appendRows(std::vector<std::string> paths) {
  if (paths.empty()) return;
  const std::string first = paths.front();
  list_->appendRows(std::move(paths));
  if (!folderSelectorText().empty()) return;
  RunState& run = context_.workspace.run;
  const std::string folder = run.inputRoot.empty() ? platform::folderPart(first) : run.inputRoot;
  recordRecentFolder(context_.workspace.settings, folder);
  run.outputFolder = folder;
  rebuildFolderSelector();
}

void MainFrame::admitAndShow(const std::string& path) {
  const Workspace& w = context_.workspace;
  if (w.inputs.admitFile(path, w.run.inputRoot, w.run.readableExtensions) == 1) appendRow(path);
}

void MainFrame::handleDrop(const std::vector<std::string>& paths) {
  RunState& run = context_.workspace.run;
  // One count for the whole drop: each folder's completion text reports
  // what all folders of the drop have added so far.
  int saved = 0;
  for (const std::string& dropped : paths) {
    std::string path = dropped;
    if (platform::isFolder(path)) {
      path = platform::withTrailingSlash(path);
      run.inputRoot = path;
      saved = importFolder(saved);
    }
    // A folder is refused here; a file joins the list after the folders
    // dropped before it.
    admitAndShow(path);
  }
}

std::string MainFrame::folderSelectorText() const {
  return std::string(trim(folderSelector_->GetValue().ToStdString(wxConvUTF8), " "));
}

void MainFrame::rebuildFolderSelector() {
  const Settings& settings = context_.workspace.settings;
  if (settings.recentOutFolders.empty()) return;
  folderSelector_->Clear();
  const wxBitmap icon = setBitmap(context_.images.menu, "FavFolder");
  int selected = 0;
  for (int i = 0; i < settings.outFoldersNumber; ++i) {
    const std::string folder = recentFolder(settings, i);
    if (folder.empty()) continue;
    folderSelector_->Append(wxString::FromUTF8(folder), icon);
    if (folder == context_.workspace.run.outputFolder) selected = static_cast<int>(folderSelector_->GetCount()) - 1;
  }
  if (folderSelector_->GetCount() > 0) folderSelector_->SetSelection(selected);
}

void MainFrame::fillFormatSelector() {
  formatSelector_->Clear();
  const wxBitmap icon = setBitmap(context_.images.menu, "New");
  int selected = 0;
  for (std::size_t i = 0; i < kOutputFormats.size(); ++i) {
    const OutputFormat& format = kOutputFormats[i];
    const std::string label = asciiUpper(format.extension) + " (" + std::string(format.description) + ")";
    formatSelector_->Append(wxString::FromUTF8(label), icon);
    if (format.extension == context_.workspace.settings.outputFormat) selected = static_cast<int>(i);
  }
  formatSelector_->SetSelection(selected);
}

void MainFrame::showSampleContent(const std::vector<std::string>& rows, const std::string& outputFolder) {
  for (const std::string& row : rows) list_->appendRow(row);
  recordRecentFolder(context_.workspace.settings, outputFolder);
  context_.workspace.run.outputFolder = outputFolder;
  rebuildFolderSelector();
}

namespace {

class FileDrop final : public wxFileDropTarget {
 public:
  explicit FileDrop(MainFrame& frame) : frame_(frame) {}
  bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
    if (names.empty()) return false;
    std::vector<std::string> paths;
    for (const wxString& name : names) paths.push_back(name.ToStdString(wxConvUTF8));
    // After the toolkit has finished the drop protocol.
    frame_.CallAfter([&frame = frame_, paths] { frame.handleDrop(paths); });
    return true;
  }

 private:
  MainFrame& frame_;
};

}  // namespace

void acceptFileDrops(MainFrame& frame) { frame.SetDropTarget(new FileDrop(frame)); }  // the window owns it

}  // namespace qm
