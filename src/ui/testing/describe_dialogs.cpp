#include "ui/testing/window_description.h"

#include <algorithm>

#include <gtk/gtk.h>
#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>

#include "ui/dialogs/progress_dialogs.h"
#include "ui/preferences/preferences_dialog.h"

namespace qm {

namespace {

std::string text(const wxString& value) { return value.ToStdString(wxConvUTF8); }

}  // namespace

std::string describeProgressDialog(const ProgressDialog& dialog) {
  if (const auto* list = dynamic_cast<const ListWorkDialog*>(&dialog))
    return "dialogTitle=" + text(list->GetTitle()) + "\ndialogBar=" + std::to_string(list->bar_->GetValue()) + " " +
           std::to_string(list->bar_->GetRange()) + "\n";
  const auto* conversion = dynamic_cast<const ConversionDialog*>(&dialog);
  if (!conversion) return {};
  const ConversionDialog& d = *conversion;
  return "dialogTitle=" + text(d.GetTitle()) + "\ndialogLabel=" + text(d.label_->GetLabel()) +
         "\ndialogBar=" + std::to_string(d.bar_->GetValue()) + " " + std::to_string(d.bar_->GetRange()) +
         "\ndialogOk=" + std::to_string(d.ok_->IsEnabled() ? 1 : 0) +
         "\ndialogCharacterWidth=" + std::to_string(d.characterWidth_) +
         "\ndialogLabelWidth=" + std::to_string(d.label_->GetTextExtent(d.label_->GetLabel()).x) +
         "\ndialogWidth=" + std::to_string(d.GetClientSize().x) +
         "\ndialogTitleWidth=" + std::to_string(titleWidth(d, text(d.GetTitle()))) + "\n";
}

std::string describePreferences(const PreferencesDialog& dialog) {
  std::string out = "preferences=1\n";
  out += "preferencesInner=" + numbers({dialog.GetClientSize().x, dialog.GetClientSize().y}) + "\n";
  out += "preferencesTitle=" + dialog.GetTitle().ToStdString(wxConvUTF8) + "\n";
  for (std::size_t i = 0; i < dialog.pages_.size(); ++i)
    out += "page" + std::to_string(i) + "=" + allocation(dialog.pages_[i]) + "\n";
  // Whether a drop-down has its list open, so that keys can wait for it.
  bool listOpen = false;
  for (const ControlProbes::Probe& p : dialog.probes_.all()) {
    GtkWidget* widget = p.control->GetHandle();
    if (!widget || !GTK_IS_COMBO_BOX(widget)) continue;
    gboolean shown = FALSE;
    g_object_get(widget, "popup-shown", &shown, nullptr);
    listOpen = listOpen || shown;
  }
  out += "preferencesListOpen=" + std::string(listOpen ? "1" : "0") + "\n";
  // Drop-downs narrower than their text needs cut it short.
  for (const ControlProbes::Probe& p : dialog.probes_.all()) {
    GtkWidget* widget = p.control->GetHandle();
    if (!widget || !GTK_IS_COMBO_BOX(widget) || !gtk_widget_get_mapped(widget)) continue;
    int natural = 0;
    gtk_widget_get_preferred_width(widget, nullptr, &natural);
    if (gtk_widget_get_allocated_width(widget) < natural) out += "preferencesNarrow=" + p.name + "\n";
  }
  for (const ControlProbes::Probe& p : dialog.probes_.all()) {
    std::string value = p.value();
    std::replace(value.begin(), value.end(), '\n', '~');
    out += "pref:" + p.name + "=" + value + "|" + std::to_string(p.control->IsEnabled() ? 1 : 0) + "|" +
           std::to_string(p.control->IsShownOnScreen() ? 1 : 0) + "|" + allocation(p.control) + "\n";
  }
  return out;
}

}  // namespace qm
