// The Convert command: the checks before a run, the run behind its
// progress dialog, and the marks on the rows of files it could not convert.

#include <algorithm>
#include <mutex>
#include <utility>

#include <wx/bmpcbox.h>
#include <wx/image.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>

#include "app/messages.h"
#include "engine/batch/worker.h"
#include "formats/output_formats.h"
#include "ui/dialogs/progress_dialogs.h"
#include "ui/main_window/input_list_control.h"
#include "ui/main_window/main_frame.h"
#include "ui/main_window/recent_folders.h"
#include "ui/toolkit/bitmaps.h"

namespace qm {

namespace {

std::string text(std::string_view group, std::string_view key) { return messages().lookUpText(group, key); }

// The warning a refused start shows. Every refusal, the watermark checks
// included, leaves "Conversion stopped" in the status bar: "Preparing..."
// would stand there while nothing is being prepared.
struct Refusal {
  RunCheck check;
  std::string_view messageKey;
};

constexpr Refusal kRefusals[] = {
    {RunCheck::EmptyInputList, "Empty input files"},
    {RunCheck::EmptyOutputFolder, "Empty output folder"},
    {RunCheck::InvalidOutputFolder, "Invalid output folder"},
    {RunCheck::InvalidWidth, "Invalid width"},
    {RunCheck::InvalidHeight, "Invalid height"},
    {RunCheck::InvalidWatermarkFont, "Invalid watermark font"},
    {RunCheck::EmptyWatermarkImage, "Empty watermark image"},
    {RunCheck::InvalidWatermarkImage, "Invalid watermark image"},
};

// The reason the command line gives for a file it did not convert.
std::string failureReason(const JobResult& result) {
  return result.failure.empty() ? std::string("not converted") : result.failure;
}

}  // namespace

void MainFrame::runProgressDialog(ProgressDialog& dialog) {
  openDialog_ = &dialog;
  dialog.run();
  openDialog_ = nullptr;
  SetFocus();
}

void MainFrame::convert() {
  Workspace& w = context_.workspace;
  w.run.outputFolder = folderSelectorText();
  const int format = formatSelector_->GetSelection();
  if (format >= 0 && format < static_cast<int>(kOutputExtensions.size()))
    w.run.outputExtension = std::string(kOutputExtensions[format]);
  setStatusText(text("General", "Preparing"));

  RunStart start = prepareRun(RunFace::Window, w);
  if (start.check != RunCheck::Passed) {
    for (const Refusal& refusal : kRefusals) {
      if (refusal.check != start.check) continue;
      setStatusText(text("Msg", "Conversion is not complete"));
      std::string detail;
      if (refusal.check == RunCheck::InvalidOutputFolder) detail = w.run.outputFolder;
      if (refusal.check == RunCheck::InvalidWatermarkFont) detail = w.settings.font;
      if (refusal.check == RunCheck::InvalidWatermarkImage) detail = w.settings.image;
      context_.boxes.showWarning(fillPlaceholders(text("Msg", refusal.messageKey), detail));
    }
    return;
  }

  recordRecentFolder(w.settings, w.run.outputFolder);
  rebuildFolderSelector();
  setStatusText(text("General", "Converting"));
  clearFailures();

  // Written by the worker's thread, read here only after it has ended.
  std::vector<std::pair<std::string, std::string>> failures;
  Progress progress;
  progress.reset();
  const RunPlan& plan = start.plan;
  ConversionWork work;
  work.total = static_cast<int>(w.inputs.entryCount());
  work.start = [&](Progress& record) {
    WorkerContext worker{w.settings,
                         w.run,
                         w.inputs,
                         record,
                         plan.format,
                         {},
                         [&failures](const InputEntry& entry, const JobResult& result) {
                           if (!result.written) failures.emplace_back(entry.path, failureReason(result));
                         },
                         WorkerLimits{}};
    worker.limits.jobs = w.run.jobs;
    return startConversionWorker(std::move(worker));
  };
  work.setStatus = [this](const std::string& status) { setStatusText(status); };
  {
    ConversionDialog dialog(this, context_.boxes, std::move(work), progress);
    runProgressDialog(dialog);
  }
  markFailures(failures);
}

void MainFrame::clearFailures() {
  failures_.clear();
  list_->Refresh();
}

void MainFrame::markFailures(const std::vector<std::pair<std::string, std::string>>& failures) {
  if (failures.empty()) return;
  if (!rowIcons_) {
    rowIcons_ = std::make_unique<wxImageList>(16, 16, true, 2);
    rowIcons_->Add(setBitmap(context_.images.menu, "Error"));
    wxImage blank(16, 16);
    blank.InitAlpha();
    std::fill_n(blank.GetAlpha(), 16 * 16, static_cast<unsigned char>(0));
    rowIcons_->Add(wxBitmap(blank));
    list_->SetImageList(rowIcons_.get(), wxIMAGE_LIST_SMALL);
    list_->setMarked([this](const std::string& path) { return failures_.contains(path); });
  }
  for (const auto& [path, reason] : failures) failures_[path] = reason;
  list_->Refresh();
}

void MainFrame::onListSelected(wxListEvent& event) {
  event.Skip();
  if (event.GetIndex() < 0 || event.GetIndex() >= list_->rowCount()) return;
  const auto found = failures_.find(list_->path(event.GetIndex()));
  if (found != failures_.end()) setStatusText("Not converted: " + found->second);
}

}  // namespace qm
