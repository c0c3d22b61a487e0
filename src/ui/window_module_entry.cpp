#include "ui/window_module_entry.h"

extern "C" int quillmark_run_window_mode(const qm::Workspace* workspace, const qm::WindowModeRequest* request) {
  return qm::runWindowMode(*workspace, *request);
}
