// The nine pages of the Preferences dialog, row by row: where each control
// sits, what it lists and which key it is bound to.

#include <wx/bmpbuttn.h>
#include <wx/bmpcbox.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/datectrl.h>
#include <wx/filedlg.h>
#include <wx/image.h>
#include <wx/panel.h>
#include <wx/scrolwin.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timectrl.h>
#include <wx/valtext.h>

#include <algorithm>
#include <span>
#include <type_traits>

#include "app/messages.h"
#include "formats/input_formats.h"
#include "formats/output_formats.h"
#include "platform/text.h"
#include "ui/preferences/preferences_dialog.h"
#include "ui/toolkit/bitmaps.h"
#include "ui/toolkit/compact_style.h"
#include "ui/toolkit/toolkit_text.h"
#include "ui/window_context.h"

namespace qm {

namespace {

std::string preferencesText(std::string_view key) { return messages().lookUpText("Preferences", key); }

std::vector<std::string> texts(std::span<const std::string_view> keys) {
  std::vector<std::string> items;
  for (std::string_view key : keys) items.push_back(preferencesText(key));
  return items;
}
std::vector<std::string> texts(std::initializer_list<std::string_view> keys) {
  return texts({keys.begin(), keys.size()});
}

// Between the Custom Timestamp's date picker and its time picker.
constexpr int kStampGap = 4;

// The pickers are made of the toolkit's own entries and buttons, each of
// which takes the compact style.
void makeCompactThroughout(wxWindow* control) {
  makeCompact(control);
  for (wxWindow* part : control->GetChildren()) makeCompactThroughout(part);
}

constexpr std::string_view kFrameLoading[] = {"All Frames", "First Frame", "Middle Frame", "Last Frame",
                                              "Random Frame"};
constexpr std::string_view kBoundaries[] = {"Bound Image", "Bound Frame"};
constexpr std::string_view kPositions[] = {"Top-Left",    "Top-Center",    "Top-Right",
                                           "Middle-Left", "Middle-Center", "Middle-Right",
                                           "Bottom-Left", "Bottom-Center", "Bottom-Right"};

}  // namespace

// ---------------------------------------------------------------------------
// Row builders

wxStaticText* PreferencesDialog::label(wxWindow* parent, int y, std::string_view key) {
  auto* text = new wxStaticText(parent, wxID_ANY, wxText(preferencesText(key)), wxPoint(10, y + 3), wxSize(160, 20),
                                wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
  alignLabel(text);
  return text;
}

wxChoice* PreferencesDialog::dropDown(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                                      const std::vector<std::string>& items, int selection, PreferenceRow* row) {
  wxStaticText* text = label(parent, y, labelKey);
  auto* choice = new wxChoice(parent, wxID_ANY, wxPoint(170, y), wxSize(240, 21));
  makeCompact(choice);
  for (const std::string& item : items) choice->Append(wxText(item));
  if (selection >= 0 && selection < static_cast<int>(items.size())) choice->SetSelection(selection);
  if (row) *row = {text, {choice}};
  probes_.add(name, choice, [choice] {
    return std::to_string(choice->GetSelection()) + " " + choice->GetStringSelection().ToStdString(wxConvUTF8);
  });
  return choice;
}

template <typename Code, typename Field, std::size_t N>
wxChoice* PreferencesDialog::codeRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                                     const std::string_view (&itemKeys)[N], Field Settings::*field,
                                     PreferenceRow* row) {
  static_assert(std::is_void_v<Code> || static_cast<int>(N) == codeCount<Code>, "one item for each code");
  wxChoice* choice = dropDown(parent, y, name, labelKey, texts(itemKeys), context_.workspace.settings.*field, row);
  storers_.push_back(
      [choice, field](Settings& s) { s.*field = static_cast<Field>(std::max(choice->GetSelection(), 0)); });
  return choice;
}

wxCheckBox* PreferencesDialog::checkRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                                        std::int8_t Settings::*field, PreferenceRow* row) {
  wxStaticText* text = label(parent, y, labelKey);
  auto* box = new wxCheckBox(parent, wxID_ANY, wxEmptyString, wxPoint(170, y), wxSize(240, 20));
  box->SetValue(context_.workspace.settings.*field != 0);
  if (row) *row = {text, {box}};
  storers_.emplace_back([box, field](Settings& s) { s.*field = box->GetValue() ? 1 : 0; });
  probes_.add(name, box, [box] { return std::to_string(box->GetValue() ? 1 : 0); });
  return box;
}

