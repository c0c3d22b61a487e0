// The Add Input chooser: a small window that offers adding files or a
// folder, each by a large picture button. Private to the window face.
#pragma once

#include "themes/image_sets.h"

class wxWindow;

namespace qm {

enum class AddInputChoice { None, Files, Folder };

// Shows the chooser centred on `owner`, which stays disabled while it is
// open; Escape and the close box choose nothing.
AddInputChoice runAddInputChooser(wxWindow* owner, const ImageSets& images);

}  // namespace qm
