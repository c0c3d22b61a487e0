// Pass-through until this step is built.
#include "engine/steps.h"

namespace qm {

void flip(Bitmap&, const Settings&) {}

}  // namespace qm
