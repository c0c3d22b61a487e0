// The window toolkit's lifetime inside the process. Private to the window
// face: it includes the toolkit.
#pragma once

#include <memory>

#include "settings/settings.h"

class wxLog;

namespace qm {

// Owns the toolkit from its start to its clean-up. Only one exists at a
// time.
class Toolkit {
 public:
  // Nothing when no display can be opened; the toolkit is then left
  // untouched, so the caller can still end quietly.
  static std::unique_ptr<Toolkit> start();
  Toolkit(const Toolkit&) = delete;
  Toolkit& operator=(const Toolkit&) = delete;
  ~Toolkit();

  // The primary display's size, for the default window position.
  DesktopSize primaryDesktop() const;

  // Only start() makes one.
  struct Key {
    explicit Key() = default;
  };
  explicit Toolkit(Key);

 private:
  // The toolkit keeps a reference to the argument vector for its lifetime.
  int argumentCount_ = 1;
  char programName_[10] = "quillmark";
  char* arguments_[2] = {programName_, nullptr};
  bool started_ = false;
  std::unique_ptr<wxLog> log_;
};

// True when an X display can be opened (the toolkit is not touched).
bool displayReachable();

// Style class of the program's own small controls, whose natural sizes
// under the desktop theme would not fit the window's fixed places.
inline constexpr const char* kCompactStyleClass = "quillmark-compact";
// Style class of the Preferences' narrow unit boxes, whose text needs
// nearly all of their 70 pixels.
inline constexpr const char* kUnitStyleClass = "quillmark-unit";

}  // namespace qm
