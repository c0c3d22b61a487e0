// The progress dialogs of the window: a small one with a bar for the work
// that fills or saves the Input list (folder import, list import, export)
// and the conversion's, with a label for the file being converted and an
// OK button for the end.
//
// Each runs modally over the main window (which is disabled meanwhile),
// starts its worker thread and polls its progress record every 15 ms.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "app/message_boxes.h"
#include "engine/batch/progress.h"

class wxButton;
class wxGauge;
class wxStaticText;

namespace qm {

// A modal dialog over a worker thread: it starts the worker, polls its
// progress record, and owns the break protocol. A close request while the
// worker runs holds the worker, asks whether to stop, and releases it
// whatever the answer; a Yes is final, and the dialog says so at the end.
class ProgressDialog : public wxDialog {
 public:
  using StartWorker = std::function<std::jthread(Progress&)>;
  ProgressDialog(wxWindow* owner, const std::string& title, MessageBoxes& boxes, Progress& progress, StartWorker start);
  ~ProgressDialog() override;

  // Shows the dialog modally and returns once it has closed.
  void run();
  bool broken() const { return broken_; }

 protected:
  // After each poll while the worker runs.
  virtual void showProgress(const ProgressSnapshot& snapshot) = 0;
  // Once, after the worker's thread has ended.
  virtual void showEnd(const ProgressSnapshot& snapshot) = 0;
  // Asked while the worker is held; true stops it.
  virtual bool askBreak() = 0;
  // A close request after the end.
  virtual void closeAfterEnd() {}

  bool ended() const { return ended_; }
  MessageBoxes& boxes() { return boxes_; }
  Progress& progress() { return progress_; }

 private:
  void poll();
  void onClose(wxCloseEvent& event);

  MessageBoxes& boxes_;
  Progress& progress_;
  StartWorker start_;
  wxTimer pollTimer_;
  std::jthread worker_;
  bool asking_ = false;
  bool broken_ = false;
  bool ended_ = false;
};

// How wide the window manager draws a title over `window`: bold, in about
// the window's own size.
int titleWidth(const wxWindow& window, const std::string& title);

// What one of the list dialogs does: its catalogue texts, the bar's
// maximum, how its worker starts, where queued rows and the final status
// text go.
struct ListWork {
  std::string_view titleKey;     // group Dialog
  std::string_view askBreakKey;  // group Msg
  std::string_view completeKey;  // group Msg, with %s1% = saved count
  std::string_view stoppedKey;   // group Msg
  int total = 0;
  ProgressDialog::StartWorker start;
  std::function<void(std::vector<std::string> paths)> addRows;  // may be empty
  std::function<void(const std::string& text)> setStatus;
};

class ListWorkDialog final : public ProgressDialog {
 public:
  // Runs the work to its end (and the final state on screen for a moment
  // after); the progress record then holds the saved count.
  ListWorkDialog(wxWindow* owner, MessageBoxes& boxes, ListWork work, Progress& progress);
  ~ListWorkDialog() override;

 private:
  friend std::string describeProgressDialog(const ProgressDialog& dialog);
  void showProgress(const ProgressSnapshot& snapshot) override;
  void showEnd(const ProgressSnapshot& snapshot) override;
  bool askBreak() override;

  ListWork work_;
  wxGauge* bar_ = nullptr;
  wxTimer lingerTimer_;
};

struct ConversionWork {
  int total = 0;  // entries in the Input list
  ProgressDialog::StartWorker start;
  std::function<void(const std::string& text)> setStatus;
};

// Runs the conversion and returns once the user has closed the dialog.
class ConversionDialog final : public ProgressDialog {
 public:
  ConversionDialog(wxWindow* owner, MessageBoxes& boxes, ConversionWork work, Progress& progress);

 private:
  friend std::string describeProgressDialog(const ProgressDialog& dialog);
  void showProgress(const ProgressSnapshot& snapshot) override;
  void showEnd(const ProgressSnapshot& snapshot) override;
  bool askBreak() override;
  void closeAfterEnd() override;
  void showEntry(int index, const std::string& path);

  ConversionWork work_;
  wxStaticText* label_ = nullptr;
  wxGauge* bar_ = nullptr;
  wxButton* ok_ = nullptr;
  int characterWidth_ = 7;
  int lastShown_ = 0;
  std::chrono::steady_clock::time_point lastShownAt_;
};

}  // namespace qm
