// The uninstall feedback window: one check box and Next. The uninstaller
// starts it in place of the main window; nothing of the settings is read
// or written.

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/timer.h>

#include "app/messages.h"
#include "net/links.h"
#include "ui/dialogs/side_windows.h"
#include "ui/toolkit/toolkit_text.h"

namespace qm {

void runUninstallFeedback() {
  constexpr int kInnerWidth = 300;
  wxDialog window(nullptr, wxID_ANY, catalogueText("Uninstall", "Title"), wxDefaultPosition, wxDefaultSize,
                  wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
  window.SetClientSize(kInnerWidth, 100);
  // The dialog owns its controls.
  auto* visit =
      new wxCheckBox(&window, wxID_ANY, catalogueText("Uninstall", "Uninstall Text"), wxPoint(30, 20), wxSize(250, 20));
  visit->SetValue(true);
  // The desktop's check mark and font can need more than the 250 pixels;
  // the text then keeps its end, up to the window's edge.
  if (const int wanted = visit->GetBestSize().x; wanted > 250)
    visit->SetSize(wxSize(std::min(wanted, kInnerWidth - 30), 20));
  auto* next = new wxButton(&window, wxID_ANY, catalogueText("Uninstall", "Next"), wxPoint(200, 60), wxSize(80, 25));

  bool openPage = false;
  next->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) {
    openPage = visit->GetValue();
    window.EndModal(wxID_OK);
  });
  // Only Next and the close box end the window; Escape is no answer here.
  window.Bind(wxEVT_CHAR_HOOK, [](wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_ESCAPE) event.Skip();
  });
  window.CentreOnScreen();
  // Before it is shown the toolkit cannot know the desktop's frame around
  // the window, and a busy desktop may tell it a while after the window
  // appears. For the first seconds the window goes back to the middle
  // whenever its framed size changes.
  wxTimer settle(&window);
  wxSize centredSize;
  int ticksLeft = 60;
  window.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    if (const wxSize framed = window.GetSize(); framed != centredSize) {
      centredSize = framed;
      window.CentreOnScreen();
    }
    if (--ticksLeft == 0) settle.Stop();
  });
  window.Bind(wxEVT_SHOW, [&](wxShowEvent& event) {
    event.Skip();
    if (event.IsShown()) settle.Start(50);
  });
  next->SetFocus();
  window.ShowModal();
  if (openPage) openUninstallPage();
}

}  // namespace qm
