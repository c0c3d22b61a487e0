// Handle: the owner of one object of a C library, released by that
// library's own function when the owner goes away. Every C resource the
// program holds (files, folders, FreeImage memory, Cairo surfaces, Pango
// and fontconfig objects, ...) lives in one of these.
//
//   using Surface = Handle<cairo_surface_t, cairo_surface_destroy>;
#pragma once

#include <memory>

namespace qm {

template <auto Release>
struct ReleaseWith {
  template <typename T>
  void operator()(T* object) const noexcept {
    if (object) Release(object);
  }
};

template <typename T, auto Release>
using Handle = std::unique_ptr<T, ReleaseWith<Release>>;

}  // namespace qm
