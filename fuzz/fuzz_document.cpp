// libFuzzer target of the document reader: structure, layer records,
// descriptors, composition and the merged image, on untrusted bytes. Built
// and run by scripts/fuzz-documents, not by the test suite.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/document/descriptor.h"
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
    // The descriptors of every adjustment and fill, drawn or not.
    for (const qm::PsdLayer& layer : layers) {
      if (!layer.content.present() || layer.content.length > (1u << 20)) continue;
      std::vector<std::uint8_t> block(static_cast<std::size_t>(layer.content.length));
      if (bytes.read(layer.content.offset, block.data(), block.size())) qm::readVersionedDescriptor(block);
    }
    qm::Composite composite;
    qm::composeLayers(bytes, document, layers, composite, qm::ComposeLimits{1u << 20});
  }
  std::vector<qm::Plane> planes;
  qm::decodeMergedImage(bytes, document, document.header.channels, planes);
  return 0;
}
