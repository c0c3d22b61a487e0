// The window's state as "key=value" lines: what the window tests read back
// through the test hooks. Only a program built for the tests has it.
#pragma once

#include <initializer_list>
#include <string>

class wxWindow;

namespace qm {

class MainFrame;
class PreferencesDialog;
class ProgressDialog;

// Numbers joined by blanks.
std::string numbers(std::initializer_list<long> values);
// Where the toolkit has really put a widget: its place in its top-level
// window's inner coordinates, its real size and its smallest size, or
// "none".
std::string allocation(const wxWindow* window);

// The main window, with the dialog open over it, if any.
std::string describeMainWindow(const MainFrame& frame);
// Every control's place, value and state.
std::string describePreferences(const PreferencesDialog& dialog);
std::string describeProgressDialog(const ProgressDialog& dialog);

}  // namespace qm
