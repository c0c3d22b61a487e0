#include "engine/job.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/document/colour_profile.h"
#include "engine/library_messages.h"
#include "engine/loaded_picture.h"
#include "engine/naming.h"
#include "engine/steps/steps.h"
#include "engine/watermark/watermark.h"
#include "engine/writers/writers.h"
#include "formats/output_formats.h"
#include "platform/paths.h"
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
  if (as<WatermarkType>(settings.doWatermark) != WatermarkType::Text) return false;
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

namespace {

// The library's own words, when it said something, after a general reason.
std::string withLibraryWords(const std::string& reason, const LibraryMessages& messages) {
  const std::string words = messages.last();
  return words.empty() ? reason : reason + " (" + words + ")";
}

// Results the machine or the format cannot hold fail before any step
// spends minutes on them.
std::optional<std::string> plannedSizeProblem(const Settings& settings, const std::string& ext, const Bitmap& image) {
  const ImageSize turned = rotatedSize(settings, static_cast<int>(image.width()), static_cast<int>(image.height()));
  const ImageSize planned = resizedSize(settings, turned.width, turned.height);
  const bool capped = ext == "ico" && (planned.width > 128 || planned.height > 128);
  return sizeProblem(ext, capped ? 128 : planned.width, capped ? 128 : planned.height);
}

// The picture after the steps, and the size its naming values report.
struct SteppedPicture {
  Bitmap image;
  int width = 0;
  int height = 0;
};

SteppedPicture runSteps(Bitmap image, const Settings& settings, const RunFormat& format, const JobInput& input,
                        const WatermarkAssets* watermark, int bitDepth) {
  const std::string& ext = format.extension;
  const bool keepWide = keepsWideSamples(settings, bitDepth);
  image = rotate(std::move(image), settings);
  const int rotatedWidth = static_cast<int>(image.width());
  const int rotatedHeight = static_cast<int>(image.height());
  image = resize(std::move(image), settings, rotatedWidth, rotatedHeight);
  int width = static_cast<int>(image.width());
  int height = static_cast<int>(image.height());
  bool rescaled = false;
  image = capIconSize(std::move(image), ext, rescaled);
  if (rescaled) width = height = 128;
  image = normaliseGreyTypes(std::move(image), keepWide);
  image = toneMap(std::move(image), keepWide);
  image = flattenTransparency(std::move(image), ext);
  flip(image, settings);
  image = adjustColours(std::move(image), settings);
  image = makeGreyscale(std::move(image), settings);
  image = threshold(std::move(image), settings);
  image = drawFrame(std::move(image), settings, width, height);

  // The watermark sees the values of this very file, the depth it is about
  // to be written with included.
  const NamingValues naming = namingValues(format, input, bitDepth, width, height);
  const WatermarkContext stamping{settings, watermark ? watermark->font : nullptr, naming,
                                  watermark ? watermark->imageStamp : nullptr};
  image = drawWatermark(std::move(image), stamping, width, height);
  return {convertBitDepth(std::move(image), ext, bitDepth), width, height};
}

// Writes the stepped picture under its temporary name.
void writePicture(Bitmap image, const Settings& settings, const RunFormat& format, const JobInput& input,
                  const std::vector<std::uint8_t>& iccProfile, RenderResult& result) {
  const std::string& ext = format.extension;
  const int bitDepth = result.bitDepth;
  if (!image) {
    result.failure = "the steps could not make the " + std::to_string(bitDepth) + "-bit image";
    return;
  }
  if (auto problem = formatProblem(ext, static_cast<int>(image.width()), static_cast<int>(image.height()))) {
    result.failure = std::move(*problem);
    return;
  }
  // The steps make new bitmaps that may not keep the document's profile;
  // the written file carries it when its pixels are still in its space.
  // A CMYK tiff is written from these RGB pixels by the library; an RGB
  // profile in it would make colour-managed readers refuse the file.
  const bool cmykFile = ext == "tiff" && (format.saveFlags & TIFF_CMYK) != 0;
  attachProfile(image, cmykFile ? std::vector<std::uint8_t>{} : iccProfile);
  result.temporaryOutputPath =
      !input.temporaryOutputPath.empty()
          ? input.temporaryOutputPath
          : makeTemporaryOutputName(settings, input.outputFolder, input.relativeSubFolder, ext);
  LibraryMessages messages;
  std::string failure;
  result.rendered = writeOutput(image, format, bitDepth, settings, result.temporaryOutputPath, failure);
  if (!result.rendered)
    result.failure =
        !failure.empty()
            ? failure
            : withLibraryWords("the " + ext + " writer refused the " + std::to_string(bitDepth) + "-bit image",
                               messages);
}

}  // namespace

