// Bitmap: the move-only owner of one FreeImage bitmap. Every FIBITMAP the
// program creates lives in one of these; nothing else calls
// FreeImage_Unload.
#pragma once

#include <FreeImage.h>

#include <utility>

namespace qm {

class Bitmap {
 public:
  Bitmap() = default;
  explicit Bitmap(FIBITMAP* bitmap) noexcept : bitmap_(bitmap) {}
  Bitmap(Bitmap&& other) noexcept : bitmap_(std::exchange(other.bitmap_, nullptr)) {}
  Bitmap& operator=(Bitmap&& other) noexcept {
    if (this != &other) reset(std::exchange(other.bitmap_, nullptr));
    return *this;
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  ~Bitmap() { reset(); }

  FIBITMAP* get() const noexcept { return bitmap_; }
  explicit operator bool() const noexcept { return bitmap_ != nullptr; }

  void reset(FIBITMAP* bitmap = nullptr) noexcept {
    if (bitmap_) FreeImage_Unload(bitmap_);
    bitmap_ = bitmap;
  }

  // A missing bitmap reports 0 for all three.
  unsigned width() const { return bitmap_ ? FreeImage_GetWidth(bitmap_) : 0; }
  unsigned height() const { return bitmap_ ? FreeImage_GetHeight(bitmap_) : 0; }
  unsigned bpp() const { return bitmap_ ? FreeImage_GetBPP(bitmap_) : 0; }

 private:
  FIBITMAP* bitmap_ = nullptr;
};

}  // namespace qm
