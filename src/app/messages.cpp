#include "app/messages.h"

#include <algorithm>

#include "platform/text.h"

namespace qm {

namespace {

constexpr std::string_view kGroupMarker = "_GROUP_";
constexpr std::string_view kEndMarker = "_END_";

bool isMarker(std::string_view text, std::string_view marker) {
  return text.size() == marker.size() && asciiUpper(text) == marker;
}

}  // namespace

MessageCatalogue MessageCatalogue::parse(std::span<const std::string_view> stored) {
  MessageCatalogue catalogue;
  std::size_t groupCount = 0;
  std::size_t entryCount = 0;
  for (std::size_t i = 0; i + 1 < stored.size() && !isMarker(stored[i], kEndMarker); i += 2)
    ++(isMarker(stored[i], kGroupMarker) ? groupCount : entryCount);
  catalogue.groups_.reserve(groupCount);
  catalogue.keys_.reserve(entryCount);
  catalogue.texts_.reserve(entryCount);

  auto entriesSeen = [&catalogue] { return static_cast<std::uint32_t>(catalogue.keys_.size()); };
  auto closeGroup = [&] {
    if (!catalogue.groups_.empty()) catalogue.groups_.back().last = entriesSeen();
  };
  // A sequence cut short without its end pair still ends, after its last
  // whole pair.
  for (std::size_t i = 0; i + 1 < stored.size(); i += 2) {
    if (isMarker(stored[i], kEndMarker)) break;
    if (isMarker(stored[i], kGroupMarker)) {
      closeGroup();
      Group& group = catalogue.groups_.emplace_back();
      group.name = asciiUpper(stored[i + 1]);
      group.first = entriesSeen() + 1;
    } else {
      catalogue.keys_.push_back(asciiUpper(stored[i]));
      catalogue.texts_.emplace_back(stored[i + 1]);
    }
  }
  closeGroup();

  for (Group& group : catalogue.groups_) {
    if (group.first > group.last) continue;
    // The character 1 sorts below every key character, so a key that is a
    // prefix of another comes first; the text only orders equal keys.
    struct Entry {
      std::string sortKey;
      std::string key;
      std::string text;
    };
    std::vector<Entry> entries;
    entries.reserve(group.last - group.first + 1);
    for (std::uint32_t index = group.first - 1; index < group.last; ++index) {
      std::string sortKey = catalogue.keys_[index] + '\x01' + catalogue.texts_[index];
      entries.push_back({std::move(sortKey), std::move(catalogue.keys_[index]), std::move(catalogue.texts_[index])});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.sortKey < b.sortKey; });
    for (std::uint32_t index = group.first - 1; Entry & entry : entries) {
      catalogue.keys_[index] = std::move(entry.key);
      catalogue.texts_[index] = std::move(entry.text);
      ++index;
    }

    const std::string* previous = nullptr;
    for (std::uint32_t number = group.first; number <= group.last; ++number) {
      const std::string& key = catalogue.keys_[number - 1];
      if (key.empty()) continue;  // no lookup key is empty
      if (!previous || previous->front() != key.front())
        group.firstByChar[static_cast<unsigned char>(key.front())] = number;
      previous = &key;
    }
  }
  return catalogue;
}

// Groups are few, so each lookup searches them afresh instead of
// remembering the last one: the index stays immutable and may be read from
// any thread.
std::string MessageCatalogue::lookUpText(std::string_view group, std::string_view key) const {
  if (key.empty()) return std::string(kNoStringError);
  const std::string groupName = asciiUpper(group);
  auto found = std::find_if(groups_.begin(), groups_.end(), [&](const Group& g) { return g.name == groupName; });
  if (found == groups_.end()) return std::string(kNoStringError);

  const std::string wanted = asciiUpper(key);
  for (std::uint32_t number = found->firstByChar[static_cast<unsigned char>(wanted.front())];
       number != 0 && number <= found->last; ++number) {
    const std::string& candidate = keys_[number - 1];
    if (candidate == wanted) return texts_[number - 1];
    if (wanted < candidate) break;
  }
  return std::string(kNoStringError);
}

std::size_t MessageCatalogue::entryCount(std::string_view group) const {
  const std::string groupName = asciiUpper(group);
  for (const Group& g : groups_)
    if (g.name == groupName) return g.first <= g.last ? g.last - g.first + 1 : 0;
  return 0;
}

const MessageCatalogue& messages() {
  static const MessageCatalogue catalogue = MessageCatalogue::parse(builtInCatalogue());
  return catalogue;
}

std::string fillPlaceholders(std::string text, std::string_view s1, std::string_view s2, std::string_view s3,
                             std::string_view s4) {
  static constexpr std::string_view kPlaceholders[] = {"%s1%", "%s2%", "%s3%", "%s4%"};
  const std::string_view values[] = {s1, s2, s3, s4};
  for (std::size_t n = 0; n < 4; ++n) {
    if (values[n].empty()) continue;
    // Searching on after the inserted value: a value holding its own
    // placeholder is put in once, not again and again.
    for (std::size_t at = findIgnoringCase(text, kPlaceholders[n], 0); at != std::string::npos;
         at = findIgnoringCase(text, kPlaceholders[n], at + values[n].size()))
      text.replace(at, kPlaceholders[n].size(), values[n]);
  }
  return text;
}

}  // namespace qm
