#include "ui/dialogs/progress_dialogs.h"

#include <algorithm>
#include <utility>

#include <gtk/gtk.h>
#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/panel.h>
#include <wx/stattext.h>

#include "app/messages.h"
#include "ui/toolkit/shorten_middle.h"
#include "ui/toolkit/toolkit_text.h"

namespace qm {

namespace {

constexpr int kPollMilliseconds = 15;
// How often the conversion dialog shows the file being converted. Every
// new title makes the window manager and the X server redraw, and on a
// batch of small documents a redraw per poll took a good part of the
// processors the conversion needs; ten paths a second still read as
// progress.
constexpr std::chrono::milliseconds kShowInterval{100};
// How long a break question waits for the worker to come to rest.
constexpr std::chrono::milliseconds kRestWait{1000};
constexpr int kLingerMilliseconds = 700;
constexpr int kLabelWidth = 280;

std::string text(std::string_view group, std::string_view key) { return messages().lookUpText(group, key); }

// The caption and close box of the progress dialogs; no sizing border.
constexpr long kDialogStyle = wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU;

void moveBar(wxGauge* bar, int value) { bar->SetValue(std::clamp(value, 0, bar->GetRange())); }

// Escape asks for a break as the close box does; the toolkit would
// otherwise look for a Cancel button, which these dialogs do not have.
// While nothing in the dialog can take the focus (the OK button is off
// until the end) no key event reaches the dialog's handlers; the window's
// own shortcut table still sees the key.
gboolean escapeToClose(GtkAccelGroup*, GObject*, guint, GdkModifierType, gpointer dialog) {
  static_cast<wxDialog*>(dialog)->Close();
  return TRUE;
}

void closeOnEscape(wxDialog* dialog) {
  dialog->Bind(wxEVT_CHAR_HOOK, [dialog](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE && event.GetModifiers() == wxMOD_NONE)
      dialog->Close();
    else
      event.Skip();
  });
  GtkWidget* window = dialog->GetHandle();
  if (!window || !GTK_IS_WINDOW(window)) return;
  GtkAccelGroup* shortcuts = gtk_accel_group_new();
  gtk_accel_group_connect(shortcuts, GDK_KEY_Escape, static_cast<GdkModifierType>(0), static_cast<GtkAccelFlags>(0),
                          g_cclosure_new(G_CALLBACK(escapeToClose), dialog, nullptr));
  gtk_window_add_accel_group(GTK_WINDOW(window), shortcuts);
  g_object_unref(shortcuts);  // the window keeps it
}

constexpr int kDialogWidth = 300;
// The close box and the margins of a title bar.
constexpr int kTitleDecoration = 90;

std::string progressTitle(std::string_view start, int index, int total) {
  return std::string(start) + " " +
         fillPlaceholders(text("Msg", "Progress"), std::to_string(index), std::to_string(total));
}

// The widest title a conversion of `total` files can show: while it runs,
// complete or stopped, each with the largest count.
int widestTitle(const wxWindow& window, int total) {
  int widest = 0;
  for (const std::string& start : {text("Dialog", "Convert Progress"), text("Msg", "Conversion complete"),
                                   text("Msg", "Conversion is not complete")})
    widest = std::max(widest, titleWidth(window, progressTitle(start, total, total)));
  return widest;
}

bool askYesNo(MessageBoxes& boxes, std::string_view key) {
  return boxes.askYesNo(text("Msg", "Warning"), text("Msg", key), QuestionIcon::Warning);
}

}  // namespace

int titleWidth(const wxWindow& window, const std::string& title) {
  int width = 0;
  const wxFont bold = window.GetFont().Bold();
  window.GetTextExtent(wxText(title), &width, nullptr, nullptr, nullptr, &bold);
  return width;
}

