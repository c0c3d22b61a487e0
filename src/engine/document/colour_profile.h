// ICC colour profiles of documents: conversion of CMYK and Lab pixels to
// sRGB through LittleCMS (perceptual intent with black-point compensation),
// and the profile that the written file carries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "canvas/bitmap.h"

namespace qm {

// The colour space a profile describes, from its header ("RGB ", "CMYK",
// "GRAY", "Lab "); empty for bytes that are no profile.
std::string profileColourSpace(const std::vector<std::uint8_t>& profile);

// The bytes of the sRGB profile that converted images carry.
std::vector<std::uint8_t> srgbProfile();

// Converts interleaved samples, 16 bits each, to interleaved 16-bit sRGB:
// CMYK as ink (0 none, 65535 full) through `profile`; Lab in the ICC 16-bit
// encoding through `profile` when it describes Lab, else through the
// standard D50 Lab space. Returns the reason when the profile is unusable.
std::optional<std::string> convertToSrgb(const std::vector<std::uint8_t>& profile, bool lab,
                                         const std::vector<std::uint16_t>& input, std::vector<std::uint16_t>& rgb,
                                         std::size_t pixels);

// Gives the image the profile when its colour space fits the image (an RGB
// profile on colour images, a grey one on grey images); removes any other
// profile, so a file never claims a colour space its pixels are not in.
void attachProfile(Bitmap& image, const std::vector<std::uint8_t>& profile);

}  // namespace qm
