// Pass-through until this step is built.
#include "engine/steps.h"

namespace qm {

Bitmap threshold(Bitmap image, const Settings&) { return image; }

}  // namespace qm