LoadedPicture loadPicture(const JobInput& input) {
  LoadedPicture picture;
  const std::optional<FileBytes> file = openDocument(input.inputPath, picture.result.failure);
  if (!file) return picture;
  if (auto problem = documentProblem(*file)) {
    picture.result.failure = std::move(*problem);
    return picture;
  }
  LibraryMessages messages;
  LoadedDocument loaded = loadDocument(*file, input.memoryLimit);
  picture.image = std::move(loaded.image);
  picture.iccProfile = std::move(loaded.iccProfile);
  for (const std::string& part : loaded.leftOut) picture.result.notes += "Left out: " + part + "\n";
  const Bitmap& image = picture.image;
  picture.result.sourceBitDepth = static_cast<int>(image.bpp());
  picture.colourPalette = image && FreeImage_GetColorType(image.get()) == FIC_PALETTE;
  const FREE_IMAGE_TYPE type = image ? FreeImage_GetImageType(image.get()) : FIT_UNKNOWN;
  picture.sourceHasAlpha = type == FIT_RGBA16 || type == FIT_RGBAF;
  if (image.width() == 0 || image.height() == 0) {
    picture.result.failure = !loaded.failure.empty()
                                 ? loaded.failure
                                 : withLibraryWords("damaged: the Photoshop reader could not read it", messages);
    picture.image = Bitmap();
  }
  return picture;
}

RenderResult renderPicture(LoadedPicture picture, const Settings& settings, const RunFormat& format,
                           const JobInput& input, const WatermarkAssets* watermark) {
  RenderResult result = std::move(picture.result);
  if (!picture.image) return result;
  if (auto problem = plannedSizeProblem(settings, format.extension, picture.image)) {
    result.failure = std::move(*problem);
    return result;
  }
  // The depth this file is written with is known from the document alone;
  // it decides whether its wide samples may travel to the writer as they are.
  const int bitDepth = format.bitDepthSetting != 0 ? format.bitDepthSetting
                                                   : automaticBitDepth(format.extension, result.sourceBitDepth,
                                                                       picture.colourPalette, picture.sourceHasAlpha);
  SteppedPicture stepped = runSteps(std::move(picture.image), settings, format, input, watermark, bitDepth);
  result.reachedWrite = true;
  result.bitDepth = bitDepth;
  result.width = stepped.width;
  result.height = stepped.height;
  writePicture(std::move(stepped.image), settings, format, input, picture.iccProfile, result);
  return result;
}

RenderResult renderDocument(const Settings& settings, const RunFormat& format, const JobInput& input,
                            const WatermarkAssets* watermark) {
  return renderPicture(loadPicture(input), settings, format, input, watermark);
}

JobResult commitOutput(const Settings& settings, const RunFormat& format, const JobInput& input,
                       const RenderResult& rendered, std::unordered_set<std::string>* writtenThisRun) {
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
  bool keep = rendered.rendered;
  // A mask (perhaps from someone else's profile) must not reach files
  // outside the folder the user chose.
  const std::size_t folderLength =
      input.outputFolder.size() + (settings.keepSubfolders ? input.relativeSubFolder.size() : 0);
  if (std::string problem = fileNameEscapeProblem(std::string_view(result.outputPath).substr(folderLength));
      keep && !problem.empty()) {
    keep = false;
    result.failure = std::move(problem);
  }
  // The user's own document is never replaced by its conversion (an
  // output named like the input, also through links or letter case the
  // file system ignores).
  if (keep && platform::sameFile(input.inputPath, result.outputPath)) {
    keep = false;
    result.failure = "the output would replace the document itself";
  }
  // Two documents of one run named alike (from a list, or through the
  // mask) would otherwise leave one picture where the run counts two.
  if (keep && writtenThisRun && writtenThisRun->count(result.outputPath) != 0) {
    keep = false;
    result.failure = "another document of this run was written to " + result.outputPath;
  }
  std::string failure;
  result.written = replaceOutput(keep, rendered.temporaryOutputPath, result.outputPath, failure);
  if (keep && !result.written) result.failure = failure;
  if (result.written && writtenThisRun) writtenThisRun->insert(result.outputPath);
  if (result.written) applyFileTimestamp(settings, input.inputPath, result.outputPath);
  return result;
}

JobResult convertFile(const Settings& settings, const RunFormat& format, const JobInput& input,
                      const WatermarkAssets* watermark) {
  return commitOutput(settings, format, input, renderDocument(settings, format, input, watermark));
}

}  // namespace qm