ProgressDialog::ProgressDialog(wxWindow* owner, const std::string& title, MessageBoxes& boxes, Progress& progress,
                               StartWorker start)
    : wxDialog(owner, wxID_ANY, wxText(title), wxDefaultPosition, wxDefaultSize, kDialogStyle),
      boxes_(boxes),
      progress_(progress),
      start_(std::move(start)) {
  pollTimer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { poll(); });
  Bind(wxEVT_CLOSE_WINDOW, &ProgressDialog::onClose, this);
  closeOnEscape(this);
}

ProgressDialog::~ProgressDialog() { pollTimer_.Stop(); }

void ProgressDialog::run() {
  worker_ = start_(progress_);
  pollTimer_.Start(kPollMilliseconds);
  ShowModal();
}

void ProgressDialog::poll() {
  if (asking_ || ended_) return;
  const ProgressSnapshot snapshot = progress_.snapshot();
  if (!snapshot.finished) {
    showProgress(snapshot);
    return;
  }
  pollTimer_.Stop();
  worker_ = {};
  ended_ = true;
  showEnd(snapshot);
}

void ProgressDialog::onClose(wxCloseEvent& event) {
  if (event.CanVeto()) event.Veto();
  if (asking_) return;
  if (ended_) {
    closeAfterEnd();
    return;
  }
  if (progress_.finished()) return;
  asking_ = true;
  progress_.hold();
  const bool stop = askBreak();
  // The stop must be in place before the worker is let go, or it could
  // start one more entry.
  if (stop) progress_.requestStop();
  progress_.release();
  asking_ = false;
  // A No after an earlier Yes does not take the stop back.
  if (stop) broken_ = true;
}

ListWorkDialog::ListWorkDialog(wxWindow* owner, MessageBoxes& boxes, ListWork work, Progress& progress)
    : ProgressDialog(owner, text("Dialog", work.titleKey), boxes, progress, std::move(work.start)),
      work_(std::move(work)) {
  SetClientSize(300, 40);
  // A dialog stretches a single child over all of itself; the panel is
  // that child, and the bar keeps its place on it.
  auto* panel = new wxPanel(this, wxID_ANY, wxPoint(0, 0), wxSize(300, 40));
  bar_ = new wxGauge(panel, wxID_ANY, 1, wxPoint(10, 10), wxSize(280, 20), wxGA_HORIZONTAL | wxGA_SMOOTH);
  bar_->SetRange(work_.total);
  lingerTimer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { EndModal(wxID_OK); });
  CentreOnParent();
}

ListWorkDialog::~ListWorkDialog() { lingerTimer_.Stop(); }

void ListWorkDialog::showProgress(const ProgressSnapshot& snapshot) {
  if (work_.addRows) work_.addRows(progress().takeRows());
  if (snapshot.index > bar_->GetValue()) moveBar(bar_, snapshot.index);
}

void ListWorkDialog::showEnd(const ProgressSnapshot&) {
  if (work_.addRows) work_.addRows(progress().takeRows());
  if (broken()) {
    work_.setStatus(text("Msg", work_.stoppedKey));
  } else {
    work_.setStatus(fillPlaceholders(text("Msg", work_.completeKey), std::to_string(progress().savedCount())));
    moveBar(bar_, work_.total);
  }
  // The final state stays on screen for a moment.
  lingerTimer_.StartOnce(kLingerMilliseconds);
}

bool ListWorkDialog::askBreak() { return askYesNo(boxes(), work_.askBreakKey); }

