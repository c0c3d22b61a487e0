// The Preferences dialog: a category list on the left and one page of
// controls per category, every control bound to a key of the Settings
// record. The controls hold the edits until OK copies them into the
// record and saves it; Cancel, Escape and the close box drop them;
// Defaults resets the record after asking. Only the font and colour
// histories change the record at once. Private to the window face.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/dialog.h>

#include "ui/preferences/colour_pickers.h"
#include "ui/preferences/preferences_values.h"
#include "ui/testing/control_probes.h"

class wxBitmapComboBox;
class wxCheckBox;
class wxChoice;
class wxDatePickerCtrl;
class wxTimePickerCtrl;
class wxSlider;
class wxSpinCtrl;
class wxSpinCtrlDouble;
class wxStaticText;
class wxTextCtrl;
class wxTreeCtrl;

namespace qm {

struct WindowContext;

// The nine categories, in the list's order.
inline constexpr std::string_view kPreferencePages[9] = {"General",    "Interface", "Input",     "Output",  "Transform",
                                                         "Adjustment", "Frame",     "Watermark", "Advanced"};
inline constexpr int kOutputPage = 3;

// A label and the controls of one row, enabled or shown together.
struct PreferenceRow {
  wxStaticText* label = nullptr;
  std::vector<wxWindow*> controls;
  void enable(bool on) const;
  void show(bool on) const;
};

// A track bar and its spin box on one key. Moving the track sets the spin
// box; editing the spin box sets the track, clamped to the range. The
// gamma pair counts hundredths and shows them with two decimals.
class ValuePair {
 public:
  ValuePair(wxWindow* parent, int y, PairRange range, bool gamma, int value);
  int value() const { return value_; }
  wxSlider* track() const { return track_; }
  wxWindow* spin() const;
  std::string spinText() const;

 private:
  void onTrack();
  void onSpinArrows();
  void onSpinText();
  void show(int value, bool rewriteText);

  PairRange range_;
  bool gamma_ = false;
  int value_ = 0;
  bool updating_ = false;  // set while the program itself moves a control
  wxSlider* track_ = nullptr;
  wxSpinCtrl* spin_ = nullptr;
  wxSpinCtrlDouble* gammaSpin_ = nullptr;
};

class PreferencesDialog : public wxDialog {
 public:
  // After OK or Defaults have stored the settings: the main window applies
  // a new theme or icon size and selects the given output format.
  using InterfaceChanged = std::function<void(int formatSelection)>;

  PreferencesDialog(wxWindow* owner, WindowContext& context, int startPage, InterfaceChanged interfaceChanged);
  ~PreferencesDialog() override;

  // Runs the dialog modally until OK, Cancel, Defaults or the close box
  // ends it.
  void run();

 private:
  friend std::string describePreferences(const PreferencesDialog& dialog);

  // Building the pages.
  void buildFrame();
  void buildGeneral(wxWindow* page);
  void buildInterface(wxWindow* page);
  void buildInput(wxWindow* page);
  void buildOutput(wxWindow* page);
  void buildTransform(wxWindow* page);
  void buildAdjustment(wxWindow* page);
  void buildFramePage(wxWindow* page);
  void buildWatermark(wxWindow* page);
  void buildTextPanel(wxWindow* panel);
  void buildImagePanel(wxWindow* panel);
  void buildAdvanced(wxWindow* page);
  // The date and time the two Custom Timestamp pickers show together.
  DateFields shownStamp() const;

  // Row builders. Each creates the label and its control at the row's y,
  // fills the control from the Settings record and registers how OK
  // stores it.
  wxStaticText* label(wxWindow* parent, int y, std::string_view key);
  wxChoice* dropDown(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                     const std::vector<std::string>& items, int selection, PreferenceRow* row = nullptr);
  // A list given its Code names each of the code's values, in code order.
  template <typename Code = void, typename Field, std::size_t N>
  wxChoice* codeRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                    const std::string_view (&itemKeys)[N], Field Settings::*field, PreferenceRow* row = nullptr);
  wxCheckBox* checkRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                       std::int8_t Settings::*field, PreferenceRow* row = nullptr);
  wxTextCtrl* numberRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                        std::string_view unitKey, std::int32_t Settings::*field, PreferenceRow* row = nullptr);
  ValuePair* pairRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey, PairRange range,
                     std::int32_t Settings::*field, PreferenceRow* row = nullptr);
  FixedColourRow* fixedColourRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                                 std::string Settings::*field, PreferenceRow* row = nullptr);
  HistoryColourRow* historyColourRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                                     std::string Settings::*history, std::string Settings::*field);
  wxTextCtrl* textRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey, int width,
                      std::string Settings::*field);
  wxWindow* scrollArea(wxWindow* parent, int x, int y, int width, int height, int innerHeight);

  // Dependency rules.
  void selectPage(int page);
  void applyRules();

  // Ending the dialog.
  void onOk();
  void onDefaults();
  void storeControls(Settings& settings) const;
  std::string selectedTheme() const;
  int outputFormatSelection() const;

  InterfaceChanged interfaceChanged_;
  WindowContext& context_;
  int page_ = 0;

  wxTreeCtrl* categories_ = nullptr;
  wxStaticText* pageTitle_ = nullptr;
  std::vector<wxWindow*> pages_;
  std::vector<std::function<void(Settings&)>> storers_;
  ControlProbes probes_;
  std::vector<std::unique_ptr<ValuePair>> pairs_;
  std::vector<std::unique_ptr<FixedColourRow>> fixedColours_;
  std::vector<std::unique_ptr<HistoryColourRow>> historyColours_;

  // Controls the rules and the pickers work on.
  std::vector<std::string> themeKeys_;  // per theme item; empty with no theme
  wxChoice* themeList_ = nullptr;
  wxChoice* iconSizeList_ = nullptr;
  wxBitmapComboBox* inputFormats_ = nullptr;
  std::vector<std::pair<std::string, wxWindow*>> inputPanels_;
  wxBitmapComboBox* outputFormats_ = nullptr;
  std::vector<wxWindow*> outputPanels_;
  wxChoice* rawLoadAs_ = nullptr;
  PreferenceRow rawGeometry_, toneMapping_;
  wxCheckBox* rotation_ = nullptr;
  PreferenceRow rotationRows_;
  wxCheckBox* resize_ = nullptr;
  PreferenceRow resizeRows_;
  wxCheckBox* threshold_ = nullptr;
  PreferenceRow thresholdRow_;
  wxChoice* frameType_ = nullptr;
  wxWindow* framePanel_ = nullptr;
  wxChoice* watermarkType_ = nullptr;
  wxWindow* textPanel_ = nullptr;
  wxWindow* imagePanel_ = nullptr;
  wxChoice* textSize_ = nullptr;
  PreferenceRow textScaleRow_;
  wxChoice* imageSize_ = nullptr;
  PreferenceRow imageScaleRow_;
  wxChoice* timestampType_ = nullptr;
  PreferenceRow customTimestampRow_;
  wxChoice* fontList_ = nullptr;
  wxTextCtrl* fontSize_ = nullptr;
  wxChoice* fontStyle_ = nullptr;
  wxTextCtrl* imageField_ = nullptr;
  ValuePair* brightness_ = nullptr;
  ValuePair* contrast_ = nullptr;
  ValuePair* gamma_ = nullptr;
  wxCheckBox* invert_ = nullptr;
  wxDatePickerCtrl* stampDate_ = nullptr;
  wxTimePickerCtrl* stampTime_ = nullptr;
};

}  // namespace qm
