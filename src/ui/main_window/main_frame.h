// The main window: menus, toolbar, status bar, the Input list, the two
// selectors with their small buttons and the Convert button, the relayout
// on every resize, the commands, the drops and the geometry kept in the
// settings. Private to the window face.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <wx/frame.h>

#include "app/message_boxes.h"
#include "engine/batch/run_start.h"
#include "net/http_get.h"
#include "themes/image_sets.h"
#include "themes/themes.h"
#include "ui/main_window/commands.h"
#include "ui/main_window/layout.h"
#include "ui/window_context.h"

class wxActivityIndicator;
class wxBitmapComboBox;
class wxImageList;
class wxButton;
class wxListEvent;
class wxMenu;
class wxMenuBar;
class wxPanel;
class wxStaticText;
class wxToolBar;

namespace qm {

class BackgroundUpdateCheck;
class InputListControl;
class PreferencesDialog;
class ProgressDialog;

// Where and how large the window opens.
struct WindowPlacement {
  int x = 100;
  int y = 100;
  int innerWidth = kMinimumInnerWidth;
  int innerHeight = kMinimumInnerHeight;
  bool maximized = false;
};

// The toolkit's identifier of a command: the command numbers start at 0,
// which the toolkit does not accept for a menu item.
int toolkitId(Command command);

class MainFrame : public wxFrame {
 public:
  MainFrame(WindowContext& context, const WindowPlacement& placement);
  ~MainFrame() override;

  // The steps after building: selectors filled, the New command run, the
  // window shown and its first relayout requested.
  void finishBuilding(bool maximize);

  // Set by Exit and by closing the window; the event loop ends with it.
  bool quitRequested() const { return quit_; }

  // The window's geometry into the settings: a maximised window only marks
  // itself maximised, a minimised one leaves the settings alone.
  void saveGeometry(Settings& settings) const;

  // Inner size: the window's client area with the menu bar counted in.
  wxSize innerSize() const;
  void setInnerSize(int width, int height);

  void runCommand(Command command);

  // The files and folders of a drop, in drop order.
  void handleDrop(const std::vector<std::string>& paths);

  // After the Preferences have changed the theme (code 1) or the icon size
  // (code 2): the pictures are reloaded and what shows them rebuilt; then
  // the output-format selector takes the given selection.
  void applyInterfaceChange(int formatSelection);

  // Adds a row for an admitted path; the first row also fills an empty
  // output-folder selector.
  void appendRow(const std::string& path);
  // The same for the rows a worker queued, in one step: the output folder
  // can only be filled by the first of them.
  void appendRows(std::vector<std::string> paths);

  void setStatusText(const std::string& text);

  // The update check of the Help menu: the site is asked off the main
  // thread behind a busy indicator, and its box comes once the window is
  // free for it. One check at a time; asking again while one runs does
  // nothing more.
  void startUpdateCheck();
  // The start-up question of the update schedule, then the same check.
  void scheduledUpdateCheck();
  // How long a check waits for the site; the test hooks lengthen it.
  void setUpdateTimeLimit(std::chrono::milliseconds limit) { updateTimeLimit_ = limit; }
  void requestRelayout();

  // For the screenshot mode: rows and an output folder that show what the
  // window is for, without touching the Input list.
  void showSampleContent(const std::vector<std::string>& rows, const std::string& outputFolder);

 private:
  friend std::string describeMainWindow(const MainFrame& frame);

  void buildMenuBar();
  void buildPopupMenu();
  void buildToolbar();
  void buildSmallButtons();
  void buildControls();
  void registerShortcuts();
  void applyImagesToControls();
  // The window is never narrower than its toolbar, so every tool stays in
  // reach at every icon size: the smallest width grows with the icons.
  int widthForToolbar() const;
  void applyMinimumSize();
  void fitToolbar();

  void relayout();
  void onSize(wxSizeEvent& event);
  void onClose(wxCloseEvent& event);
  void onMenu(wxCommandEvent& event);
  void onListEvent();
  void onListRightClick(wxContextMenuEvent& event);
  void onListDoubleClick(wxMouseEvent& event);
  void onListKey(wxKeyEvent& event);
  void onFolderSelector(wxCommandEvent& event);
  void onFormatSelector(wxCommandEvent& event);

  // Commands.
  void newList();
  // The Preferences dialog, on the Run state's start page.
  void openPreferences();
  void openAddInputChooser();
  void selectInputFiles();
  void selectInputFolder();
  void copySelection();
  void deleteSelection();
  void selectAll();
  bool listHasFocus() const;

  // Output folder and format selectors.
  void rebuildFolderSelector();
  void fillFormatSelector();
  std::string folderSelectorText() const;

  // The folder import behind its progress dialog: the scan runs on its
  // worker thread and its rows are added here. Returns the saved count
  // afterwards, which starts from `savedBefore`.
  int importFolder(int savedBefore);
  void selectOutputFolder();
  void convert();
  bool importList();
  bool exportList();
  // Runs a progress dialog modally; the test hooks see it while it is open.
  void runProgressDialog(ProgressDialog& dialog);

  // The rows of files the last run could not convert carry the Error icon;
  // selecting one shows why in the status bar.
  void markFailures(const std::vector<std::pair<std::string, std::string>>& failures);
  void clearFailures();
  void onListSelected(wxListEvent& event);
  // Admit file, and the row for it when admitted.
  void admitAndShow(const std::string& path);
  void showUpdateBusy(bool busy);
  void placeUpdateBusy();

  WindowContext& context_;
  MainLayout layout_;
  ProgressDialog* openDialog_ = nullptr;
  PreferencesDialog* preferences_ = nullptr;
  std::unordered_map<std::string, std::string> failures_;  // path -> reason
  std::unique_ptr<wxImageList> rowIcons_;
  bool quit_ = false;
  int minimumWidth_ = kMinimumInnerWidth;
  bool listShortcutsRegistered_ = false;

  std::unique_ptr<wxMenu> popupMenu_;
  wxPanel* container_ = nullptr;
  InputListControl* list_ = nullptr;
  wxStaticText* folderLabel_ = nullptr;
  wxBitmapComboBox* folderSelector_ = nullptr;
  wxToolBar* folderButton_ = nullptr;
  wxStaticText* formatLabel_ = nullptr;
  wxBitmapComboBox* formatSelector_ = nullptr;
  wxToolBar* formatButton_ = nullptr;
  wxButton* convertButton_ = nullptr;
  wxActivityIndicator* updateBusy_ = nullptr;
  std::unique_ptr<BackgroundUpdateCheck> updateCheck_;
  std::chrono::milliseconds updateTimeLimit_ = kHttpTimeLimit;
};

// A modifier pressed alone is no key of the list's yet: Ctrl on its way to
// Ctrl+A must not bring the list's shortcuts to life.
bool isModifierKey(int key);

// Lets the window take files and folders dropped from the desktop.
void acceptFileDrops(MainFrame& frame);

}  // namespace qm
