#include "ui/preferences/preferences_dialog.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <gtk/gtk.h>
#include <wx/accel.h>
#include <wx/bmpcbox.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/display.h>
#include <wx/panel.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include "app/messages.h"
#include "formats/output_formats.h"
#include "settings/settings_file.h"
#include "ui/toolkit/compact_style.h"
#include "ui/toolkit/toolkit.h"
#include "ui/toolkit/toolkit_text.h"
#include "ui/window_context.h"

namespace qm {

namespace {

void placeInTitleBox(wxStaticText* title) {
  wxFont font(wxFontInfo(10).Bold());
  if (font.IsOk()) title->SetFont(font);
}

}  // namespace

// ---------------------------------------------------------------------------
// Rows and value pairs

void PreferenceRow::enable(bool on) const {
  if (label) label->Enable(on);
  for (wxWindow* control : controls) control->Enable(on);
}

void PreferenceRow::show(bool on) const {
  if (label) label->Show(on);
  for (wxWindow* control : controls) control->Show(on);
}

ValuePair::ValuePair(wxWindow* parent, int y, PairRange range, bool gamma, int value)
    : range_(range), gamma_(gamma), value_(range.clamp(value)) {
  track_ = new wxSlider(parent, wxID_ANY, value_ + range.offset, range.trackMin(), range.trackMax(), wxPoint(170, y),
                        wxSize(170, 20), wxSL_HORIZONTAL);
  makeCompact(track_);
  if (gamma_) {
    gammaSpin_ =
        new wxSpinCtrlDouble(parent, wxID_ANY, wxString(gammaText(value_)), wxPoint(340, y), wxSize(70, 20),
                             wxSP_ARROW_KEYS, range.spinMin / 100.0, range.spinMax / 100.0, value_ / 100.0, 0.01);
    gammaSpin_->SetDigits(2);
    gammaSpin_->SetValue(value_ / 100.0);
    makeCompact(gammaSpin_);
    gammaSpin_->Bind(wxEVT_SPINCTRLDOUBLE, [this](wxSpinDoubleEvent&) { onSpinArrows(); });
    gammaSpin_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { onSpinText(); });
  } else {
    spin_ = new wxSpinCtrl(parent, wxID_ANY, std::to_string(value_), wxPoint(340, y), wxSize(70, 20), wxSP_ARROW_KEYS,
                           range.spinMin, range.spinMax, value_);
    makeCompact(spin_);
    spin_->Bind(wxEVT_SPINCTRL, [this](wxSpinEvent&) { onSpinArrows(); });
    spin_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { onSpinText(); });
  }
  track_->Bind(wxEVT_SLIDER, [this](wxCommandEvent&) { onTrack(); });
}

wxWindow* ValuePair::spin() const { return gamma_ ? static_cast<wxWindow*>(gammaSpin_) : spin_; }

std::string ValuePair::spinText() const {
  return (gamma_ ? gammaSpin_->GetTextValue() : spin_->GetTextValue()).ToStdString(wxConvUTF8);
}

void ValuePair::show(int value, bool rewriteText) {
  value_ = range_.clamp(value);
  updating_ = true;
  track_->SetValue(value_ + range_.offset);
  if (rewriteText) {
    if (gamma_)
      gammaSpin_->SetValue(value_ / 100.0);
    else
      spin_->SetValue(value_);
  }
  updating_ = false;
}

void ValuePair::onTrack() {
  if (updating_) return;
  show(track_->GetValue() - range_.offset, true);
}

void ValuePair::onSpinArrows() {
  if (updating_) return;
  show(gamma_ ? static_cast<int>(std::lround(gammaSpin_->GetValue() * 100.0)) : spin_->GetValue(), false);
}

void ValuePair::onSpinText() {
  if (updating_) return;
  const std::string text = spinText();
  int value = 0;
  bool outside = false;
  if (gamma_) {
    value = gammaHundredthsFromText(text);
    char* end = nullptr;
    const double typed = std::strtod(text.c_str(), &end);
    outside = end != text.c_str() && std::lround(typed * 100.0) != value;
  } else {
    value = leadingInteger(text);
    outside = hasLeadingDigits(text) && range_.clamp(value) != value;
  }
  show(value, false);
  // A number beyond the range is written back clamped, once the spin box
  // has finished with the key that made it. A text that is not a number
  // yet (empty, a lone sign) is left for the user to go on typing.
  if (outside)
    spin()->CallAfter([this] {
      updating_ = true;
      if (gamma_) {
        gammaSpin_->SetValue(wxString(gammaText(value_)));
        gammaSpin_->SetValue(value_ / 100.0);
      } else {
        spin_->SetValue(wxString(std::to_string(value_)));
        spin_->SetValue(value_);
      }
      updating_ = false;
    });
}

