// The program's texts as the toolkit takes them. Every text of the
// program is UTF-8; the toolkit's strings are told so here, once.
#pragma once

#include <string>
#include <string_view>

#include <wx/string.h>

namespace qm {

inline wxString wxText(const std::string& text) { return wxString::FromUTF8(text); }

// A text of the message catalogue.
wxString catalogueText(std::string_view group, std::string_view key);

}  // namespace qm
