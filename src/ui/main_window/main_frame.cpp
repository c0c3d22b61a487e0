#include "ui/main_window/main_frame.h"

#include <algorithm>

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/bmpcbox.h>
#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "app/messages.h"
#include "app/version.h"
#include "ui/main_window/background_update_check.h"
#include "ui/main_window/input_list_control.h"
#include "ui/toolkit/bitmaps.h"
#include "ui/toolkit/compact_style.h"
#include "ui/toolkit/toolkit.h"
#include "ui/toolkit/toolkit_text.h"

namespace qm {

namespace {

constexpr int kCommandIdBase = 1000;

// Label text sits at the top of its box, as the fixed layout expects: the
// selector below starts 15 pixels down, inside the label's 20.
void alignTextToTop(wxStaticText* label) {
  GtkWidget* widget = label->GetHandle();
  if (!widget || !GTK_IS_LABEL(widget)) return;
  gtk_label_set_yalign(GTK_LABEL(widget), 0.0f);
  gtk_style_context_add_class(gtk_widget_get_style_context(widget), kCompactStyleClass);
}

// The selector's list drops below it, as the Preferences' drop-downs do.
// The desktop's default, a menu that puts the selected item over the
// selector, leaves empty room above the list when the selection is near
// its top; a list laid out in one column is placed below (or above) the
// selector instead.
void dropAsList(wxBitmapComboBox* selector) {
  GtkWidget* widget = selector->GetHandle();
  if (widget && GTK_IS_COMBO_BOX(widget)) gtk_combo_box_set_wrap_width(GTK_COMBO_BOX(widget), 1);
}

// The toolkit wraps its toolbar in a box of its own.
GtkToolbar* nativeToolbar(wxToolBar* toolbar) {
  GtkWidget* widget = toolbar->GetHandle();
  if (widget && GTK_IS_BIN(widget)) widget = gtk_bin_get_child(GTK_BIN(widget));
  return widget && GTK_IS_TOOLBAR(widget) ? GTK_TOOLBAR(widget) : nullptr;
}

void place(wxWindow* window, const Rect& rect) { window->SetSize(rect.x, rect.y, rect.width, rect.height); }

// Places a control whose height the layout keeps: the toolkit may have
// made it taller than asked, and it stays so.
void placeKeepingHeight(wxWindow* window, const Rect& rect) {
  window->SetSize(rect.x, rect.y, rect.width, -1, wxSIZE_USE_EXISTING);
}

}  // namespace

int toolkitId(Command command) { return kCommandIdBase + static_cast<int>(command); }

MainFrame::MainFrame(WindowContext& context, const WindowPlacement& placement)
    : wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(titleLine()), wxPoint(placement.x, placement.y), wxDefaultSize,
              wxDEFAULT_FRAME_STYLE),
      context_(context) {
  // Nothing below may show the window before it is complete.
  acceptFileDrops(*this);
  buildMenuBar();
  buildPopupMenu();
  buildToolbar();
  CreateStatusBar(1);
  SetStatusText(wxEmptyString);
  // The status text is the last result ("Conversion complete", why a row
  // failed); the help texts of tools and menu items pointed at would wipe
  // it out.
  SetStatusBarPane(-1);

  layout_ = initialLayout(placement.innerWidth, placement.innerHeight, 0);
  buildControls();
  registerShortcuts();

  minimumWidth_ = widthForToolbar();
  applyMinimumSize();
  setInnerSize(std::max(placement.innerWidth, minimumWidth_), placement.innerHeight);
  Move(placement.x, placement.y);

  Bind(wxEVT_CLOSE_WINDOW, &MainFrame::onClose, this);
  Bind(wxEVT_MENU, &MainFrame::onMenu, this);
}

MainFrame::~MainFrame() {
  // A check still waiting for the site stops now, not at its time limit.
  updateCheck_.reset();
  // The controls send events while they go (a list losing its rows and
  // focus); they must find this window whole, which the base class's own
  // clean-up, running after this, no longer would.
  DestroyChildren();
}

