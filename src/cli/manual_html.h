// The HTML user manual that Help opens: the manual page turned into HTML
// (so the options, values and formats are those of the parser's own
// tables) with a written guide to the window placed after its description.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// `roffPage` is a page as manualPage() writes it; `guide` an HTML fragment
// that starts with its own <h2 id="window"> heading.
std::string manualHtml(std::string_view roffPage, std::string_view guide);

}  // namespace qm
