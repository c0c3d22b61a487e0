// Load: the composite image of a Photoshop document. The format is fixed
// and the content not sniffed; whatever FreeImage cannot read as a
// Photoshop document comes back as no image.
#include "engine/steps/steps.h"

namespace qm {

Bitmap loadDocument(const std::string& path) { return Bitmap(FreeImage_Load(FIF_PSD, path.c_str(), PSD_DEFAULT)); }

}  // namespace qm
