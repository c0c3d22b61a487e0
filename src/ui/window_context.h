// What the window face works on: the application's records, the pictures
// and the themes, and the message boxes. Private to the window face.
#pragma once

#include "app/message_boxes.h"
#include "engine/batch/run_start.h"
#include "themes/image_sets.h"
#include "themes/themes.h"

namespace qm {

// The window face owns it for the whole run.
struct WindowContext {
  Workspace workspace;
  ImageSets images;
  ThemeList themes;
  MessageBoxes& boxes;
};

}  // namespace qm