wxTextCtrl* PreferencesDialog::numberRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                                         std::string_view unitKey, std::int32_t Settings::*field, PreferenceRow* row) {
  wxStaticText* text = label(parent, y, labelKey);
  auto* number = new wxTextCtrl(parent, wxID_ANY, std::to_string(context_.workspace.settings.*field), wxPoint(170, y),
                                wxSize(160, 20), 0, wxTextValidator(wxFILTER_DIGITS));
  makeCompact(number);
  auto* unit = new wxChoice(parent, wxID_ANY, wxPoint(340, y - 1), wxSize(70, 21));
  makeUnitBox(unit);
  unit->Append(wxText(preferencesText(unitKey)));
  unit->SetSelection(0);
  if (row) *row = {text, {number, unit}};
  storers_.emplace_back(
      [number, field](Settings& s) { s.*field = numberFieldValue(number->GetValue().ToStdString(wxConvUTF8)); });
  probes_.add(name, number, [number] { return number->GetValue().ToStdString(wxConvUTF8); });
  probes_.add(name + "#unit", unit, [unit] { return unit->GetStringSelection().ToStdString(wxConvUTF8); });
  return number;
}

ValuePair* PreferencesDialog::pairRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                                      PairRange range, std::int32_t Settings::*field, PreferenceRow* row) {
  wxStaticText* text = label(parent, y, labelKey);
  pairs_.push_back(std::make_unique<ValuePair>(parent, y, range, false, context_.workspace.settings.*field));
  ValuePair* pair = pairs_.back().get();
  if (row) *row = {text, {pair->track(), pair->spin()}};
  storers_.emplace_back([pair, field](Settings& s) { s.*field = pair->value(); });
  probes_.add(name + "#track", pair->track(), [pair] { return std::to_string(pair->track()->GetValue()); });
  probes_.add(name, pair->spin(), [pair] { return pair->spinText(); });
  return pair;
}

FixedColourRow* PreferencesDialog::fixedColourRow(wxWindow* parent, int y, const std::string& name,
                                                  std::string_view labelKey, std::string Settings::*field,
                                                  PreferenceRow* row) {
  wxStaticText* text = label(parent, y, labelKey);
  fixedColours_.push_back(std::make_unique<FixedColourRow>());
  FixedColourRow* colour = fixedColours_.back().get();
  colour->button = new wxBitmapButton(parent, wxID_ANY, colourSwatch({}, 34, 12), wxPoint(170, y - 1), wxSize(44, 22));
  makeCompact(colour->button);
  colour->text = new wxTextCtrl(parent, wxID_ANY, wxEmptyString, wxPoint(220, y), wxSize(190, 20), wxTE_READONLY);
  makeCompact(colour->text);
  colour->show(colourFromText(context_.workspace.settings.*field));
  colour->button->Bind(wxEVT_BUTTON, [this, colour](wxCommandEvent&) { colour->choose(this); });
  if (row) *row = {text, {colour->button, colour->text}};
  storers_.emplace_back([colour, field](Settings& s) { s.*field = colourToText(colour->colour()); });
  probes_.add(name, colour->text, [colour] { return colour->text->GetValue().ToStdString(wxConvUTF8); });
  probes_.add(name + "#button", colour->button, [] { return std::string(); });
  return colour;
}

HistoryColourRow* PreferencesDialog::historyColourRow(wxWindow* parent, int y, const std::string& name,
                                                      std::string_view labelKey, std::string Settings::*history,
                                                      std::string Settings::*field) {
  label(parent, y, labelKey);
  historyColours_.push_back(std::make_unique<HistoryColourRow>());
  HistoryColourRow* colour = historyColours_.back().get();
  colour->list = new wxBitmapComboBox(parent, wxID_ANY, wxEmptyString, wxPoint(170, y), wxSize(214, 21), 0, nullptr,
                                      wxCB_READONLY);
  makeCompact(colour->list);
  Settings& settings = context_.workspace.settings;
  colour->fill(settings.*history);
  colour->select(colourFromText(settings.*field));
  auto* more = new wxButton(parent, wxID_ANY, "...", wxPoint(389, y - 1), wxSize(22, 22));
  makeCompact(more);
  more->Bind(wxEVT_BUTTON,
             [this, colour, history](wxCommandEvent&) { colour->choose(this, context_.workspace.settings.*history); });
  storers_.emplace_back([colour, field](Settings& s) { s.*field = colourToText(colour->selected()); });
  probes_.add(name, colour->list, [colour] {
    return std::to_string(colour->list->GetSelection()) + " " + colourToText(colour->selected()) + " " +
           std::to_string(colour->list->GetCount()) + " " + colour->list->GetStringSelection().ToStdString(wxConvUTF8);
  });
  probes_.add(name + "#more", more, [] { return std::string(); });
  // The selected item's swatch: the colours of its corner and its middle.
  probes_.add(name + "#swatch", colour->list, [colour] {
    const int selection = colour->list->GetSelection();
    if (selection < 0) return std::string();
    const wxImage picture = colour->list->GetItemBitmap(static_cast<unsigned>(selection)).ConvertToImage();
    const auto at = [&picture](int column, int row) {
      return colourToText({picture.GetRed(column, row), picture.GetGreen(column, row), picture.GetBlue(column, row)});
    };
    return at(0, 0) + " " + at(picture.GetWidth() / 2, picture.GetHeight() / 2);
  });
  return colour;
}

