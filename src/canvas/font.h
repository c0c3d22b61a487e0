// The watermark font: a face resolved through fontconfig, with its pixel
// size and style. Placeholder until text drawing is built.
#pragma once

#include <string>

namespace qm {

class WatermarkFont {
 public:
  std::string face;
};

}  // namespace qm