// ---------------------------------------------------------------------------
// The dialog

PreferencesDialog::PreferencesDialog(wxWindow* owner, WindowContext& context, int startPage,
                                     InterfaceChanged interfaceChanged)
    : wxDialog(owner, wxID_ANY, catalogueText("Preferences", "Title"), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU),
      interfaceChanged_(std::move(interfaceChanged)),
      context_(context),
      page_(std::clamp(startPage, 0, 8)) {
  SetClientSize(600, 350);
  buildFrame();
  applyRules();
  selectPage(page_);
  CentreOnParent();
}

PreferencesDialog::~PreferencesDialog() = default;

void PreferencesDialog::buildFrame() {
  // A dialog stretches a single child over all of itself; this panel is
  // that child and holds everything else.
  auto* base = new wxPanel(this, wxID_ANY, wxPoint(0, 0), wxSize(600, 350));
  categories_ =
      new wxTreeCtrl(base, wxID_ANY, wxPoint(10, 10), wxSize(120, 295),
                     // NOLINTNEXTLINE(misc-redundant-expression): styles worth 0 are named for the reader
                     wxTR_HIDE_ROOT | wxTR_NO_LINES | wxTR_SINGLE | wxTR_NO_BUTTONS | wxTR_FULL_ROW_HIGHLIGHT);
  const wxTreeItemId root = categories_->AddRoot(wxEmptyString);
  for (std::string_view key : kPreferencePages) categories_->AppendItem(root, catalogueText("Preferences", key));

  auto* titleBox = new wxPanel(base, wxID_ANY, wxPoint(140, 10), wxSize(450, 30), wxBORDER_SIMPLE);
  titleBox->SetBackgroundColour(*wxWHITE);
  pageTitle_ = new wxStaticText(titleBox, wxID_ANY, wxEmptyString, wxPoint(9, 6), wxSize(330, 20), wxST_NO_AUTORESIZE);
  pageTitle_->SetBackgroundColour(*wxWHITE);
  placeInTitleBox(pageTitle_);

  for (int i = 0; i < 9; ++i) {
    wxWindow* page = i == 4 ? scrollArea(base, 140, 50, 450, 255, 375)
                            : new wxPanel(base, wxID_ANY, wxPoint(140, 50), wxSize(450, 255));
    pages_.push_back(page);
  }
  buildGeneral(pages_[0]);
  buildInterface(pages_[1]);
  buildInput(pages_[2]);
  buildOutput(pages_[3]);
  buildTransform(pages_[4]);
  buildAdjustment(pages_[5]);
  buildFramePage(pages_[6]);
  buildWatermark(pages_[7]);
  buildAdvanced(pages_[8]);

  auto* defaults = new wxButton(base, wxID_ANY, catalogueText("Dialog", "Defaults"), wxPoint(10, 315), wxSize(80, 25));
  auto* ok = new wxButton(base, wxID_OK, catalogueText("Dialog", "OK"), wxPoint(420, 315), wxSize(80, 25));
  auto* cancel = new wxButton(base, wxID_CANCEL, catalogueText("Dialog", "Cancel"), wxPoint(510, 315), wxSize(80, 25));
  for (wxButton* button : {defaults, ok, cancel}) makeCompact(button);
  probes_.add("Defaults", defaults, [] { return std::string(); });
  probes_.add("OK", ok, [] { return std::string(); });
  probes_.add("Cancel", cancel, [] { return std::string(); });
  probes_.add("categories", categories_, [this] { return std::to_string(page_); });
  probes_.add("title", pageTitle_, [this] { return pageTitle_->GetLabel().ToStdString(wxConvUTF8); });
  defaults->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onDefaults(); });
  ok->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { onOk(); });
  cancel->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CANCEL); });
  SetEscapeId(wxID_CANCEL);
  wxAcceleratorEntry escape(wxACCEL_NORMAL, WXK_ESCAPE, wxID_CANCEL);
  SetAcceleratorTable(wxAcceleratorTable(1, &escape));
  Bind(
      wxEVT_MENU, [this](wxCommandEvent&) { EndModal(wxID_CANCEL); }, wxID_CANCEL);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndModal(wxID_CANCEL); });

  categories_->Bind(wxEVT_TREE_SEL_CHANGED, [this](wxTreeEvent& event) {
    wxTreeItemIdValue cookie;
    int index = 0;
    for (wxTreeItemId item = categories_->GetFirstChild(categories_->GetRootItem(), cookie); item.IsOk();
         item = categories_->GetNextChild(categories_->GetRootItem(), cookie), ++index)
      if (item == event.GetItem()) selectPage(index);
  });
}