wxTextCtrl* PreferencesDialog::textRow(wxWindow* parent, int y, const std::string& name, std::string_view labelKey,
                                       int width, std::string Settings::*field) {
  label(parent, y, labelKey);
  auto* text =
      new wxTextCtrl(parent, wxID_ANY, wxText(context_.workspace.settings.*field), wxPoint(170, y), wxSize(width, 20));
  makeCompact(text);
  storers_.emplace_back(
      [text, field](Settings& s) { s.*field = cleanTypedText(text->GetValue().ToStdString(wxConvUTF8)); });
  probes_.add(name, text, [text] { return text->GetValue().ToStdString(wxConvUTF8); });
  return text;
}

wxWindow* PreferencesDialog::scrollArea(wxWindow* parent, int x, int y, int width, int height, int innerHeight) {
  auto* area = new wxScrolledWindow(parent, wxID_ANY, wxPoint(x, y), wxSize(width, height), wxBORDER_NONE | wxVSCROLL);
  area->SetVirtualSize(420, innerHeight);
  area->SetScrollRate(10, 10);
  keepScrollBarShown(area);
  return area;
}

// ---------------------------------------------------------------------------
// Pages

void PreferencesDialog::buildGeneral(wxWindow* page) {
  Settings& s = context_.workspace.settings;
  // The one language; OK stores "en" whatever the file held.
  dropDown(page, 10, "General/Language", "Language", {"English"}, 0);
  storers_.emplace_back([](Settings& settings) { settings.language = "en"; });
  wxChoice* range = dropDown(
      page, 40, "General/Update Range", "Check For Updates",
      texts({"Every day", "Every week", "Every month", "Every 3 months", "Every 6 months", "Never"}), s.updateRange);
  storers_.emplace_back([range](Settings& settings) { settings.updateRange = std::max(range->GetSelection(), 0); });
  checkRow(page, 70, "General/Save Window Position", "Save window position", &Settings::saveWindowPosition);
}

void PreferencesDialog::buildInterface(wxWindow* page) {
  Settings& s = context_.workspace.settings;
  std::vector<std::string> names;
  int selection = 0;
  if (context_.themes.empty()) {
    names.push_back(preferencesText("None"));
  } else {
    std::vector<std::pair<std::string, std::string>> themes;
    for (const auto& [key, name] : context_.themes.displayNames)
      if (!name.empty()) themes.emplace_back(key, name);
    std::stable_sort(themes.begin(), themes.end(),
                     [](const auto& a, const auto& b) { return asciiUpper(a.first) < asciiUpper(b.first); });
    for (const auto& [key, name] : themes) {
      if (key == s.uiTheme) selection = static_cast<int>(names.size());
      themeKeys_.push_back(key);
      names.push_back(name);
    }
  }
  themeList_ = dropDown(page, 10, "Interface/UI Theme", "UI Theme", names, selection);
  storers_.emplace_back([this](Settings& settings) { settings.uiTheme = selectedTheme(); });
  iconSizeList_ = codeRow(page, 40, "Interface/UI Size", "UI Size", {"Small", "Medium", "Large", "Extra Large", "Huge"},
                          &Settings::uiSize);
}

void PreferencesDialog::buildInput(wxWindow* page) {
  Settings& s = context_.workspace.settings;
  label(page, 10, "Input Format");
  inputFormats_ =
      new wxBitmapComboBox(page, wxID_ANY, wxEmptyString, wxPoint(170, 10), wxSize(240, 21), 0, nullptr, wxCB_READONLY);
  makeCompact(inputFormats_);
  const wxBitmap icon = setBitmap(context_.images.menu, "New");
  std::vector<std::string> extensions;
  for (std::string_view extension : inputTypeList()) {
    if (extension.empty()) continue;
    inputFormats_->Append(wxText(asciiUpper(extension)), icon);
    extensions.emplace_back(extension);
    if (extension == s.inputFormat) inputFormats_->SetSelection(static_cast<int>(extensions.size()) - 1);
  }
  storers_.emplace_back([this, extensions](Settings& settings) {
    const int selection = inputFormats_->GetSelection();
    if (selection >= 0 && selection < static_cast<int>(extensions.size()))
      settings.inputFormat = extensions[static_cast<std::size_t>(selection)];
  });
  probes_.add("Input/Format", inputFormats_, [this] {
    return std::to_string(inputFormats_->GetCount()) + " " +
           inputFormats_->GetStringSelection().ToStdString(wxConvUTF8);
  });
  inputFormats_->Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) { applyRules(); });

  const auto panel = [&](const char* format) {
    auto* p = new wxPanel(page, wxID_ANY, wxPoint(0, 40), wxSize(450, 215));
    inputPanels_.emplace_back(format, p);
    return p;
  };
  codeRow(panel("dds"), 10, "Input/dds/Load As", "Load As", {"Auto", "BGRA", "RGBA"}, &Settings::ddsLoadAs);
  codeRow(panel("gif"), 10, "Input/gif/Frame Loading", "Frame Loading", kFrameLoading, &Settings::gifFrameLoading);
  codeRow(panel("ico"), 10, "Input/ico/Frame Loading", "Frame Loading", kFrameLoading, &Settings::icoFrameLoading);
  wxWindow* raw = panel("raw");
  rawLoadAs_ = codeRow(raw, 10, "Input/raw/Load As", "Load As", {"Auto", "RGB8", "RGB16", "RGB24", "RGB48HS", "RGB48"},
                       &Settings::rawLoadAs);
  PreferenceRow header, width, height;
  numberRow(raw, 40, "Input/raw/Header Size", "Header Size", "Bytes", &Settings::rawHeaderSize, &header);
  numberRow(raw, 70, "Input/raw/Image Width", "Image Width", "Pixels", &Settings::rawImageWidth, &width);
  numberRow(raw, 100, "Input/raw/Image Height", "Image Height", "Pixels", &Settings::rawImageHeight, &height);
  rawGeometry_ = header;
  for (const PreferenceRow* r : {&width, &height}) {
    rawGeometry_.controls.push_back(r->label);
    rawGeometry_.controls.insert(rawGeometry_.controls.end(), r->controls.begin(), r->controls.end());
  }
  codeRow(raw, 130, "Input/raw/Tone Mapping", "Tone Mapping",
          {"None", "Linear", "Adaptive Logarithmic", "DR Reduction", "Gradient Domain"}, &Settings::rawToneMapping,
          &toneMapping_);
  rawLoadAs_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { applyRules(); });
  codeRow(panel("tiff"), 10, "Input/tiff/Frame Loading", "Frame Loading", kFrameLoading, &Settings::tiffFrameLoading);
}

