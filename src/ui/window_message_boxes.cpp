#include "ui/toolkit_prelude.h"

#include "ui/window_message_boxes.h"

#include <wx/msgdlg.h>
#include <wx/window.h>

#include "app/messages.h"

namespace qm {

namespace {

// Catalogue texts break lines with CR LF; the toolkit would show the CR.
wxString boxText(const std::string& text) {
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
  return wxString::FromUTF8(lines);
}

}  // namespace

int WindowMessageBoxes::show(const std::string& title, const std::string& text, long style) {
  shown_.push_back(title + "|" + boxText(text).ToStdString(wxConvUTF8));
  wxMessageDialog box(wxGetActiveWindow(), boxText(text), wxString::FromUTF8(title), style);
  return box.ShowModal();
}

void WindowMessageBoxes::showWarning(const std::string& text) {
  show(messages().lookUpText("Msg", "Warning"), text, wxOK | wxICON_WARNING);
}

void WindowMessageBoxes::showError(const std::string& text) {
  show(messages().lookUpText("Msg", "Error"), text, wxOK | wxICON_ERROR);
}

void WindowMessageBoxes::showInformation(const std::string& title, const std::string& text) {
  show(title, text, wxOK | wxICON_INFORMATION);
}

bool WindowMessageBoxes::askYesNo(const std::string& title, const std::string& text, QuestionIcon icon) {
  const long iconStyle = icon == QuestionIcon::Question ? wxICON_QUESTION : wxICON_WARNING;
  return show(title, text, wxYES_NO | iconStyle) == wxID_YES;
}

}  // namespace qm
