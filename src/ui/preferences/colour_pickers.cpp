#include "ui/preferences/colour_pickers.h"

#include <algorithm>

#include <gtk/gtk.h>
#include <wx/bmpbuttn.h>
#include <wx/bmpcbox.h>
#include <wx/choice.h>
#include <wx/colordlg.h>
#include <wx/fontdlg.h>
#include <wx/image.h>
#include <wx/textctrl.h>

#include "canvas/font.h"
#include "ui/preferences/preferences_values.h"

namespace qm {

namespace {

wxColour toColour(Rgb colour) { return wxColour(colour.red, colour.green, colour.blue); }

Rgb fromColour(const wxColour& colour) { return {colour.Red(), colour.Green(), colour.Blue()}; }

// The toolkit's colour dialog preset to a colour; nothing when cancelled.
std::optional<Rgb> askColour(wxWindow* owner, Rgb start) {
  wxColourData data;
  data.SetColour(toColour(start));
  wxColourDialog dialog(owner, &data);
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  return fromColour(dialog.GetColourData().GetColour());
}

}  // namespace

wxBitmap colourSwatch(Rgb colour, int width, int height) {
  wxImage image(width, height, false);
  image.SetRGB(wxRect(0, 0, width, height), colour.red, colour.green, colour.blue);
  return wxBitmap(image, 24);
}

wxBitmap framedColourSwatch(Rgb colour) {
  constexpr int kSide = 16;
  const auto darker = [](std::uint8_t value) { return static_cast<unsigned char>(value * 3 / 5); };
  wxImage image(kSide, kSide, false);
  image.SetRGB(wxRect(0, 0, kSide, kSide), darker(colour.red), darker(colour.green), darker(colour.blue));
  image.SetRGB(wxRect(1, 1, kSide - 2, kSide - 2), colour.red, colour.green, colour.blue);
  return wxBitmap(image, 24);
}

void FixedColourRow::show(Rgb colour) {
  button->SetBitmap(colourSwatch(colour, 34, 12));
  text->ChangeValue(wxString::FromUTF8(colourToText(colour)));
}

Rgb FixedColourRow::colour() const { return colourFromText(text->GetValue().ToStdString(wxConvUTF8)); }

void FixedColourRow::choose(wxWindow* owner) {
  const Rgb current = colour();
  const std::optional<Rgb> chosen = askColour(owner, current);
  if (chosen && *chosen != current) show(*chosen);
}

void HistoryColourRow::append(Rgb colour) {
  list->Append(wxString::FromUTF8(colourName(colourToText(colour))), framedColourSwatch(colour));
  colours.push_back(colour);
}

void HistoryColourRow::fill(const std::string& history) {
  list->Clear();
  colours.clear();
  for (const std::string& field : listFields(history)) append(colourFromText(field));
  if (!colours.empty()) list->SetSelection(0);
}

void HistoryColourRow::select(Rgb colour) {
  for (std::size_t i = 0; i < colours.size(); ++i)
    if (colours[i] == colour) {
      list->SetSelection(static_cast<int>(i));
      return;
    }
}

Rgb HistoryColourRow::selected() const {
  const int selection = list->GetSelection();
  if (selection < 0 || selection >= static_cast<int>(colours.size())) return {};
  return colours[static_cast<std::size_t>(selection)];
}

void HistoryColourRow::choose(wxWindow* owner, std::string& history) {
  const std::optional<Rgb> chosen = askColour(owner, selected());
  if (!chosen) return;
  if (addToColourHistory(history, *chosen)) append(*chosen);
  select(*chosen);
}

void chooseWatermarkFont(wxWindow* owner, wxChoice* fontList, wxTextCtrl* sizeField, wxChoice* styleList,
                         std::string& fonts) {
  const int points = leadingInteger(sizeField->GetValue().ToStdString(wxConvUTF8));
  wxFontInfo info(points > 0 ? points : 10);
  // The dialog lists installed families only and selects nothing for a
  // name it does not hold (Arial, Tahoma on most desktops): it opens on the
  // family the watermark would really be drawn with, in the chosen style.
  const std::string stored = fontList->GetStringSelection().ToStdString(wxConvUTF8);
  info.FaceName(wxString::FromUTF8(resolveFontFamily(stored).value_or(stored)));
  const int style = std::max(styleList->GetSelection(), 0);
  info.Bold((style & 1) != 0).Italic((style & 2) != 0);
  wxFontData data;
  data.SetInitialFont(wxFont(info));
  data.EnableEffects(false);
  wxFontDialog dialog(owner, data);
  if (dialog.ShowModal() != wxID_OK) return;
  const wxFont font = dialog.GetFontData().GetChosenFont();
  if (!font.IsOk()) return;
  // The toolkit's font object rounds the size to whole points (10.5 comes
  // back as 11); the dialog itself still holds the tenths, which are cut.
  const int pangoSize = gtk_font_chooser_get_font_size(GTK_FONT_CHOOSER(dialog.m_widget));
  const double chosenPoints =
      pangoSize > 0 ? static_cast<double>(pangoSize) / PANGO_SCALE : font.GetFractionalPointSize();
  const ChosenFont chosen = chosenFont(font.GetFaceName().ToStdString(wxConvUTF8), chosenPoints,
                                       font.GetNumericWeight(), font.GetStyle() == wxFONTSTYLE_ITALIC);
  const wxString face = wxString::FromUTF8(chosen.face);
  if (addToFonts(fonts, chosen.face)) fontList->Append(face);
  fontList->SetStringSelection(face);
  sizeField->ChangeValue(std::to_string(chosen.points));
  styleList->SetSelection(fontStyleCode(chosen.styleFlags));
}

}  // namespace qm