void PreferencesDialog::buildOutput(wxWindow* page) {
  Settings& s = context_.workspace.settings;
  label(page, 10, "Output Format");
  outputFormats_ =
      new wxBitmapComboBox(page, wxID_ANY, wxEmptyString, wxPoint(170, 10), wxSize(240, 21), 0, nullptr, wxCB_READONLY);
  makeCompact(outputFormats_);
  const wxBitmap icon = setBitmap(context_.images.menu, "New");
  for (std::size_t i = 0; i < kOutputExtensions.size(); ++i) {
    outputFormats_->Append(wxText(asciiUpper(kOutputExtensions[i])), icon);
    if (kOutputExtensions[i] == s.outputFormat) outputFormats_->SetSelection(static_cast<int>(i));
  }
  storers_.emplace_back([this](Settings& settings) {
    const int selection = outputFormatSelection();
    if (selection >= 0) settings.outputFormat = std::string(kOutputExtensions[static_cast<std::size_t>(selection)]);
  });
  probes_.add("Output/Format", outputFormats_, [this] {
    return std::to_string(outputFormats_->GetCount()) + " " +
           outputFormats_->GetStringSelection().ToStdString(wxConvUTF8);
  });
  outputFormats_->Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) { applyRules(); });

  for (std::string_view extension : kOutputExtensions) {
    auto* panel = new wxPanel(page, wxID_ANY, wxPoint(0, 40), wxSize(450, 215));
    outputPanels_.push_back(panel);
    const std::string prefix = "Output/" + std::string(extension) + "/";
    const std::vector<int> depths = permittedBitDepths(extension);
    std::vector<std::string> items{preferencesText("Auto")};
    for (int depth : depths) items.push_back(std::to_string(depth));
    const std::optional<int> selected = bppSelection(depths, *bppField(s, extension));
    wxChoice* bpp = dropDown(panel, 10, prefix + "Bits Per Pixel", "Bits Per Pixel", items, selected.value_or(-1));
    storers_.emplace_back([bpp, depths, extension](Settings& settings) {
      *bppField(settings, extension) = bppValue(depths, bpp->GetSelection());
    });

    if (extension == "bmp") {
      codeRow(panel, 40, prefix + "Compression", "Compression", {"None", "RLE"}, &Settings::bmpCompression);
      codeRow<ColourTable>(panel, 70, prefix + "Color Table", "Color Table", {"Auto", "Exact"},
                           &Settings::bmpColorTable);
    } else if (extension == "exr") {
      codeRow(panel, 40, prefix + "Compression", "Compression", {"None", "ZIP", "PIZ", "PXR24", "B44"},
              &Settings::exrCompression);
    } else if (extension == "jpg") {
      pairRow(panel, 40, prefix + "Image Quality", "Image Quality", kQualityRange, &Settings::jpgQuality);
      codeRow(panel, 70, prefix + "Chroma Subsampling", "Chroma Subsampling", {"None", "Low", "Medium", "High"},
              &Settings::jpgChroma);
      codeRow(panel, 100, prefix + "Save As", "Save As",
              {"Baseline Standard", "Baseline Simple", "Baseline Optimized", "Progressive"}, &Settings::jpgSaveAs);
    } else if (extension == "pcx") {
      // Always run-length coded; the row only says so.
      dropDown(panel, 40, prefix + "Compression", "Compression", {preferencesText("RLE")}, 0);
    } else if (extension == "png") {
      codeRow(panel, 40, prefix + "Compression", "Compression", {"None", "ZLIB1", "ZLIB6", "ZLIB9"},
              &Settings::pngCompression);
      checkRow(panel, 70, prefix + "Interlaced", "Interlaced", &Settings::pngInterlaced);
    } else if (extension == "tga") {
      codeRow(panel, 40, prefix + "Compression", "Compression", {"None", "RLE"}, &Settings::tgaCompression);
    } else if (extension == "tiff") {
      codeRow(panel, 40, prefix + "Compression", "Compression",
              {"None", "CCITTFAX3", "CCITTFAX4", "PACKBITS", "DEFLATE", "ADOBEDEFLATE", "LZW", "JPEG", "LOGLUV"},
              &Settings::tiffCompression);
      codeRow(panel, 70, prefix + "Color Model", "Color Model", {"RGB", "CMYK"}, &Settings::tiffColorModel);
    }
  }
}

