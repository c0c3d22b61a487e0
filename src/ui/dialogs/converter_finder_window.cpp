// The Find a File Converter window: two extension fields and Search, which
// sends the cleaned pair to the search page of the web site.

#include <optional>

#include <wx/accel.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/messages.h"
#include "net/converter_search.h"
#include "ui/dialogs/side_windows.h"
#include "ui/toolkit/toolkit_text.h"

namespace qm {

namespace {

std::string fieldText(const wxTextCtrl* field) { return field->GetValue().ToStdString(wxConvUTF8); }

}  // namespace

void runConverterFinder(wxWindow* owner, RunState& run, MessageBoxes& boxes) {
  wxDialog finder(owner, wxID_ANY, catalogueText("Custom-Converter", "Title"), wxDefaultPosition, wxDefaultSize,
                  wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
  finder.SetClientSize(370, 60);
  // The dialog owns its controls.
  new wxStaticText(&finder, wxID_ANY, catalogueText("Custom-Converter", "From"), wxPoint(10, 23), wxSize(40, 20));
  auto* from = new wxTextCtrl(&finder, wxID_ANY, wxEmptyString, wxPoint(50, 20), wxSize(80, 20));
  new wxStaticText(&finder, wxID_ANY, catalogueText("Custom-Converter", "To"), wxPoint(150, 23), wxSize(30, 20));
  auto* to = new wxTextCtrl(&finder, wxID_ANY, wxEmptyString, wxPoint(180, 20), wxSize(80, 20));
  // Not wxID_OK: the dialog would take Escape for a click on it.
  auto* search =
      new wxButton(&finder, wxID_FIND, catalogueText("Custom-Converter", "Search"), wxPoint(280, 18), wxSize(80, 25));
  search->SetDefault();

  std::optional<ConverterSearch> chosen;
  auto onSearch = [&](wxCommandEvent&) {
    const ConverterSearch cleaned = prepareConverterSearch(fieldText(from), fieldText(to));
    run.searchFrom = cleaned.from;
    run.searchTo = cleaned.to;
    if (!cleaned.complete()) {
      boxes.showWarning(messages().lookUpText("Msg", "Empty extensions"));
      return;
    }
    chosen = cleaned;
    finder.EndModal(wxID_OK);
  };
  search->Bind(wxEVT_BUTTON, onSearch);
  // Return searches and Escape closes, whichever control has the focus.
  wxAcceleratorEntry keys[2];
  keys[0].Set(wxACCEL_NORMAL, WXK_RETURN, wxID_FIND);
  keys[1].Set(wxACCEL_NORMAL, WXK_ESCAPE, wxID_CANCEL);
  finder.SetAcceleratorTable(wxAcceleratorTable(2, keys));
  finder.Bind(wxEVT_MENU, onSearch, wxID_FIND);
  finder.Bind(
      wxEVT_MENU, [&finder](wxCommandEvent&) { finder.EndModal(wxID_CANCEL); }, wxID_CANCEL);
  finder.CentreOnParent();
  from->SetFocus();
  finder.ShowModal();
  // The window is gone before the browser comes up.
  if (chosen) searchConverter(*chosen);
}

}  // namespace qm
