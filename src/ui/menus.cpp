// The menu bar, the Input list's popup menu, the toolbar and the keyboard
// shortcuts, all built from the command tables.
#include "ui/toolkit_prelude.h"

#include <gtk/gtk.h>
#include <wx/accel.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include "app/messages.h"
#include "ui/bitmaps.h"
#include "ui/main_frame.h"

namespace qm {

namespace {

wxString menuText(std::string_view key) { return wxString::FromUTF8(messages().lookUpText("Menu", key)); }

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

guint gdkKey(Key key) {
  switch (key) {
    case Key::N: return GDK_KEY_n;
    case Key::X: return GDK_KEY_x;
    case Key::C: return GDK_KEY_c;
    case Key::A: return GDK_KEY_a;
    case Key::Delete: return GDK_KEY_Delete;
    case Key::F1: return GDK_KEY_F1;
    case Key::F5: return GDK_KEY_F5;
    case Key::None: break;
  }
  return 0;
}

GdkModifierType gdkModifier(Modifier modifier) {
  switch (modifier) {
    case Modifier::Ctrl: return GDK_CONTROL_MASK;
    case Modifier::Alt: return GDK_MOD1_MASK;
    case Modifier::None: break;
  }
  return static_cast<GdkModifierType>(0);
}

// The shortcut text is only shown beside the item: the keys themselves
// belong to the window's shortcut table, where they come and go by their
// own rules (the list's keys are dead until the list has seen an event).
void showShortcutText(wxMenuItem* item, Shortcut shortcut) {
  GtkWidget* widget = item->GetMenuItem();
  if (!widget || !shortcut.exists()) return;
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(widget));
  if (label && GTK_IS_ACCEL_LABEL(label))
    gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), gdkKey(shortcut.key), gdkModifier(shortcut.modifier));
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
    auto item = std::make_unique<wxMenuItem>(&menu, toolkitId(line.command), menuText(line.textKey));
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
    bar->Append(menu.release(), menuText(definition.titleKey));  // the bar owns its menus
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
                     menuText(menuTextKey(line.command)));
  }
  toolbar->Realize();
}

void MainFrame::registerShortcuts() {
  std::vector<wxAcceleratorEntry> entries;
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
