// The settings text format: groups of "key = value" lines, read without
// regard to ASCII case (first group and first key win) and written with a
// byte-order mark and CR LF line ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm {

struct IniGroup {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;  // file order, values trimmed
  // The first value of the key (ASCII case ignored), or nullptr.
  const std::string* find(std::string_view key) const;
};

class IniDocument {
 public:
  // Bytes of a file: a byte-order mark means UTF-8, anything else is read
  // as ISO 8859-1 and converted to UTF-8.
  static IniDocument parse(std::string_view bytes);
  // nullopt when the file cannot be opened.
  static std::optional<IniDocument> readFile(const std::string& path);

  // The first group of that name (ASCII case ignored), or nullptr.
  const IniGroup* group(std::string_view name) const;
  const std::vector<IniGroup>& groups() const { return groups_; }

 private:
  std::vector<IniGroup> groups_;
};

// atoi-like: optional sign, decimal digits, stops at the first other
// character; no digits give 0.
std::int64_t readIniInteger(std::string_view value);
// atof-like with "+Infinity", "-Infinity" and "NaN" in any case.
float readIniReal(std::string_view value);

}  // namespace qm
