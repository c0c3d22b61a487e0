#include "engine/document/colour_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "platform/handle.h"

namespace qm {

namespace {

using Profile = Handle<void, cmsCloseProfile>;
using Transform = Handle<void, cmsDeleteTransform>;

}  // namespace

std::string profileColourSpace(const std::vector<std::uint8_t>& profile) {
  if (profile.size() < 128) return {};
  return std::string(reinterpret_cast<const char*>(profile.data()) + 16, 4);
}

std::vector<std::uint8_t> srgbProfile() {
  const Profile profile(cmsCreate_sRGBProfile());
  cmsUInt32Number size = 0;
  if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size)) return {};
  std::vector<std::uint8_t> bytes(size);
  if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size) || size < 128) return {};
  // The library stamps the profile with the time it was made; a fixed date
  // keeps the same document's output identical from run to run.
  constexpr std::uint8_t kDate[12] = {0x07, 0xD0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
  std::copy(std::begin(kDate), std::end(kDate), bytes.begin() + 24);
  return bytes;
}

std::optional<std::string> convertToSrgb(const std::vector<std::uint8_t>& profileBytes, bool lab,
                                         const std::vector<std::uint16_t>& input, std::vector<std::uint16_t>& rgb,
                                         std::size_t pixels) {
  const bool embeddedLab = lab && profileColourSpace(profileBytes) == "Lab ";
  Profile source(lab && !embeddedLab
                     ? cmsCreateLab4Profile(nullptr)
                     : cmsOpenProfileFromMem(profileBytes.data(), static_cast<cmsUInt32Number>(profileBytes.size())));
  if (!source) return std::string("its embedded colour profile is damaged");
  const cmsColorSpaceSignature space = cmsGetColorSpace(source.get());
  if ((lab && space != cmsSigLabData) || (!lab && space != cmsSigCmykData))
    return std::string("its embedded colour profile does not describe its colour mode");
  const Profile target(cmsCreate_sRGBProfile());
  const Transform transform(cmsCreateTransform(source.get(), lab ? TYPE_Lab_16 : TYPE_CMYK_16, target.get(),
                                               TYPE_RGB_16, INTENT_PERCEPTUAL, cmsFLAGS_BLACKPOINTCOMPENSATION));
  if (!transform) return std::string("its embedded colour profile cannot convert to sRGB");
  rgb.resize(pixels * 3);
  // In slices, so the transform's own buffers stay small.
  constexpr std::size_t kSlice = 1 << 16;
  const std::size_t in = lab ? 3 : 4;
  for (std::size_t start = 0; start < pixels; start += kSlice) {
    const std::size_t count = std::min(kSlice, pixels - start);
    cmsDoTransform(transform.get(), input.data() + start * in, rgb.data() + start * 3,
                   static_cast<cmsUInt32Number>(count));
  }
  return std::nullopt;
}

void attachProfile(Bitmap& image, const std::vector<std::uint8_t>& profile) {
  if (!image) return;
  FreeImage_DestroyICCProfile(image.get());
  const std::string space = profileColourSpace(profile);
  const FREE_IMAGE_COLOR_TYPE type = FreeImage_GetColorType(image.get());
  const bool grey = type == FIC_MINISBLACK || type == FIC_MINISWHITE;
  const bool colour = type == FIC_RGB || type == FIC_RGBALPHA || type == FIC_PALETTE;
  // Profiles must name D50 as the illuminant of their connection space;
  // writers such as libpng refuse the whole image over one that does not
  // (some documents of floating-point depth carry such a profile).
  constexpr std::uint8_t kD50[12] = {0, 0, 0xF6, 0xD6, 0, 1, 0, 0, 0, 0, 0xD3, 0x2D};
  if (profile.size() < 128 || !std::equal(std::begin(kD50), std::end(kD50), profile.begin() + 68)) return;
  if ((space == "RGB " && colour) || (space == "GRAY" && grey))
    FreeImage_CreateICCProfile(image.get(), const_cast<std::uint8_t*>(profile.data()),
                               static_cast<long>(profile.size()));
}

}  // namespace qm
