#include "engine/job.h"

#include "engine/naming.h"
#include "engine/steps.h"
#include "engine/writers.h"
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

JobResult convertFile(const Settings& settings, const RunFormat& format, const JobInput& input,
                      const WatermarkFont* font) {
  JobResult result;
  const std::string& ext = format.extension;

  Bitmap image = loadDocument(input.inputPath);
  result.sourceBitDepth = static_cast<int>(image.bpp());
  if (image.width() == 0 || image.height() == 0) return result;

  image = rotate(std::move(image), settings);
  const int rotatedWidth = static_cast<int>(image.width());
  const int rotatedHeight = static_cast<int>(image.height());
  image = resize(std::move(image), settings, rotatedWidth, rotatedHeight);
  int width = static_cast<int>(image.width());
  int height = static_cast<int>(image.height());
  bool rescaled = false;
  image = capIconSize(std::move(image), ext, rescaled);
  if (rescaled) width = height = 128;
  image = normaliseGreyTypes(std::move(image));
  image = toneMap(std::move(image));
  image = flattenTransparency(std::move(image), ext);
  flip(image, settings);
  image = adjustColours(std::move(image), settings);
  image = makeGreyscale(std::move(image), settings);
  image = threshold(std::move(image), settings);
  image = drawFrame(std::move(image), settings, width, height);

  // The watermark sees the values of this very file, the depth it is about
  // to be written with included.
  const int bitDepth =
      format.bitDepthSetting != 0 ? format.bitDepthSetting : automaticBitDepth(ext, result.sourceBitDepth);
  const NamingValues naming{input.inputPath, ext, bitDepth, width, height, input.randomNumber,
                            input.sequenceNumber};
  image = drawWatermark(std::move(image), WatermarkContext{settings, font, naming}, width, height);

  image = convertBitDepth(std::move(image), ext, bitDepth);
  result.bitDepth = bitDepth;
  result.width = width;
  result.height = height;
  result.outputPath = makeOutputPath(settings, input.outputFolder, input.relativeSubFolder, naming);
  result.temporaryOutputPath = makeTemporaryOutputName(settings, input.outputFolder, input.relativeSubFolder, ext);
  result.written = writeOutput(image, format, bitDepth, settings, result.outputPath, result.temporaryOutputPath);
  return result;
}

}  // namespace qm
