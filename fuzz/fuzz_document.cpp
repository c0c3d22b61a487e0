// libFuzzer target of the document reader: structure, layer records,
// composition and the merged image, on untrusted bytes. Built and run by
// scripts/fuzz-documents, not by the test suite.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/document/psd_compose.h"
#include "engine/document/psd_pixels.h"
#include "engine/document/psd_structure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const qm::MemoryBytes bytes({data, size});
  qm::PsdDocument document;
  if (qm::readPsdStructure(bytes, document)) return 0;
  // The sizes a header may claim are checked by the job's limits before a
  // composition; here they are kept small so memory stays bounded.
  const std::uint64_t pixels = std::uint64_t{document.header.width} * document.header.height;
  if (pixels > (1u << 20)) return 0;
  std::vector<qm::PsdLayer> layers;
  if (!qm::readPsdLayers(bytes, document, layers)) {
    qm::Composite composite;
    qm::composeLayers(bytes, document, layers, composite, qm::ComposeLimits{1u << 20});
  }
  std::vector<qm::Plane> planes;
  qm::decodeMergedImage(bytes, document, document.header.channels, planes);
  return 0;
}
