// The progress dialogs of the window: a small one with a bar for the work
// that fills or saves the Input list (folder import, list import, export)
// and the conversion's, with a label for the file being converted and an
// OK button for the end.
//
// Each runs modally over the main window (which is disabled meanwhile),
// starts its worker thread, polls its progress record every 15 ms and
// adds the rows the worker queued. A close request while the worker runs
// holds the worker at the top of its loop, asks whether to stop, and
// releases it whatever the answer.
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

// What the main window runs and keeps while one is open.
class ProgressDialog : public wxDialog {
 public:
  using wxDialog::wxDialog;
  // Shows the dialog modally and returns once it has closed.
  virtual void run() = 0;
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
  std::function<std::jthread(Progress&)> start;
  std::function<void(std::vector<std::string> paths)> addRows;  // may be empty
  std::function<void(const std::string& text)> setStatus;
};

class ListWorkDialog final : public ProgressDialog {
 public:
  ListWorkDialog(wxWindow* owner, MessageBoxes& boxes, ListWork work, Progress& progress);
  ~ListWorkDialog() override;

  // Runs the work to its end (and the final state on screen for a moment
  // after); the progress record then holds the saved count.
  void run() override;
  bool broken() const { return broken_; }

 private:
  friend std::string describeProgressDialog(const ProgressDialog& dialog);
  void poll();
  void onClose(wxCloseEvent& event);

  MessageBoxes& boxes_;
  ListWork work_;
  Progress& progress_;
  wxGauge* bar_ = nullptr;
  wxTimer pollTimer_;
  wxTimer lingerTimer_;
  std::jthread worker_;
  bool asking_ = false;
  bool broken_ = false;
  bool ended_ = false;
};

struct ConversionWork {
  int total = 0;  // entries in the Input list
  std::function<std::jthread(Progress&)> start;
  std::function<void(const std::string& text)> setStatus;
};

class ConversionDialog final : public ProgressDialog {
 public:
  ConversionDialog(wxWindow* owner, MessageBoxes& boxes, ConversionWork work, Progress& progress);
  ~ConversionDialog() override;

  // Runs the conversion and returns once the user has closed the dialog.
  void run() override;
  bool broken() const { return broken_; }

 private:
  friend std::string describeProgressDialog(const ProgressDialog& dialog);
  void poll();
  void onClose(wxCloseEvent& event);
  void showEntry(int index, const std::string& path);

  MessageBoxes& boxes_;
  ConversionWork work_;
  Progress& progress_;
  wxStaticText* label_ = nullptr;
  wxGauge* bar_ = nullptr;
  wxButton* ok_ = nullptr;
  wxTimer pollTimer_;
  std::jthread worker_;
  int characterWidth_ = 7;
  int lastShown_ = 0;
  std::chrono::steady_clock::time_point lastShownAt_;
  bool asking_ = false;
  bool broken_ = false;
  bool ended_ = false;
};

}  // namespace qm
