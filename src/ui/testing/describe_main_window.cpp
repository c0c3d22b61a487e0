#include "ui/testing/window_description.h"

#include <algorithm>
#include <cstdio>

#include <gtk/gtk.h>
#include <wx/activityindicator.h>
#include <wx/bmpcbox.h>
#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "ui/dialogs/window_message_boxes.h"
#include "ui/main_window/background_update_check.h"
#include "ui/main_window/input_list_control.h"
#include "ui/main_window/main_frame.h"
#include "ui/toolkit/bitmaps.h"

namespace qm {

std::string numbers(std::initializer_list<long> values) {
  std::string out;
  for (long value : values) {
    if (!out.empty()) out += ' ';
    out += std::to_string(value);
  }
  return out;
}

std::string allocation(const wxWindow* window) {
  GtkWidget* widget = window ? window->GetHandle() : nullptr;
  if (!widget) return "none";
  GtkAllocation area{};
  gtk_widget_get_allocation(widget, &area);
  int x = -1;
  int y = -1;
  gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget), 0, 0, &x, &y);
  GtkRequisition minimum{};
  gtk_widget_get_preferred_size(widget, &minimum, nullptr);
  return numbers({x, y, area.width, area.height, minimum.width, minimum.height});
}

namespace {

std::string text(const wxString& value) { return value.ToStdString(wxConvUTF8); }

// Where a selector's open list lies on the screen, beside the selector
// itself: "selector x y w h list x y w h first-item-offset", or "closed".
std::string popupPlace(const wxBitmapComboBox* selector) {
  GtkWidget* combo = selector->GetHandle();
  if (!combo || !GTK_IS_COMBO_BOX(combo)) return "closed";
  gboolean shown = FALSE;
  g_object_get(combo, "popup-shown", &shown, nullptr);
  AtkObject* accessible = shown ? gtk_combo_box_get_popup_accessible(GTK_COMBO_BOX(combo)) : nullptr;
  GtkWidget* list =
      accessible && GTK_IS_ACCESSIBLE(accessible) ? gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible)) : nullptr;
  GdkWindow* listWindow = list ? gtk_widget_get_window(gtk_widget_get_toplevel(list)) : nullptr;
  GdkWindow* comboWindow = gtk_widget_get_window(combo);
  if (!listWindow || !comboWindow) return "closed";
  GtkAllocation area{};
  gtk_widget_get_allocation(combo, &area);
  int comboX = 0, comboY = 0, listX = 0, listY = 0;
  gdk_window_get_origin(comboWindow, &comboX, &comboY);
  gdk_window_get_origin(listWindow, &listX, &listY);
  // GTK_IS_CONTAINER: the list is the desktop's menu of items.
  int firstItem = -1;
  if (GTK_IS_CONTAINER(list)) {
    GList* items = gtk_container_get_children(GTK_CONTAINER(list));
    if (items) {
      int x = 0;
      gtk_widget_translate_coordinates(GTK_WIDGET(items->data), gtk_widget_get_toplevel(list), 0, 0, &x, &firstItem);
    }
    g_list_free(items);
  }
  return numbers({comboX + area.x, comboY + area.y, area.width, area.height, listX, listY,
                  gdk_window_get_width(listWindow), gdk_window_get_height(listWindow), firstItem});
}

// How far below a label's top its text really reaches.
int textInkBottom(const wxStaticText* label) {
  GtkWidget* widget = label->GetHandle();
  if (!widget || !GTK_IS_LABEL(widget)) return -1;
  PangoRectangle ink{};
  pango_layout_get_pixel_extents(gtk_label_get_layout(GTK_LABEL(widget)), &ink, nullptr);
  int layoutX = 0;
  int layoutY = 0;
  gtk_label_get_layout_offsets(GTK_LABEL(widget), &layoutX, &layoutY);
  GtkAllocation area{};
  gtk_widget_get_allocation(widget, &area);
  return layoutY - area.y + ink.y + ink.height;
}

std::string bitmapText(const wxBitmap& bitmap) {
  if (!bitmap.IsOk()) return "none";
  char checksum[16];
  std::snprintf(checksum, sizeof checksum, "%08x", pixelChecksum(bitmap));
  return std::to_string(bitmap.GetWidth()) + "x" + std::to_string(bitmap.GetHeight()) + " " + checksum;
}

