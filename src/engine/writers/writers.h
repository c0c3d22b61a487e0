// Output encoding: the save flags, the temporary name and the four
// writers (FreeImage, DevIL for psd/dds/pcx, jxrlib for jxr, and the
// palette-trimmed 8-bit BMP).
//
// Every writer writes a temporary file in the destination folder and
// returns true only when that file is complete; on failure it removes the
// file and, where the system gave one, puts its reason into `failure`
// ("cannot write: No space left on device"); a library's refusal leaves
// `failure` empty. The output itself is never touched here: the commit renames the
// finished temporary file over it, so an existing output is either replaced
// by a complete file or stays as it was.
#pragma once

#include <string>
#include <string_view>

#include "canvas/bitmap.h"
#include "engine/job.h"
#include "settings/settings.h"

namespace qm {

// ".quillmark" + the local date's digits as letters (0 -> a ... 9 -> j) +
// five random letters + "." + extension + ".part", in the output folder
// and, when sub-folders are kept, the relative sub-folder. Plain ASCII, so
// any library takes it as a file name; hidden, and never ending in an
// output extension.
std::string makeTemporaryOutputName(const Settings& settings, const std::string& outputFolder,
                                    const std::string& relativeSubFolder, std::string_view extension);

// FreeImage save flags of the format for these settings.
std::int32_t saveFlags(std::string_view extension, const Settings& settings);

// Picks the writer the format table names (and, for bmp, by depth and
// `BMP Color Table` the trimmed one). A missing image fails.
bool writeOutput(const Bitmap& image, const RunFormat& format, int targetBitDepth, const Settings& settings,
                 const std::string& temporaryPath, std::string& failure);

bool writeWithFreeImage(const Bitmap& image, std::int32_t writerId, std::int32_t saveFlags,
                        const std::string& temporaryPath, std::string& failure);
// Takes 24-bit (BGR) and 32-bit (BGRA) images; dds also gets its full
// mipmap chain.
bool writeWithDevil(const Bitmap& image, std::string_view extension, std::int32_t writerId,
                    const std::string& temporaryPath, std::string& failure);
// Puts the image's ICC profile into a psd or jp2 file just written, whose
// writers leave it out; other formats, and images without a profile, leave
// the file as it is. Reads the whole file: called after the writer let go
// of its buffers.
bool embedProfile(const Bitmap& image, std::string_view extension, const std::string& path, std::string& failure);
// JPEG XR through jxrlib, lossless at the save flags' quality 100 (96-bit
// floats keep 16 bits of mantissa). Takes the depths jxr is written with:
// 1 (black and white stays one bit, other palettes as below), 4 and 8 (grey
// levels when the palette is grey, colour otherwise), 16 (widened to 24),
// 24, 32 (with alpha), 48 and 96 bits. jxrlib's errors give "the jxr
// encoder failed (error N)".
bool writeWithJxr(const Bitmap& image, std::int32_t saveFlags, const std::string& temporaryPath, std::string& failure);
// An 8-bit palettised BMP whose colour table holds only the entries up to
// the highest index in use.
// The compression follows the save flags.
bool writeTrimmedBmp(const Bitmap& image, std::int32_t writerId, std::int32_t saveFlags,
                     const std::string& temporaryPath, std::string& failure);

// Ends every writer: returns `complete`, removing the temporary file when
// it is not.
bool finishTemporary(bool complete, const std::string& temporaryPath);

// Ends every commit: renames the finished temporary file over the output
// when `written`, otherwise (or when the rename fails) removes it. The new
// file takes the mode and group of the output it replaces; an output the
// user may not write is not replaced. `failure` says why nothing was put
// in place, when the reason is this step's.
bool replaceOutput(bool written, const std::string& temporaryPath, const std::string& outputPath, std::string& failure);

}  // namespace qm