void MainFrame::buildControls() {
  const MainLayout& l = layout_;
  container_ = new wxPanel(this, wxID_ANY, wxPoint(l.container.x, 0), wxSize(l.container.width, l.container.height));

  list_ = new InputListControl(container_, wxPoint(l.inputList.x, l.inputList.y),
                               wxSize(l.inputList.width, l.inputList.height));
  list_->AppendColumn(catalogueText("General", "Filename"), wxLIST_FORMAT_LEFT, l.columnWidth);

  folderLabel_ = new wxStaticText(container_, wxID_ANY, catalogueText("General", "Output Folder"),
                                  wxPoint(l.folderLabel.x, l.folderLabel.y),
                                  wxSize(l.folderLabel.width, l.folderLabel.height), wxST_NO_AUTORESIZE);
  folderSelector_ =
      new wxBitmapComboBox(container_, wxID_ANY, wxEmptyString, wxPoint(l.folderSelector.x, l.folderSelector.y),
                           wxSize(l.folderSelector.width, l.folderSelector.height), 0, nullptr, wxCB_READONLY);
  alignTextToTop(folderLabel_);
  makeCompact(folderSelector_);
  buildSmallButtons();

  formatLabel_ = new wxStaticText(container_, wxID_ANY, catalogueText("General", "Output Format"),
                                  wxPoint(l.formatLabel.x, l.formatLabel.y),
                                  wxSize(l.formatLabel.width, l.formatLabel.height), wxST_NO_AUTORESIZE);
  formatSelector_ =
      new wxBitmapComboBox(container_, wxID_ANY, wxEmptyString, wxPoint(l.formatSelector.x, l.formatSelector.y),
                           wxSize(l.formatSelector.width, l.formatSelector.height), 0, nullptr, wxCB_READONLY);
  alignTextToTop(formatLabel_);
  makeCompact(formatSelector_);
  dropAsList(formatSelector_);
  // The format selector was created after the small buttons' place in the
  // tab order would suggest; keep the order of the controls on screen.
  formatSelector_->MoveAfterInTabOrder(formatLabel_);

  convertButton_ = new wxButton(container_, wxID_ANY, wxEmptyString, wxPoint(l.convertButton.x, l.convertButton.y),
                                wxSize(l.convertButton.width, l.convertButton.height));
  applyImagesToControls();

  // Any event of the list's own (keys, clicks, selection, columns) makes
  // the keys that act on the list live.
  list_->Bind(wxEVT_LIST_KEY_DOWN, [this](wxListEvent& event) {
    if (!isModifierKey(event.GetKeyCode())) onListEvent();
    event.Skip();
  });
  for (const auto type :
       {wxEVT_LIST_ITEM_SELECTED, wxEVT_LIST_ITEM_DESELECTED, wxEVT_LIST_ITEM_ACTIVATED, wxEVT_LIST_ITEM_FOCUSED,
        wxEVT_LIST_ITEM_RIGHT_CLICK, wxEVT_LIST_ITEM_MIDDLE_CLICK, wxEVT_LIST_COL_CLICK, wxEVT_LIST_COL_RIGHT_CLICK,
        wxEVT_LIST_COL_END_DRAG, wxEVT_LIST_BEGIN_DRAG})
    list_->Bind(type, [this](wxListEvent& event) {
      onListEvent();
      event.Skip();
    });
  list_->Bind(wxEVT_LIST_ITEM_SELECTED, &MainFrame::onListSelected, this);
  list_->Bind(wxEVT_CONTEXT_MENU, &MainFrame::onListRightClick, this);
  // Keys and double-clicks land on the list's children (its column header
  // and its item area), not on the list itself. Keys only ever reach the
  // item area; a double-click is told apart by where it lands.
  for (wxWindow* child : list_->GetChildren()) {
    child->Bind(wxEVT_LEFT_DCLICK, &MainFrame::onListDoubleClick, this);
    child->Bind(wxEVT_KEY_DOWN, &MainFrame::onListKey, this);
  }

  folderSelector_->Bind(wxEVT_COMBOBOX, &MainFrame::onFolderSelector, this);
  formatSelector_->Bind(wxEVT_COMBOBOX, &MainFrame::onFormatSelector, this);
  convertButton_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { runCommand(Command::Convert); });
}

