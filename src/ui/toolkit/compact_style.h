// How the program's controls keep their fixed places under the desktop
// theme. Private to the window face.
#pragma once

class wxStaticText;
class wxWindow;

namespace qm {

// Gives a control the program's compact style class, so the desktop
// theme's paddings do not make it taller than its row; a drop-down's
// cells lose their own padding as well, which is no style matter.
void makeCompact(wxWindow* control);
// The narrow one-item unit box after a number field.
void makeUnitBox(wxWindow* box);
// A scrolling page keeps its scroll bar in view, so it shows that there
// is more below.
void keepScrollBarShown(wxWindow* area);
// A row label: text at the top of its box.
void alignLabel(wxStaticText* label);

}  // namespace qm
