#include "ui/main_window/add_input_chooser.h"

#include <wx/accel.h>
#include <wx/bmpbuttn.h>
#include <wx/dialog.h>
#include <wx/stattext.h>

#include "app/messages.h"
#include "ui/toolkit/bitmaps.h"
#include "ui/toolkit/toolkit_text.h"

namespace qm {

AddInputChoice runAddInputChooser(wxWindow* owner, const ImageSets& images) {
  wxDialog chooser(owner, wxID_ANY, catalogueText("Menu", "Select Input Files"), wxDefaultPosition, wxDefaultSize,
                   wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
  chooser.SetClientSize(270, 160);
  // The dialog owns its controls.
  auto* files =
      new wxBitmapButton(&chooser, wxID_ANY, setBitmap(images.large, "InFiles", 48), wxPoint(30, 30), wxSize(80, 80));
  new wxStaticText(&chooser, wxID_ANY, catalogueText("Menu", "Select Input File"), wxPoint(10, 120), wxSize(120, 30),
                   wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
  auto* folder =
      new wxBitmapButton(&chooser, wxID_ANY, setBitmap(images.large, "InFolder", 48), wxPoint(160, 30), wxSize(80, 80));
  new wxStaticText(&chooser, wxID_ANY, catalogueText("Menu", "Select Input Folder"), wxPoint(140, 120), wxSize(120, 30),
                   wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);

  constexpr int kFiles = wxID_HIGHEST + 1;
  constexpr int kFolder = wxID_HIGHEST + 2;
  files->Bind(wxEVT_BUTTON, [&chooser](wxCommandEvent&) { chooser.EndModal(kFiles); });
  folder->Bind(wxEVT_BUTTON, [&chooser](wxCommandEvent&) { chooser.EndModal(kFolder); });
  // Escape is a shortcut of the chooser's own.
  wxAcceleratorEntry escape(wxACCEL_NORMAL, WXK_ESCAPE, wxID_CANCEL);
  chooser.SetAcceleratorTable(wxAcceleratorTable(1, &escape));
  chooser.Bind(
      wxEVT_MENU, [&chooser](wxCommandEvent&) { chooser.EndModal(wxID_CANCEL); }, wxID_CANCEL);
  chooser.CentreOnParent();
  files->SetFocus();

  switch (chooser.ShowModal()) {
    case kFiles: return AddInputChoice::Files;
    case kFolder: return AddInputChoice::Folder;
    default: return AddInputChoice::None;
  }
}

}  // namespace qm
