// The menu bar, the Input list's popup menu, the toolbar and the keyboard
// shortcuts, all built from the command tables.

#include <gtk/gtk.h>
#include <wx/accel.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include "app/messages.h"
#include "ui/main_window/main_frame.h"
#include "ui/toolkit/bitmaps.h"
#include "ui/toolkit/toolkit_text.h"

namespace qm {

namespace {

std::string menuTextUtf8(std::string_view key) { return messages().lookUpText("Menu", key); }

int toolkitModifier(Modifier modifier) {
  switch (modifier) {
    case Modifier::Ctrl: return wxACCEL_CTRL;
    case Modifier::Alt: return wxACCEL_ALT;
    case Modifier::None: break;
  }
  return wxACCEL_NORMAL;
}

int toolkitKey(Key key) {
  switch (key) {
    case Key::N: return 'N';
    case Key::X: return 'X';
    case Key::C: return 'C';
    case Key::A: return 'A';
    case Key::Delete: return WXK_DELETE;
    case Key::F1: return WXK_F1;
    case Key::F5: return WXK_F5;
    case Key::None: break;
  }
  return 0;
}

std::string_view keyName(Key key) {
  switch (key) {
    case Key::N: return "N";
    case Key::X: return "X";
    case Key::C: return "C";
    case Key::A: return "A";
    case Key::Delete: return "Del";
    case Key::F1: return "F1";
    case Key::F5: return "F5";
    case Key::None: break;
  }
  return {};
}

// Room between a menu text and its shortcut, as the toolkit leaves it.
constexpr int kShortcutGap = 24;

// The shortcut text is only shown beside the item: the keys themselves
// belong to the window's shortcut table, where they come and go by their
// own rules (the list's keys are dead until the list has seen an event).
// The toolkit's own shortcut label would name the keys its way
// ("Ctrl+Delete"), so the text is a label of its own, right-aligned and
// dimmed as the toolkit dims shortcuts.
void showShortcutText(wxMenuItem* item, Shortcut shortcut) {
  GtkWidget* widget = item->GetMenuItem();
  if (!widget || !shortcut.exists()) return;
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(widget));
  if (!label) return;
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  g_object_ref(label);
  gtk_container_remove(GTK_CONTAINER(widget), label);
  gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
  g_object_unref(label);
  GtkWidget* keys = gtk_label_new(shortcutText(shortcut).c_str());
  gtk_style_context_add_class(gtk_widget_get_style_context(keys), "dim-label");
  gtk_widget_set_margin_start(keys, kShortcutGap);
  gtk_box_pack_end(GTK_BOX(row), keys, FALSE, FALSE, 0);
  gtk_widget_show_all(row);
  gtk_container_add(GTK_CONTAINER(widget), row);
}

// Menus with icons show them whatever the desktop's preference for menu
// images says.
void alwaysShowImage(wxMenuItem* item) {
  GtkWidget* widget = item->GetMenuItem();
  if (widget && g_object_class_find_property(G_OBJECT_GET_CLASS(widget), "always-show-image"))
    g_object_set(widget, "always-show-image", TRUE, nullptr);
}

void fillMenu(wxMenu& menu, std::span<const MenuLine> lines, const ImageSet& icons) {
  for (const MenuLine& line : lines) {
    if (line.separator) {
      menu.AppendSeparator();
      continue;
    }
    auto item = std::make_unique<wxMenuItem>(
        &menu, toolkitId(line.command), wxString::FromUTF8(withMnemonic(menuTextUtf8(line.textKey), line.mnemonic)));
    item->SetBitmap(setBitmap(icons, line.icon));
    wxMenuItem* appended = menu.Append(item.release());  // the menu owns its items
    alwaysShowImage(appended);
    showShortcutText(appended, line.shortcut);
  }
}

wxAcceleratorEntry acceleratorEntry(Shortcut shortcut, Command command) {
  return wxAcceleratorEntry(toolkitModifier(shortcut.modifier), toolkitKey(shortcut.key), toolkitId(command));
}

}  // namespace

std::string withMnemonic(std::string_view text, char mnemonic) {
  std::string result;
  bool marked = mnemonic == 0;
  for (const char c : text) {
    if (c == '&') result += '&';
    if (!marked && c == mnemonic) {
      result += '&';
      marked = true;
    }
    result += c;
  }
  return result;
}

std::string shortcutText(Shortcut shortcut) {
  std::string text;
  if (shortcut.modifier == Modifier::Ctrl) text = "Ctrl+";
  if (shortcut.modifier == Modifier::Alt) text = "Alt+";
  return text + std::string(keyName(shortcut.key));
}

std::string_view menuTextKey(Command command) {
  for (const MenuDefinition& menu : kMenuBar)
    for (const MenuLine& line : menu.lines)
      if (!line.separator && line.command == command) return line.textKey;
  // The output-format button's command has no menu item of its own.
  if (command == Command::OutputFormatOptions) return "Output Format Options";
  return {};
}

void MainFrame::buildMenuBar() {
  auto bar = std::make_unique<wxMenuBar>();
  for (const MenuDefinition& definition : kMenuBar) {
    auto menu = std::make_unique<wxMenu>();
    fillMenu(*menu, definition.lines, context_.images.menu);
    // the bar owns its menus
    bar->Append(menu.release(),
                wxString::FromUTF8(withMnemonic(menuTextUtf8(definition.titleKey), definition.mnemonic)));
  }
  std::unique_ptr<wxMenuBar> previous(GetMenuBar());
  SetMenuBar(bar.release());  // the window owns its menu bar; the previous one goes here
}

void MainFrame::buildPopupMenu() {
  auto menu = std::make_unique<wxMenu>();
  fillMenu(*menu, kListPopupMenu, context_.images.menu);
  popupMenu_ = std::move(menu);
}

void MainFrame::buildToolbar() {
  if (wxToolBar* previous = GetToolBar()) {
    SetToolBar(nullptr);
    previous->Destroy();
  }
  const int side = iconSize(context_.workspace.settings.uiSize);
  wxToolBar* toolbar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT);
  toolbar->SetToolBitmapSize(wxSize(side, side));
  for (const ToolLine& line : kToolbar) {
    if (line.separator) {
      toolbar->AddSeparator();
      continue;
    }
    toolbar->AddTool(toolkitId(line.command), wxEmptyString, toolbarBitmap(context_.images.toolbar, line.icon, side),
                     catalogueText("Menu", menuTextKey(line.command)));
  }
  toolbar->Realize();
}

void MainFrame::registerShortcuts() {
  std::vector<wxAcceleratorEntry> entries;
  entries.reserve(kWindowShortcuts.size() + kListShortcuts.size());
  for (const auto& [shortcut, command] : kWindowShortcuts) entries.push_back(acceleratorEntry(shortcut, command));
  if (listShortcutsRegistered_)
    for (const auto& [shortcut, command] : kListShortcuts) entries.push_back(acceleratorEntry(shortcut, command));
  SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(entries.size()), entries.data()));
}

void MainFrame::onListEvent() {
  if (listShortcutsRegistered_) return;
  listShortcutsRegistered_ = true;
  registerShortcuts();
}

}  // namespace qm
