// The Preferences' colour and font rows: colour swatches, the colour row
// with a fixed colour (a button showing the colour and its colour text),
// the colour row with a history (a drop-down of swatches fed by
// `Font Colors` or `Back Colors`) and the choosers behind their buttons,
// all over the toolkit's own colour and font dialogs. Private to the
// window face.
#pragma once

#include <string>
#include <vector>

#include <wx/bitmap.h>

#include "settings/settings.h"

class wxBitmapButton;
class wxBitmapComboBox;
class wxChoice;
class wxTextCtrl;
class wxWindow;

namespace qm {

// A 24-bit picture of the given size in one colour.
wxBitmap colourSwatch(Rgb colour, int width, int height);
// The 16 x 16 swatch of a colour drop-down item, in a one-pixel frame of a
// darker shade of its colour, so that White and the other light colours
// stand out from the light list they are shown on.
wxBitmap framedColourSwatch(Rgb colour);

// A colour button with its read-only colour text beside it.
struct FixedColourRow {
  wxBitmapButton* button = nullptr;
  wxTextCtrl* text = nullptr;

  void show(Rgb colour);
  Rgb colour() const;
  // The toolkit's colour dialog on the shown colour; a new colour is
  // shown, nothing else changes.
  void choose(wxWindow* owner);
};

// A drop-down of colour swatches fed by a history key.
struct HistoryColourRow {
  wxBitmapComboBox* list = nullptr;
  std::vector<Rgb> colours;  // the colour of each item

  void fill(const std::string& history);
  // Selects the first item of that colour; no such item changes nothing.
  void select(Rgb colour);
  // The colour of the selected item; black when nothing is selected.
  Rgb selected() const;
  // The toolkit's colour dialog on the selected colour. A colour that is
  // new to the history is added to the list and to `history` at once.
  void choose(wxWindow* owner, std::string& history);

 private:
  void append(Rgb colour);
};

// The font chooser of the watermark text: the toolkit's font dialog preset
// to the Font drop-down's face and the size field's points. A face new to
// `fonts` is added to the drop-down and to `fonts` at once; the size field
// and the style drop-down take the chosen size and style.
void chooseWatermarkFont(wxWindow* owner, wxChoice* fontList, wxTextCtrl* sizeField, wxChoice* styleList,
                         std::string& fonts);

}  // namespace qm
