// The Input list store: the files the next conversion processes, kept in
// a 512-bucket hash map from full path to sub-folder. The worker walks it
// in bucket order (bucket 0 to 511, each chain newest first); the window
// shows it in admission order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct InputEntry {
  std::string path;
  std::string subFolder;  // ends with "/" when not empty
};

// What became of a path offered to the Input list.
enum class Admission { Added, Duplicate, NotReadable, Empty, Folder };

class InputList {
 public:
  static constexpr std::size_t kBucketCount = 512;

  // The hash of a path over its UTF-16 code units: h = h * 65599 + unit.
  static std::uint32_t hashPath(std::string_view utf8Path);

  // Refuses an existing empty file, an unreadable extension and a
  // duplicate; otherwise stores the path with its sub-folder below
  // `inputRoot` and returns 1 (else 0). The admit hook, when set, runs for
  // every admitted path.
  int admitFile(const std::string& path, const std::string& inputRoot,
                const std::vector<std::string>& readableExtensions);
  // The same with the file's size already read by the caller (nullopt for
  // a missing path, 0 for a folder): a folder scan reads it relative to
  // the open folder, which is much cheaper than a lookup of the full path.
  int admitFileOfSize(const std::string& path, std::optional<std::uint64_t> size, const std::string& inputRoot,
                      const std::vector<std::string>& readableExtensions);
  // The same two, saying why a path was not added.
  Admission admit(const std::string& path, const std::string& inputRoot,
                  const std::vector<std::string>& readableExtensions);
  Admission admitOfSize(const std::string& path, std::optional<std::uint64_t> size, const std::string& inputRoot,
                        const std::vector<std::string>& readableExtensions);

  bool contains(const std::string& path) const;
  const InputEntry* find(const std::string& path) const;
  void remove(const std::string& path);
  // Inline for resetRun.
  void clear() {
    for (Chain& chain : buckets_) {
      chain.hashes.clear();
      chain.entries.clear();
    }
    count_ = 0;
  }
  std::size_t entryCount() const { return count_; }

  // Visits the entries in bucket order.
  void forEach(const std::function<void(const InputEntry&)>& visit) const;
  // The entries in bucket order, copied (the worker's walk).
  std::vector<InputEntry> entriesInBucketOrder() const;

  // Window mode adds a row for each admitted path through this hook.
  void setAdmitHook(std::function<void(const std::string&)> hook) { admitHook_ = std::move(hook); }

 private:
  // A chain keeps the full hashes apart from the entries, so a lookup runs
  // over a small array and compares paths only where the hashes agree; a
  // large folder of paths with a long common prefix stays fast to admit.
  // Both arrays are stored tail first, so the head is the back.
  struct Chain {
    std::vector<std::uint32_t> hashes;
    std::vector<InputEntry> entries;
  };
  // Position of the path in its chain, or -1.
  std::ptrdiff_t findInChain(const Chain& chain, const std::string& path, std::uint32_t hash) const;

  std::array<Chain, kBucketCount> buckets_{};
  std::size_t count_ = 0;
  std::function<void(const std::string&)> admitHook_;
};

// Why a file the user named was not added, in a few plain words; empty
// for an admission and for a duplicate, which is already in the list.
std::string refusalReason(Admission admission, const std::vector<std::string>& readableExtensions);

// The folder of `path` relative to `root`: the root is removed only as a
// prefix of the file's folder; a file not below the root gets "".
std::string relativeSubFolder(const std::string& path, const std::string& root);

}  // namespace qm
