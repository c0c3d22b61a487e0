// The message-box forms. The window face implements them with the window
// toolkit; the core only knows this interface.
#pragma once

#include <string>

namespace qm {

enum class QuestionIcon { Question, Warning };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Title `Msg`/`Warning`, warning icon, OK.
  virtual void showWarning(const std::string& text) = 0;
  // Title `Msg`/`Error`, error icon, OK.
  virtual void showError(const std::string& text) = 0;
  virtual void showInformation(const std::string& title, const std::string& text) = 0;
  // True when the user chose Yes.
  virtual bool askYesNo(const std::string& title, const std::string& text, QuestionIcon icon) = 0;
};

}  // namespace qm