ConversionDialog::ConversionDialog(wxWindow* owner, MessageBoxes& boxes, ConversionWork work, Progress& progress)
    : ProgressDialog(owner, text("Dialog", "Convert Progress"), boxes, progress, std::move(work.start)),
      work_(std::move(work)) {
  // The window manager cuts a title wider than the dialog, and the end
  // titles are the result the user reads: the dialog is as wide as the
  // longest title it can show, with its controls in the middle.
  const int dialogWidth = std::max(kDialogWidth, widestTitle(*this, work_.total) + kTitleDecoration);
  const int left = (dialogWidth - kDialogWidth) / 2;
  SetClientSize(dialogWidth, 110);
  label_ = new wxStaticText(this, wxID_ANY, wxEmptyString, wxPoint(left + 10, 13), wxSize(kLabelWidth, 20),
                            wxST_NO_AUTORESIZE);
  bar_ = new wxGauge(this, wxID_ANY, work_.total + 1, wxPoint(left + 10, 40), wxSize(280, 20),
                     wxGA_HORIZONTAL | wxGA_SMOOTH);
  ok_ = new wxButton(this, wxID_OK, wxText(text("Dialog", "OK")), wxPoint(left + 110, 75), wxSize(80, 25));
  ok_->SetDefault();
  ok_->Disable();
  ok_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    if (ended()) EndModal(wxID_OK);
  });
  CentreOnParent();

  // How wide a character of the dialog's font is, on average over a
  // sample of what paths are made of.
  const int width = GetTextExtent("abc123:/-").x;
  if (width / 9 > 0) characterWidth_ = width / 9;
}

void ConversionDialog::showEntry(int index, const std::string& path) {
  lastShown_ = index;
  SetTitle(wxText(progressTitle(text("Dialog", "Convert Progress"), index, work_.total)));
  const int length = static_cast<int>(wxText(path).length());
  if (length * characterWidth_ <= kLabelWidth) {
    label_->SetLabel(wxText(path));
  } else {
    // The average width is a guess; a path of wide letters is shortened
    // further until it really fits, rather than wrap out of sight.
    int maximum = kLabelWidth / characterWidth_;
    wxString shown = wxText(shortenMiddle(path, maximum));
    while (maximum > 5 && label_->GetTextExtent(shown).x > kLabelWidth) shown = wxText(shortenMiddle(path, --maximum));
    label_->SetLabel(shown);
  }
  moveBar(bar_, index);
}

void ConversionDialog::showProgress(const ProgressSnapshot& snapshot) {
  const auto now = std::chrono::steady_clock::now();
  if (snapshot.index > lastShown_ && (lastShown_ == 0 || now - lastShownAt_ >= kShowInterval)) {
    showEntry(snapshot.index, snapshot.currentPath);
    lastShownAt_ = now;
  }
}

void ConversionDialog::showEnd(const ProgressSnapshot& snapshot) {
  // A run faster than the poll ends between two looks; the count shown at
  // the end is the worker's own.
  lastShown_ = std::max(lastShown_, snapshot.index);
  std::string counts = " ";
  counts += fillPlaceholders(text("Msg", "Progress"), std::to_string(lastShown_), std::to_string(work_.total));
  if (broken()) {
    const std::string stopped = text("Msg", "Conversion is not complete");
    work_.setStatus(stopped);
    label_->SetLabel(wxText(stopped));
    SetTitle(wxText(stopped + counts));
  } else {
    const std::string complete = text("Msg", "Conversion complete");
    work_.setStatus(complete);
    SetTitle(wxText(complete + counts));
    label_->SetLabel(wxText(fillPlaceholders(text("Msg", "Files converted"), std::to_string(snapshot.savedCount),
                                             std::to_string(work_.total))));
    moveBar(bar_, work_.total + 1);
  }
  ok_->Enable();
  ok_->SetFocus();
}

bool ConversionDialog::askBreak() {
  // The worker comes to rest before its next file within a few poll
  // intervals; the question names the file it rests at, which is the
  // last one a Yes lets finish.
  progress().waitForRest(kRestWait);
  const ProgressSnapshot atRest = progress().snapshot();
  if (atRest.index > lastShown_) showEntry(atRest.index, atRest.currentPath);
  return askYesNo(boxes(), "Ask break conversion");
}

void ConversionDialog::closeAfterEnd() { EndModal(wxID_OK); }

}  // namespace qm