// The shortcut text a menu item shows: the last label of the row that
// holds its text.
std::string shownShortcut(const wxMenuItem* item) {
  GtkWidget* widget = item->GetMenuItem();
  GtkWidget* row = widget ? gtk_bin_get_child(GTK_BIN(widget)) : nullptr;
  if (!row || !GTK_IS_BOX(row)) return {};
  GList* children = gtk_container_get_children(GTK_CONTAINER(row));
  std::string result;
  if (GList* last = g_list_last(children); last && GTK_IS_LABEL(last->data))
    result = gtk_label_get_text(GTK_LABEL(last->data));
  g_list_free(children);
  return result;
}

void describeMenu(std::string& out, const char* prefix, const wxMenu& menu, int idBase) {
  for (const wxMenuItem* item : menu.GetMenuItems()) {
    if (item->IsSeparator()) {
      out += std::string(prefix) + "=-\n";
      continue;
    }
    out += std::string(prefix) + "=" + std::to_string(item->GetId() - idBase) + "|" + text(item->GetItemLabelText()) +
           "|" + shownShortcut(item) + "|" + bitmapText(item->GetBitmap()) + "\n";
    out += std::string(prefix) + "Label=" + text(item->GetItemLabel()) + "\n";
  }
}

void describeTools(std::string& out, const char* prefix, const wxToolBar& toolbar, int idBase) {
  out +=
      std::string(prefix) + "Bitmap=" + numbers({toolbar.GetToolBitmapSize().x, toolbar.GetToolBitmapSize().y}) + "\n";
  for (std::size_t i = 0; i < toolbar.GetToolsCount(); ++i) {
    const wxToolBarToolBase* tool = toolbar.GetToolByPos(static_cast<int>(i));
    if (tool->IsSeparator()) {
      out += std::string(prefix) + "=-\n";
      continue;
    }
    out += std::string(prefix) + "=" + std::to_string(tool->GetId() - idBase) + "|" + text(tool->GetShortHelp()) + "|" +
           bitmapText(tool->GetNormalBitmap()) + "\n";
  }
}

// Tools the toolbar really shows: a toolbar too narrow for its tools
// leaves the last ones out.
int shownTools(const wxToolBar* toolbar) {
  GtkWidget* widget = toolbar ? toolbar->GetHandle() : nullptr;
  if (widget && GTK_IS_BIN(widget)) widget = gtk_bin_get_child(GTK_BIN(widget));
  if (!widget || !GTK_IS_TOOLBAR(widget)) return -1;
  int shown = 0;
  for (int i = 0; i < gtk_toolbar_get_n_items(GTK_TOOLBAR(widget)); ++i) {
    GtkToolItem* item = gtk_toolbar_get_nth_item(GTK_TOOLBAR(widget), i);
    if (GTK_IS_SEPARATOR_TOOL_ITEM(item)) continue;
    if (gtk_widget_get_mapped(GTK_WIDGET(item)) && gtk_widget_get_child_visible(GTK_WIDGET(item))) ++shown;
  }
  return shown;
}

}  // namespace

