// The About window: the banner, the title line and the maker's notice in a
// framed area, and links to the web site and the support address.

#include <wx/accel.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/hyperlink.h>
// The generic control after the common header it builds on.
#include <wx/generic/hyperlink.h>
#include <wx/panel.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "app/messages.h"
#include "app/version.h"
#include "net/links.h"
#include "ui/dialogs/side_windows.h"
#include "ui/toolkit/bitmaps.h"
#include "ui/toolkit/toolkit_text.h"

namespace qm {

namespace {

constexpr int kFrameTop = 40;
// The line under the title line; short enough for its 320 pixels.
constexpr const char* kMakerNotice = "Copyright (c) 2009-2026 Ferroval";

// The site as a reader would type it: without its scheme.
std::string shownSite() {
  std::string site = productSite();
  if (const auto scheme = site.find("://"); scheme != std::string::npos) site.erase(0, scheme + 3);
  return site;
}

// Drawn by the toolkit's own code rather than the desktop's link button, so
// that it keeps its place and size in the fixed layout, and blue in every
// state.
wxGenericHyperlinkCtrl* addLink(wxWindow* parent, const std::string& text, wxPoint at, void (*open)()) {
  auto* link = new wxGenericHyperlinkCtrl(parent, wxID_ANY, wxString::FromUTF8(text), wxString::FromUTF8(text), at,
                                          wxSize(215, 20), wxHL_ALIGN_LEFT | wxNO_BORDER);
  const wxColour blue(0, 0, 255);
  link->SetNormalColour(blue);
  link->SetHoverColour(blue);
  link->SetVisitedColour(blue);
  // Handled here, so the toolkit's own browser start never runs.
  link->Bind(wxEVT_HYPERLINK, [open](wxHyperlinkEvent&) { open(); });
  return link;
}

}  // namespace

void runAboutWindow(wxWindow* owner, const ImageSets& images) {
  wxDialog about(owner, wxID_ANY, catalogueText("About", "Title"), wxDefaultPosition, wxDefaultSize,
                 wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
  about.SetClientSize(360, 240);
  // The dialog owns its controls. The framed area's texts are its own
  // children, so they are drawn on it rather than hidden beneath it; their
  // places are counted from the frame's top.
  new wxStaticBitmap(&about, wxID_ANY, toBitmap(images.aboutBanner, 40), wxPoint(0, 0), wxSize(360, 40));
  auto* frame = new wxPanel(&about, wxID_ANY, wxPoint(0, kFrameTop), wxSize(360, 150), wxBORDER_SIMPLE);
  const long centred = wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE;
  new wxStaticText(frame, wxID_ANY, wxString::FromUTF8(titleLine()), wxPoint(20, 50 - kFrameTop), wxSize(320, 20),
                   centred);
  new wxStaticText(frame, wxID_ANY, wxString::FromUTF8(kMakerNotice), wxPoint(20, 70 - kFrameTop), wxSize(320, 20),
                   centred);
  new wxStaticText(frame, wxID_ANY, catalogueText("About", "Website"), wxPoint(80, 100 - kFrameTop), wxSize(60, 20));
  new wxStaticText(frame, wxID_ANY, catalogueText("About", "Email"), wxPoint(80, 120 - kFrameTop), wxSize(50, 20));
  addLink(frame, shownSite(), wxPoint(140, 100 - kFrameTop), openWebSite);
  addLink(frame, std::string(kSupportAddress), wxPoint(140, 120 - kFrameTop), openSupportMail);
  auto* ok = new wxButton(&about, wxID_OK, catalogueText("Dialog", "OK"), wxPoint(80, 200), wxSize(80, 25));

  // Return and Escape both mean OK, wherever the focus is.
  wxAcceleratorEntry keys[2];
  keys[0].Set(wxACCEL_NORMAL, WXK_RETURN, wxID_OK);
  keys[1].Set(wxACCEL_NORMAL, WXK_ESCAPE, wxID_OK);
  about.SetAcceleratorTable(wxAcceleratorTable(2, keys));
  about.Bind(
      wxEVT_MENU, [&about](wxCommandEvent&) { about.EndModal(wxID_OK); }, wxID_OK);
  about.CentreOnParent();
  ok->SetFocus();
  about.ShowModal();
}

}  // namespace qm
