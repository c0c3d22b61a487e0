// The hand-over from a second start to the running window: a local socket
// beside the single-instance lock, in the same owner-only folder, through
// which the second process passes its parameters (files and folders) and
// learns that the window took them.
//
// A message is the parameters, each ended by a zero byte, then the end of
// the sender's half of the connection; the window answers with one byte
// once it has read them all. Only processes of the same user are heard.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/file_descriptor.h"

namespace qm::platform {

// The socket's path beside the lock "<folder>/<title line>.lock".
std::string handoffSocketPath(const std::string& lockFolder, const std::string& titleLine);

class HandoffListener {
 public:
  // Listens at `path`, replacing what a crashed run left there (only the
  // lock's holder listens, so nobody else can be using it). Nothing when
  // the socket cannot be made.
  static std::optional<HandoffListener> listen(const std::string& path);

  HandoffListener(HandoffListener&& other) noexcept;
  HandoffListener& operator=(HandoffListener&&) = delete;
  HandoffListener(const HandoffListener&) = delete;
  HandoffListener& operator=(const HandoffListener&) = delete;
  ~HandoffListener();

  int descriptor() const { return fd_.get(); }

  // The parameter lists of the starts waiting to be heard, in the order
  // they came; empty at once when none waits. A sender that stalls is
  // given up after a short while.
  std::vector<std::vector<std::string>> receive();

 private:
  HandoffListener(FileDescriptor fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
  FileDescriptor fd_;
  std::string path_;
};

// Hands the parameters to the process listening at `path`; true once it
// has confirmed that it took them.
bool handOver(const std::string& path, const std::vector<std::string>& parameters);

}  // namespace qm::platform
