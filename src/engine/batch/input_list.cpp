#include "engine/batch/input_list.h"

#include "formats/input_formats.h"
#include "platform/paths.h"

namespace qm {

namespace {

// Decodes UTF-8 into UTF-16 code units. A byte that does not start a
// valid sequence counts as one unit of its own value, so any byte string
// hashes deterministically.
template <typename Emit>
void forEachUtf16Unit(std::string_view text, Emit emit) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::uint32_t cp = byte;
    std::size_t length = 1;
    if (byte >= 0xC0 && byte < 0xE0)
      length = 2, cp = byte & 0x1F;
    else if (byte >= 0xE0 && byte < 0xF0)
      length = 3, cp = byte & 0x0F;
    else if (byte >= 0xF0 && byte < 0xF8)
      length = 4, cp = byte & 0x07;
    bool valid = length == 1 ? byte < 0x80 : i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80)
        valid = false;
      else
        cp = (cp << 6) | (next & 0x3F);
    }
    if (!valid) {
      emit(static_cast<std::uint16_t>(byte));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      emit(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
      emit(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      emit(static_cast<std::uint16_t>(cp));
    }
    i += length;
  }
}

}  // namespace

std::uint32_t InputList::hashPath(std::string_view utf8Path) {
  std::uint32_t h = 0;
  forEachUtf16Unit(utf8Path, [&](std::uint16_t unit) { h = h * 65599u + unit; });
  return h;
}

int InputList::admitFile(const std::string& path, const std::string& inputRoot,
                         const std::vector<std::string>& readableExtensions) {
  return admit(path, inputRoot, readableExtensions) == Admission::Added ? 1 : 0;
}

int InputList::admitFileOfSize(const std::string& path, std::optional<std::uint64_t> size, const std::string& inputRoot,
                               const std::vector<std::string>& readableExtensions) {
  return admitOfSize(path, size, inputRoot, readableExtensions) == Admission::Added ? 1 : 0;
}

Admission InputList::admit(const std::string& path, const std::string& inputRoot,
                           const std::vector<std::string>& readableExtensions) {
  // The type first: a name of the wrong type needs no file-system call.
  if (!isReadable(path, readableExtensions)) return Admission::NotReadable;
  return admitOfSize(path, platform::fileSize(path), inputRoot, readableExtensions);
}

Admission InputList::admitOfSize(const std::string& path, std::optional<std::uint64_t> size,
                                 const std::string& inputRoot, const std::vector<std::string>& readableExtensions) {
  if (!path.empty() && path.back() == '/') return Admission::Folder;
  if (size && *size == 0) return Admission::Empty;
  if (!isReadable(path, readableExtensions)) return Admission::NotReadable;
  std::uint32_t hash = hashPath(path);
  Chain& chain = buckets_[hash % kBucketCount];
  if (findInChain(chain, path, hash) >= 0) return Admission::Duplicate;
  chain.hashes.push_back(hash);
  chain.entries.push_back({path, relativeSubFolder(path, inputRoot)});
  ++count_;
  if (admitHook_) admitHook_(path);
  return Admission::Added;
}

std::ptrdiff_t InputList::findInChain(const Chain& chain, const std::string& path, std::uint32_t hash) const {
  for (std::size_t i = 0; i < chain.hashes.size(); ++i)
    if (chain.hashes[i] == hash && chain.entries[i].path == path) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

const InputEntry* InputList::find(const std::string& path) const {
  std::uint32_t hash = hashPath(path);
  const Chain& chain = buckets_[hash % kBucketCount];
  std::ptrdiff_t at = findInChain(chain, path, hash);
  return at < 0 ? nullptr : &chain.entries[static_cast<std::size_t>(at)];
}

bool InputList::contains(const std::string& path) const { return find(path) != nullptr; }

void InputList::remove(const std::string& path) {
  std::uint32_t hash = hashPath(path);
  Chain& chain = buckets_[hash % kBucketCount];
  std::ptrdiff_t at = findInChain(chain, path, hash);
  if (at < 0) return;
  chain.hashes.erase(chain.hashes.begin() + at);
  chain.entries.erase(chain.entries.begin() + at);
  --count_;
}

void InputList::forEach(const std::function<void(const InputEntry&)>& visit) const {
  for (const Chain& chain : buckets_)
    for (auto it = chain.entries.rbegin(); it != chain.entries.rend(); ++it) visit(*it);
}

std::vector<InputEntry> InputList::entriesInBucketOrder() const {
  std::vector<InputEntry> entries;
  entries.reserve(count_);
  forEach([&](const InputEntry& e) { entries.push_back(e); });
  return entries;
}

std::string refusalReason(Admission admission, const std::vector<std::string>& readableExtensions) {
  switch (admission) {
    case Admission::Empty: return "an empty file";
    case Admission::Folder: return "a folder";
    case Admission::NotReadable: {
      std::string names;
      for (std::size_t i = 0; i < readableExtensions.size(); ++i) {
        if (i > 0) names += i + 1 == readableExtensions.size() ? " or " : ", ";
        names += "." + readableExtensions[i];
      }
      return "not a Photoshop document (" + names + ")";
    }
    case Admission::Added:
    case Admission::Duplicate: break;
  }
  return {};
}

std::string relativeSubFolder(const std::string& path, const std::string& root) {
  if (path.empty() || root.empty()) return {};
  std::string folder = platform::folderPart(path);
  if (folder.size() < root.size() || folder.compare(0, root.size(), root) != 0) return {};
  return folder.substr(root.size());
}

}  // namespace qm