std::string describeMainWindow(const MainFrame& frame) {
  const int idBase = toolkitId(Command::New);
  std::string out;
  const wxSize inner = frame.innerSize();
  const wxPoint position = frame.GetPosition();
  out += "inner=" + numbers({inner.x, inner.y}) + "\n";
  out += "position=" + numbers({position.x, position.y}) + "\n";
  out += "maximized=" + std::to_string(frame.IsMaximized() ? 1 : 0) + "\n";
  out += "minimumWidth=" + std::to_string(frame.minimumWidth_) + "\n";
  out += "iconized=" + std::to_string(frame.IsIconized() ? 1 : 0) + "\n";
  out += "title=" + text(frame.GetTitle()) + "\n";

  out += "menubar=" + allocation(frame.GetMenuBar()) + "\n";
  out += "toolbar=" + allocation(frame.GetToolBar()) + "\n";
  out += "toolsShown=" + std::to_string(shownTools(frame.GetToolBar())) + "\n";
  out += "statusbar=" + allocation(frame.GetStatusBar()) + "\n";
  out += "container=" + allocation(frame.container_) + "\n";
  out += "list=" + allocation(frame.list_) + "\n";
  out += "column=" + std::to_string(frame.list_->GetColumnWidth(0)) + "\n";
  wxListItem column;
  column.SetMask(wxLIST_MASK_TEXT);
  frame.list_->GetColumn(0, column);
  out += "columnTitle=" + text(column.GetText()) + "\n";
  out += "folderLabel=" + allocation(frame.folderLabel_) + "\n";
  out += "folderSelector=" + allocation(frame.folderSelector_) + "\n";
  out += "folderButton=" + allocation(frame.folderButton_) + "\n";
  out += "formatLabel=" + allocation(frame.formatLabel_) + "\n";
  out += "folderLabelInk=" + std::to_string(textInkBottom(frame.folderLabel_)) + "\n";
  out += "formatLabelInk=" + std::to_string(textInkBottom(frame.formatLabel_)) + "\n";
  out += "formatSelector=" + allocation(frame.formatSelector_) + "\n";
  out += "formatButton=" + allocation(frame.formatButton_) + "\n";
  out += "convertButton=" + allocation(frame.convertButton_) + "\n";

  const wxMenuBar* bar = frame.GetMenuBar();
  for (std::size_t i = 0; bar && i < bar->GetMenuCount(); ++i) {
    out += "menu=" + text(bar->GetMenuLabelText(i)) + "\n";
    out += "menuLabel=" + text(bar->GetMenuLabel(i)) + "\n";
    describeMenu(out, "item", *bar->GetMenu(i), idBase);
  }
  describeMenu(out, "popup", *frame.popupMenu_, idBase);
  if (const wxToolBar* toolbar = frame.GetToolBar()) describeTools(out, "tool", *toolbar, idBase);
  describeTools(out, "folderTool", *frame.folderButton_, idBase);
  describeTools(out, "formatTool", *frame.formatButton_, idBase);
  out += "convertImage=" + bitmapText(frame.convertButton_->GetBitmap()) + "\n";

  out += "rows=" + std::to_string(frame.list_->GetItemCount()) + "\n";
  out += "rowTooltip=" + frame.list_->tooltip() + "\n";
  for (long row = 0; row < frame.list_->GetItemCount(); ++row) {
    out += "row=" + frame.list_->path(row) + "\n";
    out += "shownRow=" + frame.list_->shownText(row) + "\n";
    out += "rowPicture=" + std::to_string(frame.list_->rowPicture(row)) + "\n";
    if (frame.list_->GetItemState(row, wxLIST_STATE_SELECTED)) out += "selected=" + std::to_string(row) + "\n";
    if (frame.list_->isMarked(row)) out += "errorRow=" + std::to_string(row) + "\n";
  }
  if (frame.openDialog_) out += describeProgressDialog(*frame.openDialog_);
  if (frame.preferences_) out += describePreferences(*frame.preferences_);
  if (const auto* boxes = dynamic_cast<const WindowMessageBoxes*>(&frame.context_.boxes)) {
    for (std::string box : boxes->shown()) {
      std::replace(box.begin(), box.end(), '\n', '~');
      out += "box=" + box + "\n";
    }
    for (const std::string& icon : boxes->icons()) out += "boxIcon=" + icon + "\n";
  }
  out += "focus=" + std::string(frame.listHasFocus() ? "list" : "other") + "\n";
  out += "listShortcuts=" + std::to_string(frame.listShortcutsRegistered_ ? 1 : 0) + "\n";
  out += "status=" + text(frame.GetStatusBar()->GetStatusText(0)) + "\n";
  out += "updateCheck=" + std::to_string(frame.updateCheck_ ? 1 : 0) + "\n";
  out += "updateBusy=" + allocation(frame.updateBusy_ && frame.updateBusy_->IsShown() ? frame.updateBusy_ : nullptr) +
         "\n";
  out += "pointerBusy=" + std::to_string(frame.GetCursor().IsOk() ? 1 : 0) + "\n";
  for (unsigned i = 0; i < frame.folderSelector_->GetCount(); ++i)
    out += "folderItem=" + text(frame.folderSelector_->GetString(i)) + "|" +
           bitmapText(frame.folderSelector_->GetItemBitmap(i)) + "\n";
  out += "folderText=" + text(frame.folderSelector_->GetValue()) + "\n";
  out += "outputFolder=" + frame.context_.workspace.run.outputFolder + "\n";
  out += "formatPopup=" + popupPlace(frame.formatSelector_) + "\n";
  out += "formatItems=" + std::to_string(frame.formatSelector_->GetCount()) + "\n";
  out += "formatText=" + text(frame.formatSelector_->GetValue()) + "\n";
  if (frame.formatSelector_->GetCount() > 0)
    out += "formatImage=" + bitmapText(frame.formatSelector_->GetItemBitmap(0)) + "\n";
  out += "outputFormat=" + frame.context_.workspace.settings.outputFormat + "\n";
  out += "uiTheme=" + frame.context_.workspace.settings.uiTheme + "\n";
  out += "searchFrom=" + frame.context_.workspace.run.searchFrom + "\n";
  out += "searchTo=" + frame.context_.workspace.run.searchTo + "\n";
  return out;
}

}  // namespace qm