void PreferencesDialog::buildTransform(wxWindow* page) {
  rotation_ = checkRow(page, 10, "Transform/Image Rotation", "Image Rotation", &Settings::doImageRotation);
  PreferenceRow type, angle, colour;
  codeRow<RotationType>(page, 40, "Transform/Rotation Type", "Rotation Type", {"Simple Rotation", "Advanced Rotation"},
                        &Settings::imageRotationType, &type);
  pairRow(page, 70, "Transform/Rotation Angle", "Rotation Angle", kAngleRange, &Settings::imageRotation, &angle);
  fixedColourRow(page, 100, "Transform/Background Color", "Background Color", &Settings::imageRotationBackColor,
                 &colour);
  rotationRows_ = {};
  for (const PreferenceRow* r : {&type, &angle, &colour}) {
    rotationRows_.controls.push_back(r->label);
    rotationRows_.controls.insert(rotationRows_.controls.end(), r->controls.begin(), r->controls.end());
  }
  rotation_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { applyRules(); });

  resize_ = checkRow(page, 130, "Transform/Image Resize", "Image Resize", &Settings::doImageResize);
  PreferenceRow width, height, keep, resizeType, algorithm;
  numberRow(page, 160, "Transform/Image Width", "Image Width", "Pixels", &Settings::imageWidth, &width);
  numberRow(page, 190, "Transform/Image Height", "Image Height", "Pixels", &Settings::imageHeight, &height);
  // The width and height rows have a real unit choice instead of a unit
  // box: replace the one-item boxes numberRow made.
  // The transform page scrolls: its inner width ends at 420.
  constexpr int kUnitRoom = 420 - 340;
  const auto realUnit = [&](PreferenceRow& row, int y, const std::string& name, SmallCode Settings::*field) {
    wxWindow* box = row.controls.back();
    probes_.remove(box);
    box->Destroy();
    auto* unit = new wxChoice(page, wxID_ANY, wxPoint(340, y - 1), wxSize(70, 21));
    makeUnitBox(unit);
    for (const std::string& item : texts({"Pixels", "Percent"})) unit->Append(wxText(item));
    // Wide enough for "percent" whole, as far as the page leaves room
    // before its scroll bar.
    unit->SetSize(340, y - 1, std::clamp(unit->GetBestSize().x, 70, kUnitRoom), 21);
    unit->SetSelection(context_.workspace.settings.*field);
    row.controls.back() = unit;
    storers_.emplace_back(
        [unit, field](Settings& s) { s.*field = static_cast<SmallCode>(std::max(unit->GetSelection(), 0)); });
    probes_.add(name + "#unit", unit, [unit] { return std::to_string(unit->GetSelection()); });
  };
  realUnit(width, 160, "Transform/Image Width", &Settings::imageWidthUnit);
  realUnit(height, 190, "Transform/Image Height", &Settings::imageHeightUnit);
  checkRow(page, 220, "Transform/Keep Aspect Ratio", "Keep Aspect Ratio", &Settings::keepAspectRatio, &keep);
  codeRow<ResizeType>(page, 250, "Transform/Resize Type", "Resize Type", {"All Images", "Large Images"},
                      &Settings::imageResizeType, &resizeType);
  codeRow(page, 280, "Transform/Resize Algorithm", "Resize Algorithm",
          {"Box", "Bilinear", "Bspline", "Bicubic", "Catmullrom", "Lanczos"}, &Settings::imageResizeAlgorithm,
          &algorithm);
  resizeRows_ = {};
  for (const PreferenceRow* r : {&width, &height, &keep, &resizeType, &algorithm}) {
    resizeRows_.controls.push_back(r->label);
    resizeRows_.controls.insert(resizeRows_.controls.end(), r->controls.begin(), r->controls.end());
  }
  resize_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { applyRules(); });
  checkRow(page, 310, "Transform/Flip Horizontal", "Image Flip Horizontal", &Settings::doImageFlipHorizontal);
  checkRow(page, 340, "Transform/Flip Vertical", "Image Flip Vertical", &Settings::doImageFlipVertical);
}

