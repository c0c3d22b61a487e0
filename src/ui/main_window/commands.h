// The commands of the main window. Menu items, toolbar buttons and
// keyboard shortcuts share one number space: the same number raises the
// same command wherever it comes from. The menus and the toolbar are
// tables of these numbers.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace qm {

enum class Command {
  New = 0,
  Exit = 3,
  Add = 4,
  SelectOutputFolder = 7,
  OutputFormatOptions = 8,
  Import = 9,
  Export = 10,
  Copy = 11,
  Delete = 12,
  SelectAll = 13,
  Convert = 14,
  CustomConverter = 16,
  Preferences = 17,
  Manual = 18,
  SendFeedback = 21,
  Homepage = 22,
  CheckForUpdates = 23,
  About = 24,
};

enum class Key { None, N, X, C, A, Delete, F1, F5 };
enum class Modifier { None, Ctrl, Alt };

struct Shortcut {
  Modifier modifier = Modifier::None;
  Key key = Key::None;
  bool exists() const { return key != Key::None; }
};

// One line of a menu: a command with its `Menu` catalogue key, its icon,
// the shortcut its text shows and the letter of its text that Alt (or the
// open menu) reaches it by, or a separator. The letter is the first of
// its kind in the text, in that case.
struct MenuLine {
  bool separator = false;
  Command command = Command::New;
  std::string_view icon;
  std::string_view textKey;
  Shortcut shortcut;
  char mnemonic = 0;
};

struct MenuDefinition {
  std::string_view titleKey;
  std::span<const MenuLine> lines;
  char mnemonic = 0;
};

inline constexpr MenuLine kMenuSeparator{true, Command::New, {}, {}, {}};

inline constexpr std::array<MenuLine, 9> kFileMenu = {{
    {false, Command::New, "New", "New", {Modifier::Ctrl, Key::N}, 'N'},
    kMenuSeparator,
    {false, Command::Add, "Add", "Select Input Files", {}, 'A'},
    {false, Command::SelectOutputFolder, "OutFolder", "Select Output Folder", {}, 'O'},
    kMenuSeparator,
    {false, Command::Import, "ImportFiles", "Import Input Files", {}, 'I'},
    {false, Command::Export, "ExportFiles", "Export Input Files", {}, 'E'},
    kMenuSeparator,
    {false, Command::Exit, "Exit", "Exit", {Modifier::Alt, Key::X}, 'x'},
}};

inline constexpr std::array<MenuLine, 4> kEditMenu = {{
    {false, Command::Copy, "Copy", "Copy", {Modifier::Ctrl, Key::C}, 'C'},
    {false, Command::Delete, "Delete", "Delete", {Modifier::Ctrl, Key::Delete}, 'D'},
    kMenuSeparator,
    {false, Command::SelectAll, "SelectAll", "Select All", {Modifier::Ctrl, Key::A}, 'A'},
}};

inline constexpr std::array<MenuLine, 5> kConverterMenu = {{
    {false, Command::Convert, "Convert", "Convert", {Modifier::None, Key::F5}, 'C'},
    kMenuSeparator,
    {false, Command::CustomConverter, "CustomConverter", "Custom Converter", {}, 'F'},
    kMenuSeparator,
    {false, Command::Preferences, "Preferences", "Preferences", {}, 'P'},
}};

inline constexpr std::array<MenuLine, 7> kHelpMenu = {{
    {false, Command::Manual, "Help", "Manual", {Modifier::None, Key::F1}, 'U'},
    kMenuSeparator,
    {false, Command::SendFeedback, "Email", "Send Feedback", {}, 'F'},
    {false, Command::Homepage, "Web", "Visit Homepage", {}, 'V'},
    {false, Command::CheckForUpdates, "Updates", "Check For New Version", {}, 'N'},
    kMenuSeparator,
    {false, Command::About, "About", "About", {}, 'A'},
}};

inline constexpr std::array<MenuDefinition, 4> kMenuBar = {{
    {"File", kFileMenu, 'F'},
    {"Edit", kEditMenu, 'E'},
    {"Converter", kConverterMenu, 'C'},
    {"Help", kHelpMenu, 'H'},
}};

// The Input list's popup menu repeats the Edit menu.
inline constexpr std::span<const MenuLine> kListPopupMenu = kEditMenu;

// The toolbar: a command with its icon, or a separator. Its tooltip is the
// text of the menu item of the same command.
struct ToolLine {
  bool separator = false;
  Command command = Command::New;
  std::string_view icon;
};

inline constexpr std::array<ToolLine, 12> kToolbar = {{
    {false, Command::New, "New"},
    {false, Command::Add, "Add"},
    {false, Command::SelectOutputFolder, "OutFolder"},
    {true, Command::New, {}},
    {false, Command::Preferences, "Preferences"},
    {true, Command::New, {}},
    {false, Command::Convert, "Convert"},
    {true, Command::New, {}},
    {false, Command::Manual, "Help"},
    {false, Command::SendFeedback, "Email"},
    {false, Command::Homepage, "Web"},
    {false, Command::CheckForUpdates, "Updates"},
}};

// Registered when the window is built.
inline constexpr std::array<std::pair<Shortcut, Command>, 4> kWindowShortcuts = {{
    {{Modifier::Ctrl, Key::N}, Command::New},
    {{Modifier::Alt, Key::X}, Command::Exit},
    {{Modifier::None, Key::F5}, Command::Convert},
    {{Modifier::None, Key::F1}, Command::Manual},
}};

// Registered once the Input list has seen its first event: until then the
// keys that act on the list do nothing.
inline constexpr std::array<std::pair<Shortcut, Command>, 3> kListShortcuts = {{
    {{Modifier::Ctrl, Key::C}, Command::Copy},
    {{Modifier::Ctrl, Key::Delete}, Command::Delete},
    {{Modifier::Ctrl, Key::A}, Command::SelectAll},
}};

// The `Menu` text key of the menu item that runs a command (the toolbar's
// tooltips); empty for a command no menu offers.
std::string_view menuTextKey(Command command);

// A menu text as the toolkit takes it: its own "&" doubled, and "&" before
// the first `mnemonic` letter, when the text has one.
std::string withMnemonic(std::string_view text, char mnemonic);

// A shortcut as a menu shows it: "Ctrl+N", "Ctrl+Del", "F5".
std::string shortcutText(Shortcut shortcut);

}  // namespace qm