void PreferencesDialog::selectPage(int page) {
  page_ = page;
  pageTitle_->SetLabel(catalogueText("Preferences", kPreferencePages[page]));
  for (int i = 0; i < static_cast<int>(pages_.size()); ++i) pages_[static_cast<std::size_t>(i)]->Show(i == page);
  wxTreeItemIdValue cookie;
  wxTreeItemId item = categories_->GetFirstChild(categories_->GetRootItem(), cookie);
  for (int i = 0; i < page && item.IsOk(); ++i) item = categories_->GetNextChild(categories_->GetRootItem(), cookie);
  if (item.IsOk() && categories_->GetSelection() != item) categories_->SelectItem(item);
}

void PreferencesDialog::applyRules() {
  const int input = inputFormats_->GetSelection();
  const std::string inputFormat =
      input >= 0 ? inputFormats_->GetString(static_cast<unsigned>(input)).Lower().ToStdString(wxConvUTF8) : "";
  for (const auto& [format, panel] : inputPanels_) panel->Show(format == inputFormat);
  const int output = outputFormatSelection();
  for (int i = 0; i < static_cast<int>(outputPanels_.size()); ++i)
    outputPanels_[static_cast<std::size_t>(i)]->Show(i == output);

  const RawRows raw = rawRows(rawLoadAs_->GetSelection());
  rawGeometry_.enable(raw.geometry);
  toneMapping_.enable(raw.toneMapping);
  rotationRows_.enable(rotation_->GetValue());
  resizeRows_.enable(resize_->GetValue());
  thresholdRow_.enable(threshold_->GetValue());
  framePanel_->Show(frameType_->GetSelection() == code(FrameType::Solid));
  textPanel_->Show(watermarkType_->GetSelection() == code(WatermarkType::Text));
  imagePanel_->Show(watermarkType_->GetSelection() == code(WatermarkType::Image));
  textScaleRow_.show(textSize_->GetSelection() == code(StampSize::Scaled));
  imageScaleRow_.show(imageSize_->GetSelection() == code(StampSize::Scaled));
  customTimestampRow_.enable(timestampType_->GetSelection() == code(FileTimestamp::Custom));
}

std::string PreferencesDialog::selectedTheme() const {
  const int selection = themeList_->GetSelection();
  if (selection < 0 || selection >= static_cast<int>(themeKeys_.size())) return {};
  return themeKeys_[static_cast<std::size_t>(selection)];
}

int PreferencesDialog::outputFormatSelection() const {
  const int selection = outputFormats_->GetSelection();
  return selection >= 0 && selection < static_cast<int>(kOutputExtensions.size()) ? selection : -1;
}

void PreferencesDialog::storeControls(Settings& settings) const {
  for (const auto& store : storers_) store(settings);
}

void PreferencesDialog::onOk() {
  Workspace& w = context_.workspace;
  // Worked out before the new theme and size overwrite the old ones.
  const int code = interfaceChangeCode(w.settings.uiTheme, w.settings.uiSize, selectedTheme(),
                                       std::max(iconSizeList_->GetSelection(), 0));
  if (code != 0) w.run.interfaceChangeCode = code;
  storeControls(w.settings);
  saveSettings(w.settings);
  interfaceChanged_(std::max(outputFormatSelection(), 0));
  EndModal(wxID_OK);
}

void PreferencesDialog::onDefaults() {
  if (!context_.boxes.askYesNo(messages().lookUpText("Msg", "Reset to Defaults"),
                               messages().lookUpText("Msg", "Ask reset to defaults"), QuestionIcon::Question))
    return;
  Workspace& w = context_.workspace;
  const std::string theme = selectedTheme();
  const int size = std::max(iconSizeList_->GetSelection(), 0);
  const wxRect desktop = wxDisplay(0u).GetGeometry();
  resetSettings(w.settings, SettingsForm::Window, {desktop.width, desktop.height});
  const int code = interfaceChangeCode(theme, size, w.settings.uiTheme, w.settings.uiSize);
  if (code != 0) w.run.interfaceChangeCode = code;
  saveSettings(w.settings);
  int format = 0;
  if (const auto index = outputFormatIndex(w.settings.outputFormat)) format = static_cast<int>(*index);
  interfaceChanged_(format);
  EndModal(wxID_OK);
}

void PreferencesDialog::run() {
  categories_->SetFocus();
  ShowModal();
}

}  // namespace qm