void MainFrame::buildSmallButtons() {
  const auto makeButton = [this](wxToolBar*& button, Command command, std::string_view icon, const Rect& rect) {
    if (button) button->Destroy();
    button = new wxToolBar(container_, wxID_ANY, wxPoint(rect.x, rect.y), wxSize(rect.width, rect.height),
                           wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
    if (GtkToolbar* toolbar = nativeToolbar(button)) {
      gtk_style_context_add_class(gtk_widget_get_style_context(GTK_WIDGET(toolbar)), kCompactStyleClass);
      // A toolbar that fears its button may not fit shows an overflow
      // arrow in its place; this one is sized for exactly its button.
      gtk_toolbar_set_show_arrow(toolbar, FALSE);
    }
    button->SetToolBitmapSize(wxSize(16, 16));
    button->AddTool(toolkitId(command), wxEmptyString, setBitmap(context_.images.menu, icon),
                    catalogueText("Menu", menuTextKey(command)));
    button->Realize();
    place(button, rect);
  };
  makeButton(folderButton_, Command::SelectOutputFolder, "OutFolder", layout_.folderButton);
  makeButton(formatButton_, Command::OutputFormatOptions, "OutFormat", layout_.formatButton);
  folderButton_->MoveAfterInTabOrder(folderSelector_);
  if (formatSelector_) formatButton_->MoveAfterInTabOrder(formatSelector_);
}

void MainFrame::applyImagesToControls() {
  convertButton_->SetBitmap(setBitmap(context_.images.large, "Convert", 64));
  const wxBitmap favourite = setBitmap(context_.images.menu, "FavFolder");
  for (unsigned i = 0; i < folderSelector_->GetCount(); ++i)
    if (!folderSelector_->GetString(i).empty()) folderSelector_->SetItemBitmap(i, favourite);
  const wxBitmap format = setBitmap(context_.images.menu, "New");
  for (unsigned i = 0; i < formatSelector_->GetCount(); ++i) formatSelector_->SetItemBitmap(i, format);
}

void MainFrame::finishBuilding(bool maximize) {
  Bind(wxEVT_SIZE, &MainFrame::onSize, this);
  if (maximize) Maximize(true);
  if (context_.workspace.settings.recentOutFolders.empty()) folderSelector_->Append(wxEmptyString);
  fillFormatSelector();
  newList();
  Show(true);
  requestRelayout();
}

wxSize MainFrame::innerSize() const {
  int width = 0;
  int height = 0;
  gtk_window_get_size(GTK_WINDOW(GetHandle()), &width, &height);
  return {width, height};
}

void MainFrame::setInnerSize(int width, int height) {
  // The toolkit counts the menu bar, the toolbar and the status bar out of
  // its client size, by their natural heights; the inner size counts them
  // in. (The window's own size is no guide before it is shown: the
  // minimum size already holds it, the toolkit's notion not yet.)
  int bars = 0;
  for (wxWindow* bar : {static_cast<wxWindow*>(GetMenuBar()), static_cast<wxWindow*>(GetToolBar())})
    if (bar && bar->IsShown()) {
      int natural = 0;
      gtk_widget_get_preferred_height(bar->GetHandle(), nullptr, &natural);
      bars += natural;
    }
  if (GetStatusBar() && GetStatusBar()->IsShown()) bars += GetStatusBar()->GetSize().y;
  SetClientSize(width, height - bars);
}

void MainFrame::saveGeometry(Settings& settings) const {
  if (IsMaximized()) {
    settings.isMaximized = 1;
    return;
  }
  if (IsIconized()) return;
  settings.isMaximized = 0;
  const wxPoint position = GetPosition();
  const wxSize inner = innerSize();
  settings.x = position.x;
  settings.y = position.y;
  settings.width = inner.x;
  settings.height = inner.y;
}

int MainFrame::widthForToolbar() const {
  int natural = 0;
  if (const wxToolBar* toolbar = GetToolBar(); toolbar && toolbar->GetHandle())
    gtk_widget_get_preferred_width(toolbar->GetHandle(), nullptr, &natural);
  return std::max(kMinimumInnerWidth, natural);
}

void MainFrame::applyMinimumSize() {
  GdkGeometry hints{};
  hints.min_width = minimumWidth_;
  hints.min_height = kMinimumInnerHeight;
  // The hints describe the window without its frame, which is just the
  // inner size the minimum is given in.
  gtk_window_set_geometry_hints(GTK_WINDOW(GetHandle()), nullptr, &hints, GDK_HINT_MIN_SIZE);
}

void MainFrame::fitToolbar() {
  minimumWidth_ = widthForToolbar();
  applyMinimumSize();
  if (IsMaximized()) return;
  const wxSize inner = innerSize();
  if (inner.x < minimumWidth_) setInnerSize(minimumWidth_, inner.y);
}

void MainFrame::requestRelayout() { PostSizeEvent(); }

void MainFrame::onSize(wxSizeEvent&) {
  // A window manager holds the window to its minimum size; without one
  // nothing does, and the window grows back by itself.
  const wxSize inner = innerSize();
  if (inner.x < minimumWidth_ || inner.y < kMinimumInnerHeight)
    CallAfter([this] {
      const wxSize now = innerSize();
      if (now.x < minimumWidth_ || now.y < kMinimumInnerHeight)
        setInnerSize(std::max(now.x, minimumWidth_), std::max(now.y, kMinimumInnerHeight));
    });
  relayout();
}

void MainFrame::relayout() {
  if (!container_) return;
  // The toolkit's client area already starts below the toolbar, so the
  // container sits at the top offset alone.
  const wxSize client = GetClientSize();
  layout_ = qm::relayout(layout_, client.x, client.y, 0);
  place(container_, layout_.container);
  place(list_, layout_.inputList);
  list_->SetColumnWidth(0, layout_.columnWidth);
  placeKeepingHeight(folderLabel_, layout_.folderLabel);
  placeKeepingHeight(folderSelector_, layout_.folderSelector);
  place(folderButton_, layout_.folderButton);
  placeKeepingHeight(formatLabel_, layout_.formatLabel);
  placeKeepingHeight(formatSelector_, layout_.formatSelector);
  place(formatButton_, layout_.formatButton);
  placeKeepingHeight(convertButton_, layout_.convertButton);
  placeUpdateBusy();
  Refresh(false);
}

void MainFrame::onClose(wxCloseEvent& event) {
  // The window outlives its event loop: its geometry is read afterwards.
  if (event.CanVeto()) event.Veto();
  quit_ = true;
  if (wxTheApp) wxTheApp->ExitMainLoop();
}

void MainFrame::onMenu(wxCommandEvent& event) {
  const int command = event.GetId() - kCommandIdBase;
  if (command < 0 || command > static_cast<int>(Command::About)) {
    event.Skip();
    return;
  }
  runCommand(static_cast<Command>(command));
}

void MainFrame::setStatusText(const std::string& text) { SetStatusText(wxString::FromUTF8(text)); }

}  // namespace qm
