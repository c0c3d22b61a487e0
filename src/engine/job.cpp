// Interim: nothing is converted until the job is built.
#include "engine/job.h"

#include "formats/output_formats.h"

namespace qm {

RunFormat makeRunFormat(const Settings& settings, const std::string& extension) {
  RunFormat format;
  format.extension = extension;
  if (const OutputFormat* record = findOutputFormat(extension)) format.writerId = record->writerId;
  if (const std::int32_t* bpp = bppField(settings, extension)) format.bitDepthSetting = *bpp;
  format.saveFlags = saveFlags(extension, settings);
  return format;
}

JobResult convertFile(const Settings&, const RunFormat&, const JobInput&, const WatermarkFont*) { return {}; }

}  // namespace qm
