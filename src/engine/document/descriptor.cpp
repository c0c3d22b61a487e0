#include "engine/document/descriptor.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/document/span_reader.h"

namespace qm {

namespace {

constexpr int kMaxDepth = 32;
constexpr unsigned kMaxValues = 100000;

class Reader : public SpanReader {
 public:
  using SpanReader::SpanReader;

  // A key or class: a length, or 0 for four characters.
  std::string key() {
    const std::uint32_t length = u32();
    return bytes(length == 0 ? 4 : length);
  }
  // UTF-16 code units, big-endian, as UTF-8; a trailing NUL dropped.
  std::string unicode() {
    const std::uint64_t units = u32();
    if (!ok() || units > left() / 2) {
      fail();
      return {};
    }
    std::string out;
    for (std::uint64_t i = 0; i < units; ++i) {
      std::uint32_t c = static_cast<std::uint32_t>(number(2));
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
        const std::uint32_t low = static_cast<std::uint32_t>(number(2));
        ++i;
        c = low >= 0xDC00 && low < 0xE000 ? 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00) : 0xFFFD;
      } else if (c >= 0xD800 && c < 0xE000) {
        c = 0xFFFD;
      }
      if (c == 0 && i + 1 == units) break;
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out;
  }
};

class Parser {
 public:
  explicit Parser(std::span<const std::uint8_t> bytes) : in_(bytes) {}

  std::optional<DescriptorValue> descriptor() {
    DescriptorValue out;
    out.type = "Objc";
    body(out, 0);
    if (!in_.ok()) return std::nullopt;
    return out;
  }
  std::optional<DescriptorValue> versioned() {
    if (in_.u32() != 16) return std::nullopt;
    return descriptor();
  }

 private:
  Reader in_;
  unsigned values_ = 0;

  // The name, class and items of a descriptor.
  void body(DescriptorValue& out, int depth) {
    in_.unicode();
    out.text = in_.key();
    const std::uint32_t count = in_.u32();
    // An item takes at least a key and a type: eight bytes.
    if (!in_.ok() || count > in_.left() / 8) {
      in_.fail();
      return;
    }
    for (std::uint32_t i = 0; i < count && in_.ok(); ++i) {
      DescriptorValue item;
      item.key = in_.key();
      item.type = in_.bytes(4);
      value(item, depth + 1);
      out.items.push_back(std::move(item));
    }
  }

  void reference() {
    const std::uint32_t count = in_.u32();
    if (!in_.ok() || count > in_.left() / 4) {
      in_.fail();
      return;
    }
    for (std::uint32_t i = 0; i < count && in_.ok(); ++i) {
      const std::string form = in_.bytes(4);
      if (form == "prop") {
        in_.unicode();
        in_.key();
        in_.key();
      } else if (form == "Clss") {
        in_.unicode();
        in_.key();
      } else if (form == "Enmr") {
        in_.unicode();
        in_.key();
        in_.key();
        in_.key();
      } else if (form == "rele") {
        in_.unicode();
        in_.key();
        in_.u32();
      } else if (form == "Idnt" || form == "indx") {
        in_.u32();
      } else if (form == "name") {
        in_.unicode();
        in_.key();
        in_.unicode();
      } else {
        in_.fail();
      }
    }
  }

  void value(DescriptorValue& out, int depth) {
    if (depth > kMaxDepth || ++values_ > kMaxValues) {
      in_.fail();
      return;
    }
    const std::string& type = out.type;
    if (type == "Objc" || type == "GlbO") {
      body(out, depth);
    } else if (type == "VlLs") {
      const std::uint32_t count = in_.u32();
      if (!in_.ok() || count > in_.left() / 4) {
        in_.fail();
        return;
      }
      for (std::uint32_t i = 0; i < count && in_.ok(); ++i) {
        DescriptorValue element;
        element.type = in_.bytes(4);
        value(element, depth + 1);
        out.items.push_back(std::move(element));
      }
    } else if (type == "doub") {
      out.number = in_.f64();
    } else if (type == "UntF") {
      out.unit = in_.bytes(4);
      out.number = in_.f64();
    } else if (type == "UnFl") {
      out.unit = in_.bytes(4);
      const std::uint32_t count = in_.u32();
      if (!in_.ok() || count > in_.left() / 8) {
        in_.fail();
        return;
      }
      for (std::uint32_t i = 0; i < count; ++i) {
        DescriptorValue element;
        element.type = "doub";
        element.unit = out.unit;
        element.number = in_.f64();
        out.items.push_back(std::move(element));
      }
      values_ += count;
    } else if (type == "TEXT") {
      out.text = in_.unicode();
    } else if (type == "enum") {
      in_.key();
      out.text = in_.key();
    } else if (type == "long") {
      out.number = static_cast<std::int32_t>(in_.u32());
    } else if (type == "comp") {
      out.number = static_cast<double>(static_cast<std::int64_t>(in_.number(8)));
    } else if (type == "bool") {
      out.number = in_.number(1) != 0 ? 1 : 0;
    } else if (type == "type" || type == "GlbC") {
      in_.unicode();
      out.text = in_.key();
    } else if (type == "alis" || type == "tdta" || type == "Pth ") {
      in_.skip(in_.u32());
    } else if (type == "obj ") {
      reference();
    } else if (type == "ObAr") {
      in_.u32();
      body(out, depth);
    } else {
      in_.fail();
    }
  }
};

}  // namespace

const DescriptorValue* DescriptorValue::find(std::string_view itemKey) const {
  for (const DescriptorValue& item : items)
    if (item.key == itemKey) return &item;
  return nullptr;
}

double DescriptorValue::numberOr(std::string_view itemKey, double fallback) const {
  const DescriptorValue* item = find(itemKey);
  return item ? item->number : fallback;
}

std::string DescriptorValue::textOr(std::string_view itemKey, std::string_view fallback) const {
  const DescriptorValue* item = find(itemKey);
  return item ? item->text : std::string(fallback);
}

std::optional<DescriptorValue> readVersionedDescriptor(std::span<const std::uint8_t> bytes) {
  return Parser(bytes).versioned();
}

std::optional<DescriptorValue> readDescriptor(std::span<const std::uint8_t> bytes) {
  return Parser(bytes).descriptor();
}

}  // namespace qm
