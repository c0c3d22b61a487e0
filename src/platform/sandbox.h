// Confining a worker process before it hands untrusted bytes to the image
// libraries. A document that corrupts memory inside a reader could
// otherwise make the worker do anything its user may do; in the sandbox it
// can still crash or burn time, but it cannot reach the network, start
// programs, look into other processes or write outside the output folder.
#pragma once

#include <string>

namespace qm::platform {

struct SandboxState {
  bool filtered = false;           // no_new_privs set and the system-call filter in place
  bool fileSystemLimited = false;  // writes confined by Landlock
};

// For the calling process, for good: sets no_new_privs, installs the
// system-call filter (on every thread) and, where the kernel has Landlock,
// lets the calling thread and the threads it starts later write below
// `writableFolder` only; reading stays open everywhere. Whatever the
// kernel cannot do is left out, so the worker still runs on a kernel
// without seccomp or Landlock; the result says what took effect.
SandboxState enterSandbox(const std::string& writableFolder);

}  // namespace qm::platform
