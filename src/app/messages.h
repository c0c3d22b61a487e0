// The Message catalogue: every user-visible text, addressed as group/key,
// compiled into the program in its stored form (pairs of texts, "_GROUP_"
// opening a group, "_END_" closing the sequence) and indexed once.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

inline constexpr std::string_view kNoStringError = "%NO_STRING_ERROR%";

// The built-in English catalogue in its stored form.
std::span<const std::string_view> builtInCatalogue();

class MessageCatalogue {
 public:
  // Builds the index from a stored sequence.
  static MessageCatalogue parse(std::span<const std::string_view> stored);

  // Case-insensitive in both arguments; kNoStringError when the group or
  // the key does not exist.
  std::string lookUpText(std::string_view group, std::string_view key) const;

  std::size_t groupCount() const { return groups_.size(); }
  std::size_t entryCount() const { return keys_.size(); }
  // Entries of a group (by name, any case); 0 for an unknown group.
  std::size_t entryCount(std::string_view group) const;

 private:
  struct Group {
    std::string name;         // upper case
    std::uint32_t first = 0;  // entry numbers, from 1
    std::uint32_t last = 0;
    std::uint32_t firstByChar[256] = {};
  };
  std::vector<Group> groups_;
  std::vector<std::string> keys_;  // upper case, index = entry number - 1
  std::vector<std::string> texts_;
};

// The built-in catalogue, parsed once on first use and never changed.
const MessageCatalogue& messages();

// Replaces %s1%..%s4% (any letter case), s1 first; an empty value leaves
// its placeholder in place.
std::string fillPlaceholders(std::string text, std::string_view s1 = {}, std::string_view s2 = {},
                             std::string_view s3 = {}, std::string_view s4 = {});

}  // namespace qm
