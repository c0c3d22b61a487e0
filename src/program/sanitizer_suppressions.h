// Sanitizer builds only: leaks inside the system libraries' caches
// (fontconfig, Pango, GLib, FreeImage's plugins, the window toolkit and
// the X libraries below it) are not the program's.
// Included once by each executable; the sanitizer runtime asks for the
// list itself, so no environment variable has to carry it.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfreeimage\nleak:libIL\nleak:libILU\nleak:libfontconfig\nleak:libpango\n"
         "leak:libglib\nleak:libgobject\nleak:libharfbuzz\nleak:libcairo\nleak:libpixman\n"
         "leak:libfreetype\n"
         "leak:libwx_gtk3u_core\nleak:libwx_baseu\nleak:libgtk-3\nleak:libgdk-3\nleak:libgdk_pixbuf\n"
         "leak:libgio\nleak:libatk\nleak:libX11\nleak:libxcb\nleak:libXi\nleak:libepoxy\nleak:libdbus\n";
}
// The list of suppressions that matched is no output of the program.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
