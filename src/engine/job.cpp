#include "engine/job.h"

#include <array>
#include <string_view>

#include "engine/naming.h"
#include "engine/steps/steps.h"
#include "engine/watermark/watermark.h"
#include "engine/writers/writers.h"
#include "formats/output_formats.h"
#include "platform/text.h"

namespace qm {

RunFormat makeRunFormat(const Settings& settings, const std::string& extension) {
  RunFormat format;
  format.extension = extension;
  if (const OutputFormat* record = findOutputFormat(extension)) format.writerId = record->writerId;
  if (const std::int32_t* bpp = bppField(settings, extension)) format.bitDepthSetting = *bpp;
  format.saveFlags = saveFlags(extension, settings);
  return format;
}

bool watermarkNeedsListOrder(const Settings& settings) {
  if (settings.doWatermark != 1) return false;
  static constexpr std::array<std::string_view, 8> kCommitTimeValues = {"%n%",  "%rnd%", "%yyyy%", "%mm%",
                                                                        "%dd%", "%hh%",  "%ii%",   "%ss%"};
  for (std::string_view placeholder : kCommitTimeValues)
    if (containsIgnoringCase(settings.text, placeholder)) return true;
  return false;
}

namespace {

NamingValues namingValues(const RunFormat& format, const JobInput& input, int bitDepth, int width, int height) {
  return NamingValues{input.inputPath,    format.extension,    bitDepth, width, height,
                      input.randomNumber, input.sequenceNumber};
}

}  // namespace

RenderResult renderDocument(const Settings& settings, const RunFormat& format, const JobInput& input,
                            const Font* font) {
  RenderResult result;
  const std::string& ext = format.extension;

  Bitmap image = loadDocument(input.inputPath);
  result.sourceBitDepth = static_cast<int>(image.bpp());
  if (image.width() == 0 || image.height() == 0) {
    result.failure = "not a readable Photoshop document";
    return result;
  }

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
  const NamingValues naming = namingValues(format, input, bitDepth, width, height);
  image = drawWatermark(std::move(image), WatermarkContext{settings, font, naming}, width, height);

  image = convertBitDepth(std::move(image), ext, bitDepth);
  result.reachedWrite = true;
  result.bitDepth = bitDepth;
  result.width = width;
  result.height = height;
  result.temporaryOutputPath = makeTemporaryOutputName(settings, input.outputFolder, input.relativeSubFolder, ext);
  result.rendered = writeOutput(image, format, bitDepth, settings, result.temporaryOutputPath);
  if (!result.rendered) result.failure = "the output could not be written";
  return result;
}

JobResult commitOutput(const Settings& settings, const RunFormat& format, const JobInput& input,
                       const RenderResult& rendered) {
  JobResult result;
  result.temporaryOutputPath = rendered.temporaryOutputPath;
  result.sourceBitDepth = rendered.sourceBitDepth;
  result.width = rendered.width;
  result.height = rendered.height;
  result.bitDepth = rendered.bitDepth;
  result.failure = rendered.failure;
  if (!rendered.reachedWrite) return result;

  const NamingValues naming = namingValues(format, input, rendered.bitDepth, rendered.width, rendered.height);
  result.outputPath = makeOutputPath(settings, input.outputFolder, input.relativeSubFolder, naming);
  result.written = replaceOutput(rendered.rendered, rendered.temporaryOutputPath, result.outputPath);
  if (rendered.rendered && !result.written) result.failure = "the output could not be put in place";
  if (result.written) applyFileTimestamp(settings, input.inputPath, result.outputPath);
  return result;
}

JobResult convertFile(const Settings& settings, const RunFormat& format, const JobInput& input, const Font* font) {
  return commitOutput(settings, format, input, renderDocument(settings, format, input, font));
}

}  // namespace qm
