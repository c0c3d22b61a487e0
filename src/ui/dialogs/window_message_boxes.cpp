#include "ui/dialogs/window_message_boxes.h"

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/window.h>

#include <algorithm>

#include "app/messages.h"

namespace qm {

namespace {

// Catalogue texts break lines with CR LF; the toolkit would show the CR.
std::string boxText(const std::string& text) {
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
  return lines;
}

using BoxKind = WindowMessageBoxes::Kind;
enum class BoxButtons { Ok, YesNo };

struct BoxLook {
  BoxKind kind;
  GtkMessageType type;
  const char* iconName;  // from the desktop's icon theme
};

constexpr BoxLook kLooks[] = {
    {BoxKind::Warning, GTK_MESSAGE_WARNING, "dialog-warning"},
    {BoxKind::Error, GTK_MESSAGE_ERROR, "dialog-error"},
    {BoxKind::Information, GTK_MESSAGE_INFO, "dialog-information"},
    {BoxKind::Question, GTK_MESSAGE_QUESTION, "dialog-question"},
};

enum class Answer { Ok, Yes, No };

// The desktop's own message dialog, built here rather than through the
// toolkit's message box because that one leaves out the icon: GTK 3 shows
// a message dialog's picture only when it is given one. The answers are
// those of the toolkit's box: Yes is the default button, and Escape or the
// close box mean No.
class MessageDialog {
 public:
  MessageDialog(GtkWindow* owner, const std::string& title, const std::string& text, BoxKind kind, BoxButtons buttons) {
    const BoxLook& look = *std::ranges::find(kLooks, kind, &BoxLook::kind);
    widget_ =
        gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, look.type,
                               buttons == BoxButtons::Ok ? GTK_BUTTONS_OK : GTK_BUTTONS_YES_NO, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(widget_), title.c_str());
    iconName_ = look.iconName;
    icon_ = gtk_image_new_from_icon_name(look.iconName, GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(icon_, GTK_ALIGN_START);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    // The one way GTK 3 offers to put the picture beside the text; the
    // dialog keeps the image it is handed.
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(widget_), icon_);
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_widget_show(icon_);
    gtk_dialog_set_default_response(GTK_DIALOG(widget_),
                                    buttons == BoxButtons::Ok ? GTK_RESPONSE_OK : GTK_RESPONSE_YES);
  }
  MessageDialog(const MessageDialog&) = delete;
  MessageDialog& operator=(const MessageDialog&) = delete;
  ~MessageDialog() { gtk_widget_destroy(widget_); }

  // How the icon came out while the box was up (it stays up until the
  // box is destroyed).
  std::string describeIcon() const {
    GtkAllocation area{};
    gtk_widget_get_allocation(icon_, &area);
    GtkIconInfo* found =
        gtk_icon_theme_lookup_icon(gtk_icon_theme_get_default(), iconName_, area.width, GtkIconLookupFlags(0));
    if (found) g_object_unref(found);
    return std::string(iconName_) + " " + (gtk_widget_get_mapped(icon_) ? "1 " : "0 ") + std::to_string(area.width) +
           " " + std::to_string(area.height) + (found ? " 1" : " 0");
  }

  Answer run() {
    const gint response = gtk_dialog_run(GTK_DIALOG(widget_));
    if (response == GTK_RESPONSE_YES) return Answer::Yes;
    if (response == GTK_RESPONSE_OK) return Answer::Ok;
    return Answer::No;
  }

 private:
  GtkWidget* widget_ = nullptr;
  GtkWidget* icon_ = nullptr;
  const char* iconName_ = "";
};

// The program's active window owns the box, or its main window when none
// of its windows is active (a box that comes while the user works in
// another program); its toolkit widget is the desktop window the box
// stays above.
GtkWindow* ownerWindow() {
  wxWindow* owner = wxGetActiveWindow();
  if (!owner && wxTheApp) owner = wxTheApp->GetTopWindow();
  if (owner) owner = wxGetTopLevelParent(owner);
  GtkWidget* widget = owner && owner->IsShown() ? owner->GetHandle() : nullptr;
  return widget && GTK_IS_WINDOW(widget) ? GTK_WINDOW(widget) : nullptr;
}

}  // namespace

bool WindowMessageBoxes::show(const std::string& title, const std::string& text, Kind kind, bool yesNo) {
  const std::string lines = boxText(text);
  shown_.push_back(title + "|" + lines);
  MessageDialog box(ownerWindow(), title, lines, kind, yesNo ? BoxButtons::YesNo : BoxButtons::Ok);
  const Answer answer = box.run();
  icons_.push_back(box.describeIcon());
  return answer == Answer::Yes;
}

void WindowMessageBoxes::showWarning(const std::string& text) {
  show(messages().lookUpText("Msg", "Warning"), text, BoxKind::Warning, false);
}

void WindowMessageBoxes::showError(const std::string& text) {
  show(messages().lookUpText("Msg", "Error"), text, BoxKind::Error, false);
}

void WindowMessageBoxes::showInformation(const std::string& title, const std::string& text) {
  show(title, text, BoxKind::Information, false);
}

bool WindowMessageBoxes::askYesNo(const std::string& title, const std::string& text, QuestionIcon icon) {
  const BoxKind kind = icon == QuestionIcon::Question ? BoxKind::Question : BoxKind::Warning;
  return show(title, text, kind, true);
}

}  // namespace qm