void PreferencesDialog::buildAdjustment(wxWindow* page) {
  Settings& s = context_.workspace.settings;
  brightness_ =
      pairRow(page, 10, "Adjustment/Image Brightness", "Image Brightness", kPercentRange, &Settings::imageBrightness);
  contrast_ = pairRow(page, 40, "Adjustment/Image Contrast", "Image Contrast", kPercentRange, &Settings::imageContrast);
  label(page, 70, "Image Gamma");
  pairs_.push_back(std::make_unique<ValuePair>(page, 70, kGammaRange, true, gammaHundredths(s.imageGamma)));
  gamma_ = pairs_.back().get();
  storers_.emplace_back([this](Settings& settings) { settings.imageGamma = gammaFromHundredths(gamma_->value()); });
  probes_.add("Adjustment/Image Gamma#track", gamma_->track(),
              [this] { return std::to_string(gamma_->track()->GetValue()); });
  probes_.add("Adjustment/Image Gamma", gamma_->spin(), [this] { return gamma_->spinText(); });
  invert_ = checkRow(page, 100, "Adjustment/Image Invert", "Image Invert", &Settings::imageInvert);
  checkRow(page, 130, "Adjustment/Image Greyscale", "Image Greyscale", &Settings::doImageGreyscale);
  threshold_ = checkRow(page, 160, "Adjustment/Image Threshold", "Image Threshold", &Settings::doImageThreshold);
  pairRow(page, 190, "Adjustment/Threshold Level", "Threshold Level", kThresholdRange, &Settings::imageThreshold,
          &thresholdRow_);
  threshold_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { applyRules(); });
  // Stored after the four values it follows.
  storers_.emplace_back([this](Settings& settings) {
    settings.doImageColorCorrection =
        colourCorrectionNeeded(brightness_->value(), contrast_->value(), gamma_->value(), invert_->GetValue()) ? 1 : 0;
  });
}

void PreferencesDialog::buildFramePage(wxWindow* page) {
  frameType_ =
      codeRow<FrameType>(page, 10, "Frame/Frame Type", "Frame Type", {"None", "Frame Solid"}, &Settings::doFrame);
  frameType_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { applyRules(); });
  framePanel_ = scrollArea(page, 0, 40, 450, 215, 310);
  wxWindow* p = framePanel_;
  numberRow(p, 10, "Frame/Left", "Left", "Pixels", &Settings::solidLeft);
  numberRow(p, 40, "Frame/Right", "Right", "Pixels", &Settings::solidRight);
  numberRow(p, 70, "Frame/Top", "Top", "Pixels", &Settings::solidTop);
  numberRow(p, 100, "Frame/Bottom", "Bottom", "Pixels", &Settings::solidBottom);
  fixedColourRow(p, 130, "Frame/Left Color", "Left Color", &Settings::solidLeftColor);
  fixedColourRow(p, 160, "Frame/Right Color", "Right Color", &Settings::solidRightColor);
  fixedColourRow(p, 190, "Frame/Top Color", "Top Color", &Settings::solidTopColor);
  fixedColourRow(p, 220, "Frame/Bottom Color", "Bottom Color", &Settings::solidBottomColor);
  pairRow(p, 250, "Frame/Opacity", "Opacity", kOpacityRange, &Settings::solidOpacity);
}

void PreferencesDialog::buildWatermark(wxWindow* page) {
  watermarkType_ = codeRow<WatermarkType>(page, 10, "Watermark/Watermark Type", "Watermark Type",
                                          {"None", "Watermark Text", "Watermark Image"}, &Settings::doWatermark);
  watermarkType_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { applyRules(); });
  textPanel_ = scrollArea(page, 0, 40, 450, 215, 610);
  buildTextPanel(textPanel_);
  imagePanel_ = scrollArea(page, 0, 40, 450, 215, 310);
  buildImagePanel(imagePanel_);
}

