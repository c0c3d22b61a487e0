// The action descriptors layer records use to describe what a fill or an
// adjustment holds: a class and a list of keyed values, values being
// numbers (with a unit or without), texts, enumerations, flags, nested
// descriptors and lists. Read from untrusted bytes: every read is checked,
// nesting, counts and the total number of values are capped, and what
// cannot be read comes back as nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct DescriptorValue {
  std::string key;                     // of the item in its descriptor; empty in lists
  std::string type;                    // the four-character type: "doub", "UntF", "Objc", "VlLs", "enum", ...
  double number = 0;                   // doub, UntF, long, comp, bool
  std::string unit;                    // UntF: "#Ang", "#Prc", "#Pxl", ...
  std::string text;                    // TEXT (UTF-8), the value of an enum, the class of a descriptor
  std::vector<DescriptorValue> items;  // the items of a descriptor, the elements of a list

  // The item of this descriptor with that key; nothing when absent.
  const DescriptorValue* find(std::string_view itemKey) const;
  double numberOr(std::string_view itemKey, double fallback) const;
  std::string textOr(std::string_view itemKey, std::string_view fallback) const;
};

// A descriptor as stored: its version field (16) first, then the body.
std::optional<DescriptorValue> readVersionedDescriptor(std::span<const std::uint8_t> bytes);

// A bare descriptor body: name, class, items.
std::optional<DescriptorValue> readDescriptor(std::span<const std::uint8_t> bytes);

}  // namespace qm
