#include "ui/toolkit/toolkit.h"

#include <clocale>

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/display.h>
#include <wx/init.h>
#include <wx/log.h>

namespace qm {

namespace {

// The selectors are 21 pixels high and the small buttons 24 pixels square
// in the window's fixed layout; the desktop theme's paddings would make
// them a good deal taller and push them into the controls below. The
// labels above the selectors get 15 pixels before the selector starts,
// which the desktop's usual 10-point text overruns by its descenders. Only
// the controls that carry the style class are touched.
constexpr const char* kCompactCss = R"css(
combobox.quillmark-compact button.combo,
.quillmark-compact combobox button.combo,
combobox.quillmark-compact entry {
  min-height: 0;
  padding-top: 0;
  padding-bottom: 0;
}
combobox.quillmark-compact cellview {
  min-height: 0;
}
label.quillmark-compact {
  font-size: 9pt;
}
entry.quillmark-compact,
spinbutton.quillmark-compact,
spinbutton.quillmark-compact entry,
.quillmark-compact entry {
  min-height: 0;
  padding-top: 0;
  padding-bottom: 0;
}
spinbutton.quillmark-compact {
  font-size: 9pt;
}
spinbutton.quillmark-compact entry {
  min-width: 0;
  padding-left: 2px;
  padding-right: 0;
}
spinbutton.quillmark-compact button {
  min-height: 0;
  min-width: 0;
  padding: 0;
}
scale.quillmark-compact {
  min-height: 0;
  padding-top: 5px;
  padding-bottom: 5px;
}
scale.quillmark-compact slider {
  min-height: 14px;
  min-width: 14px;
  margin: -5px;
}
combobox.quillmark-unit button.combo {
  padding-left: 3px;
  padding-right: 0;
}
button.quillmark-compact {
  min-height: 0;
  min-width: 0;
  padding: 0 2px;
}
toolbar.quillmark-compact {
  padding: 0;
  min-height: 0;
}
toolbar.quillmark-compact button {
  min-height: 0;
  min-width: 0;
  padding: 2px;
}
)css";

void installCompactStyle() {
  GdkScreen* screen = gdk_screen_get_default();
  if (!screen) return;
  GtkCssProvider* provider = gtk_css_provider_new();
  if (gtk_css_provider_load_from_data(provider, kCompactCss, -1, nullptr))
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  // The screen keeps its own reference for as long as the toolkit lives.
  g_object_unref(provider);
}

}  // namespace

std::unique_ptr<Toolkit> Toolkit::start() {
  // Window positions are part of the window's contract; only X11 lets a
  // program place its own windows.
  gdk_set_allowed_backends("x11");
  // Asked before the toolkit starts: a toolkit that finds no display
  // complains in its own words, which is not the program's one line.
  if (!displayReachable()) return nullptr;
  auto toolkit = std::make_unique<Toolkit>(Key{});

  // The toolkit owns its application object from here on and deletes it
  // at clean-up (or at once when its start fails).
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(toolkit->argumentCount_, toolkit->arguments_)) return nullptr;
  toolkit->started_ = true;
  // The toolkit adopts the user's locale; numbers the program or its
  // libraries write must keep their decimal point whatever it is.
  std::setlocale(LC_NUMERIC, "C");
  toolkit->log_ = std::make_unique<wxLogStderr>();
  // Toolkit complaints go to stderr, never into a box of their own.
  wxLog::SetActiveTarget(toolkit->log_.get());
  installCompactStyle();
  return toolkit;
}

Toolkit::Toolkit(Key) {}

Toolkit::~Toolkit() {
  if (log_) wxLog::SetActiveTarget(nullptr);
  if (started_) wxEntryCleanup();
}

DesktopSize Toolkit::primaryDesktop() const {
  const wxRect area = wxDisplay(0u).GetGeometry();
  return {area.width, area.height};
}

}  // namespace qm
