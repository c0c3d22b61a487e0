// The message-box forms over the toolkit's message dialog. Each box is
// owned by the program's active window when there is one (it then stays
// above it and blocks it), and by nothing otherwise.
#pragma once

#include <string>
#include <vector>

#include "app/message_boxes.h"

namespace qm {

class WindowMessageBoxes final : public MessageBoxes {
 public:
  enum class Kind { Warning, Error, Information, Question };

  void showWarning(const std::string& text) override;
  void showError(const std::string& text) override;
  void showInformation(const std::string& title, const std::string& text) override;
  bool askYesNo(const std::string& title, const std::string& text, QuestionIcon icon) override;

  // "title|text" of every box shown so far, for the window tests.
  const std::vector<std::string>& shown() const { return shown_; }
  // For each of them, how its icon came out: "<icon name> <shown 0/1>
  // <width> <height> <in the icon theme 0/1>".
  const std::vector<std::string>& icons() const { return icons_; }

 private:
  // True when the user chose Yes.
  bool show(const std::string& title, const std::string& text, Kind kind, bool yesNo);

  std::vector<std::string> shown_;
  std::vector<std::string> icons_;
};

}  // namespace qm
