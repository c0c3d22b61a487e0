// The manual page, written in roff from what the parser itself reads: the
// option table with its keyword tables, the first-parameter modes, the
// help text and the format catalogue. An option added to the table shows
// up here without anyone writing about it.
#pragma once

#include <string>

namespace qm {

struct ManualPlaces {
  // The folder the packaged program and its gfx/ folder live in, with a
  // trailing "/" ("/usr/lib/quillmark/").
  std::string programFolder;
};

std::string manualPage(const ManualPlaces& places);

}  // namespace qm
