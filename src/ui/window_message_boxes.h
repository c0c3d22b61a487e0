// The message-box forms over the toolkit's message dialog. Each box is
// owned by the program's active window when there is one (it then stays
// above it and blocks it), and by nothing otherwise.
#pragma once

#include "app/message_boxes.h"

namespace qm {

class WindowMessageBoxes final : public MessageBoxes {
 public:
  void showWarning(const std::string& text) override;
  void showError(const std::string& text) override;
  void showInformation(const std::string& title, const std::string& text) override;
  bool askYesNo(const std::string& title, const std::string& text, QuestionIcon icon) override;
};

}  // namespace qm
