// The manual page, written in roff from what the parser itself reads: the
// option table with its keyword tables, the first-parameter modes, the
// help text and the format catalogue, set into the written prose of a
// template. An option added to the table shows up here without anyone
// writing about it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

struct ManualPlaces {
  // The folder the packaged program and its gfx/ folder live in, with a
  // trailing "/" ("/usr/lib/quillmark/").
  std::string programFolder;
};

// Fills the markers of `pageTemplate`; nullopt when one of them is missing
// from it, so that a template that lost its options fails the build
// instead of installing a page without them.
std::optional<std::string> manualPage(const ManualPlaces& places, std::string_view pageTemplate);

}  // namespace qm
