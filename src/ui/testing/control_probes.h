// The named controls a window registers for the window tests, each with
// how to read its value. Only a program built for the tests keeps them;
// in any other, registering a control costs nothing and keeps nothing.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

class wxWindow;

namespace qm {

#if QM_WINDOW_TEST_HOOKS

class ControlProbes {
 public:
  struct Probe {
    std::string name;
    wxWindow* control = nullptr;
    std::function<std::string()> value;
  };

  template <typename Value>
  void add(std::string name, wxWindow* control, Value value) {
    probes_.push_back({std::move(name), control, std::move(value)});
  }
  // Before a registered control is destroyed.
  void remove(const wxWindow* control) {
    std::erase_if(probes_, [control](const Probe& p) { return p.control == control; });
  }
  const std::vector<Probe>& all() const { return probes_; }

 private:
  std::vector<Probe> probes_;
};

#else

class ControlProbes {
 public:
  template <typename Value>
  void add(const std::string&, wxWindow*, const Value&) {}
  void remove(const wxWindow*) {}
};

#endif

}  // namespace qm