void PreferencesDialog::buildTextPanel(wxWindow* p) {
  Settings& s = context_.workspace.settings;
  textRow(p, 10, "Watermark/Text", "Text", 240, &Settings::text);

  label(p, 40, "Font");
  if (s.fonts.empty()) s.fonts = s.font;
  fontList_ = new wxChoice(p, wxID_ANY, wxPoint(170, 40), wxSize(214, 21));
  makeCompact(fontList_);
  for (const std::string& face : listFields(s.fonts)) fontList_->Append(wxText(face));
  if (fontList_->GetCount() > 0) fontList_->SetSelection(0);
  for (unsigned i = 0; i < fontList_->GetCount(); ++i)
    if (fontList_->GetString(i).IsSameAs(wxText(s.font), false)) {
      fontList_->SetSelection(static_cast<int>(i));
      break;
    }
  auto* fontButton = new wxButton(p, wxID_ANY, "...", wxPoint(389, 39), wxSize(22, 22));
  makeCompact(fontButton);
  fontButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    chooseWatermarkFont(this, fontList_, fontSize_, fontStyle_, context_.workspace.settings.fonts);
  });
  storers_.emplace_back(
      [this](Settings& settings) { settings.font = fontList_->GetStringSelection().ToStdString(wxConvUTF8); });
  probes_.add("Watermark/Font", fontList_, [this] {
    return std::to_string(fontList_->GetSelection()) + " " + std::to_string(fontList_->GetCount()) + " " +
           fontList_->GetStringSelection().ToStdString(wxConvUTF8);
  });
  probes_.add("Watermark/Font#more", fontButton, [] { return std::string(); });

  fontSize_ = numberRow(p, 70, "Watermark/Font Size", "Font Size", "Points", &Settings::fontSize);
  numberRow(p, 100, "Watermark/Font Leading", "Font Leading", "Pixels", &Settings::fontLeading);
  historyColourRow(p, 130, "Watermark/Font Color", "Font Color", &Settings::fontColors, &Settings::fontColor);
  fontStyle_ = codeRow<FontStyle>(p, 160, "Watermark/Font Style", "Font Style",
                                  {"Regular", "Bold", "Italic", "Bold Italic"}, &Settings::fontStyle);
  codeRow<FontEffect>(p, 190, "Watermark/Font Effect", "Font Effect", {"None", "Underline", "Strikeout"},
                      &Settings::fontEffect);
  checkRow(p, 220, "Watermark/Antialiasing", "Antialiasing", &Settings::textAntialiasing);
  codeRow<TextAlignment>(p, 250, "Watermark/Text Alignment", "Text Alignment",
                         {"Align Left", "Align Center", "Align Right"}, &Settings::textAlignment);
  numberRow(p, 280, "Watermark/Text Padding", "Text Padding", "Pixels", &Settings::textPadding);
  pairRow(p, 310, "Watermark/Text Opacity", "Text Opacity", kOpacityRange, &Settings::textOpacity);
  historyColourRow(p, 340, "Watermark/Background Color", "Background Color", &Settings::backColors,
                   &Settings::backColor);
  pairRow(p, 370, "Watermark/Background Opacity", "Background Opacity", kOpacityRange, &Settings::backOpacity);
  codeRow<Boundary>(p, 400, "Watermark/Text Boundary", "Boundary", kBoundaries, &Settings::textBoundary);
  codeRow(p, 430, "Watermark/Text Position", "Position", kPositions, &Settings::textPosition);
  numberRow(p, 460, "Watermark/Text X-Offset", "X-Offset", "Pixels", &Settings::textXOffset);
  numberRow(p, 490, "Watermark/Text Y-Offset", "Y-Offset", "Pixels", &Settings::textYOffset);
  pairRow(p, 520, "Watermark/Text Rotation", "Rotation Angle", kAngleRange, &Settings::textRotation);
  textSize_ = codeRow(p, 550, "Watermark/Text Size", "Size", {"Fixed"}, &Settings::textSize);
  textSize_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { applyRules(); });
  pairRow(p, 580, "Watermark/Text Scale", "Scale", kScaleRange, &Settings::textScale, &textScaleRow_);
}

void PreferencesDialog::buildImagePanel(wxWindow* p) {
  imageField_ = textRow(p, 10, "Watermark/Image", "Image", 214, &Settings::image);
  auto* browse = new wxButton(p, wxID_ANY, "...", wxPoint(389, 9), wxSize(22, 22));
  makeCompact(browse);
  probes_.add("Watermark/Image#more", browse, [] { return std::string(); });
  browse->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    const auto dialogText = [](std::string_view key) { return messages().lookUpText("Dialog", key); };
    const std::string filter = dialogText("All Supported Files") +
                               "|*.jpg;*.jpeg;*.jpe;*.jif;*.bmp;*.rle;*.dib;*.png"
                               "|JPEG File|*.jpg;*.jpeg;*.jpe;*.jif"
                               "|Windows or OS/2 Bitmap|*.bmp;*.rle;*.dib"
                               "|Portable Network Graphics|*.png|" +
                               dialogText("All Files") + " (*.*)|*.*";
    const std::string start = cleanTypedText(imageField_->GetValue().ToStdString(wxConvUTF8));
    const std::size_t slash = start.rfind('/');
    wxFileDialog dialog(this, wxText(dialogText("Select Watermark Image")),
                        wxText(slash == std::string::npos ? std::string() : start.substr(0, slash)),
                        wxText(slash == std::string::npos ? start : start.substr(slash + 1)), wxText(filter),
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() == wxID_OK) imageField_->ChangeValue(dialog.GetPath());
  });
  checkRow(p, 40, "Watermark/Image Greyscale", "Image Greyscale", &Settings::imageGreyscale);
  pairRow(p, 70, "Watermark/Image Opacity", "Opacity", kOpacityRange, &Settings::imageOpacity);
  codeRow<Boundary>(p, 100, "Watermark/Image Boundary", "Boundary", kBoundaries, &Settings::imageBoundary);
  codeRow(p, 130, "Watermark/Image Position", "Position", kPositions, &Settings::imagePosition);
  numberRow(p, 160, "Watermark/Image X-Offset", "X-Offset", "Pixels", &Settings::imageXOffset);
  numberRow(p, 190, "Watermark/Image Y-Offset", "Y-Offset", "Pixels", &Settings::imageYOffset);
  pairRow(p, 220, "Watermark/Image Rotation", "Rotation Angle", kAngleRange, &Settings::watermarkImageRotation);
  imageSize_ = codeRow(p, 250, "Watermark/Image Size", "Size", {"Fixed"}, &Settings::imageSize);
  imageSize_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { applyRules(); });
  pairRow(p, 280, "Watermark/Image Scale", "Scale", kScaleRange, &Settings::imageScale, &imageScaleRow_);
}

