#include "ui/toolkit/toolkit_text.h"

#include "app/messages.h"

namespace qm {

wxString catalogueText(std::string_view group, std::string_view key) {
  return wxText(messages().lookUpText(group, key));
}

}  // namespace qm
