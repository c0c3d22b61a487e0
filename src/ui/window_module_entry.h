// The door into the window module. The program opens the module only when
// a window is asked for, looks up this one C name in it and calls it with
// the application's records; everything else the module needs it finds in
// the program itself.
#pragma once

#include "ui/window_mode.h"

// The module's file name in the program's modules/ folder.
inline constexpr const char* kWindowModuleName = "quillmark-window.so";
inline constexpr const char* kWindowModuleEntry = "quillmark_run_window_mode";

extern "C" {
// runWindowMode, behind a name the loader can look up.
int quillmark_run_window_mode(const qm::Workspace* workspace, const qm::WindowModeRequest* request);
using QuillmarkWindowModeEntry = decltype(&quillmark_run_window_mode);
}