DateFields PreferencesDialog::shownStamp() const {
  const wxDateTime day = stampDate_->GetValue();
  const wxDateTime time = stampTime_->GetValue();
  return {day.GetYear(),   static_cast<int>(day.GetMonth()) + 1, day.GetDay(), time.GetHour(), time.GetMinute(),
          time.GetSecond()};
}

void PreferencesDialog::buildAdvanced(wxWindow* page) {
  Settings& s = context_.workspace.settings;
  textRow(page, 10, "Advanced/Filename Mask", "Filename Mask", 240, &Settings::filenameMask);
  timestampType_ = codeRow<FileTimestamp>(page, 40, "Advanced/File Timestamp", "File Timestamp",
                                          {"Current", "Original", "Custom"}, &Settings::fileTimestamp);
  timestampType_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { applyRules(); });

  wxStaticText* text = label(page, 70, "Custom Timestamp");
  // The desktop's date picker (a calendar drops down from it) and time
  // picker side by side, where the one date field was, each as wide as it
  // needs. Both show local time as it is, which is how the date counts its
  // seconds.
  const DateFields stored = dateFields(s.customTimestamp);
  const auto month = static_cast<wxDateTime::Month>(stored.month - 1);
  const auto day = static_cast<wxDateTime::wxDateTime_t>(stored.day);
  stampDate_ = new wxDatePickerCtrl(page, wxID_ANY, wxDateTime(day, month, stored.year), wxPoint(170, 70),
                                    wxDefaultSize, wxDP_DROPDOWN | wxDP_SHOWCENTURY);
  stampTime_ =
      new wxTimePickerCtrl(page, wxID_ANY,
                           wxDateTime(day, month, stored.year, static_cast<wxDateTime::wxDateTime_t>(stored.hour),
                                      static_cast<wxDateTime::wxDateTime_t>(stored.minute),
                                      static_cast<wxDateTime::wxDateTime_t>(stored.second)),
                           wxPoint(170, 70));
  makeCompactThroughout(stampDate_);
  // Only its text is compacted: the compact style of its spin buttons'
  // own hidden entry would show it.
  for (wxWindow* part : stampTime_->GetChildren())
    if (dynamic_cast<wxTextCtrl*>(part)) makeCompact(part);
  const int dateWidth = stampDate_->GetBestSize().x;
  stampDate_->SetSize(170, 70, dateWidth, 21);
  stampTime_->SetSize(170 + dateWidth + kStampGap, 70, stampTime_->GetBestSize().x, 21);
  customTimestampRow_ = {text, {stampDate_, stampTime_}};
  storers_.emplace_back([this](Settings& settings) { settings.customTimestamp = dateValue(shownStamp()); });
  probes_.add("Advanced/Custom Timestamp", stampDate_, [this] { return dateText(shownStamp()); });
  probes_.add("Advanced/Custom Timestamp#time", stampTime_, [] { return std::string(); });

  codeRow(page, 100, "Advanced/Out Folders History", "Out Folders History", {"Clean On Exit", "Keep Folders"},
          &Settings::outFoldersHistory);
  label(page, 130, "Out Folders Number");
  pairs_.push_back(std::make_unique<ValuePair>(page, 130, kFolderCountRange, false, s.outFoldersNumber));
  ValuePair* folders = pairs_.back().get();
  storers_.emplace_back(
      [folders](Settings& settings) { settings.outFoldersNumber = static_cast<SmallCode>(folders->value()); });
  probes_.add("Advanced/Out Folders Number#track", folders->track(),
              [folders] { return std::to_string(folders->track()->GetValue()); });
  probes_.add("Advanced/Out Folders Number", folders->spin(), [folders] { return folders->spinText(); });
  checkRow(page, 160, "Advanced/Keep Subfolders", "Keep Subfolders", &Settings::keepSubfolders);
}

}  // namespace qm
