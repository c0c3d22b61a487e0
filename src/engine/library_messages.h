// The image libraries' own messages (FreeImage's output handler, libtiff's
// warnings and errors) never reach the console. While a job runs they are
// collected for its thread, so that the reason of a failed file can quote
// the library's own words; outside a job they are dropped.
#pragma once

#include <string>
#include <vector>

namespace qm {

class LibraryMessages {
 public:
  // Routes the libraries' messages here (once per process) and starts
  // collecting on this thread.
  LibraryMessages();
  LibraryMessages(const LibraryMessages&) = delete;
  LibraryMessages& operator=(const LibraryMessages&) = delete;
  ~LibraryMessages();

  // The last message, or "" when the libraries said nothing.
  std::string last() const;

  // Every library message of this thread lands here while a collection is
  // open. Kept short: a library that repeats itself cannot fill memory.
  void add(std::string message);

 private:
  std::vector<std::string> messages_;
  LibraryMessages* outer_ = nullptr;
};

// Routes the libraries' messages away from the console without collecting
// them; for code that reads images outside a job.
void silenceLibraryMessages();

}  // namespace qm
