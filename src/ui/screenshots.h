// The screenshot mode: the main window at a fixed place and size with
// sample content, pictured into two JPEG files. Private to the window face.
#pragma once

#include <string>

#include "canvas/picture.h"

namespace qm {

class MainFrame;
struct WindowContext;

// Builds the window, pictures it and writes quillmark1.jpg and its reduced
// copy quillmark1x.jpg into `folder`. No event loop runs and no update
// check is made. Returns the exit code: 1, with a line on stderr, when the
// folder does not exist or a picture cannot be written.
int runScreenshots(WindowContext& context, const std::string& folder);

// Half the picture's width and height (rounded down, at least 1), each
// pixel the mean of the 2 x 2 pixels it stands for.
Picture halfSize(const Picture& picture);

}  // namespace qm
