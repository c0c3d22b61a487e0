// The worker's sandbox: a deny-list of system calls and, where the kernel
// has it, Landlock for writes.
//
// The filter lets everything through except the calls named below, which
// fail with EPERM. An allow-list would be tighter, but the image libraries,
// fontconfig, Pango and the sanitizer runtimes make calls nobody lists in
// advance, and a worker killed for an unexpected but harmless call would
// fail real documents. A refused call fails inside the library like any
// other error, so the worker goes on and the document fails with a reason
// (or, should the library crash on it, the supervisor reports the crash).
//
// Reading stays open: documents, fonts, the watermark picture, shared
// libraries and /proc/self can be anywhere. Landlock limits what a worker
// may create, change or remove to the output folder, where it writes its
// temporary file.
#include "platform/sandbox.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/file_descriptor.h"
#include "platform/handle.h"

namespace qm::platform {

namespace {

// Leak checking at the end of an AddressSanitizer build stops the
// process's own threads with ptrace; refused, every worker would end in a
// sanitizer error. Release builds refuse ptrace.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLeakCheckerNeedsPtrace = true;
#else
constexpr bool kLeakCheckerNeedsPtrace = false;
#endif

struct RefusedCall {
  const char* name;
  int error;
};

// Looked up by name, so a call this machine's architecture lacks is
// simply not in the filter.
constexpr RefusedCall kRefusedCalls[] = {
    // The network and local servers (the session bus, other programs'
    // sockets). The worker talks over the connected socket it inherited,
    // with read, write, sendmsg and recvmsg, which stay open.
    {"socket", EPERM},
    {"socketpair", EPERM},
    {"connect", EPERM},
    {"bind", EPERM},
    {"listen", EPERM},
    {"accept", EPERM},
    {"accept4", EPERM},
    // Other programs: a hijacked worker would have every tool of the
    // machine at hand.
    {"execve", EPERM},
    {"execveat", EPERM},
    // Other processes of the user, the supervisor among them: their
    // memory, their descriptors.
    {"process_vm_readv", EPERM},
    {"process_vm_writev", EPERM},
    {"pidfd_getfd", EPERM},
    {"kcmp", EPERM},
    // New namespaces would give the worker root's powers over mounts of
    // its own, and with them ways around Landlock.
    {"unshare", EPERM},
    {"setns", EPERM},
    // Its flags are behind a pointer the filter cannot read; the C
    // library falls back to clone (whose flags are checked) on ENOSYS.
    {"clone3", ENOSYS},
    // Mounts and the machine itself: nothing a converter does, and the
    // calls that matter most should the user be root.
    {"mount", EPERM},
    {"umount2", EPERM},
    {"pivot_root", EPERM},
    {"chroot", EPERM},
    {"fsopen", EPERM},
    {"fsconfig", EPERM},
    {"fsmount", EPERM},
    {"fspick", EPERM},
    {"move_mount", EPERM},
    {"open_tree", EPERM},
    {"mount_setattr", EPERM},
    {"kexec_load", EPERM},
    {"kexec_file_load", EPERM},
    {"reboot", EPERM},
    {"init_module", EPERM},
    {"finit_module", EPERM},
    {"delete_module", EPERM},
    {"swapon", EPERM},
    {"swapoff", EPERM},
    {"acct", EPERM},
    {"quotactl", EPERM},
    {"settimeofday", EPERM},
    {"clock_settime", EPERM},
    {"clock_adjtime", EPERM},
    {"adjtimex", EPERM},
    {"sethostname", EPERM},
    {"setdomainname", EPERM},
    {"iopl", EPERM},
    {"ioperm", EPERM},
    // Kernel interfaces with a long record of exploitable faults, which no
    // decoder needs; io_uring would also carry out I/O the filter never
    // sees.
    {"bpf", EPERM},
    {"perf_event_open", EPERM},
    {"userfaultfd", EPERM},
    {"io_uring_setup", EPERM},
    {"io_uring_enter", EPERM},
    {"io_uring_register", EPERM},
    {"keyctl", EPERM},
    {"add_key", EPERM},
    {"request_key", EPERM},
    {"open_by_handle_at", EPERM},
    {"name_to_handle_at", EPERM},
    {"lookup_dcookie", EPERM},
    {"fanotify_init", EPERM},
};

constexpr std::uint64_t kNamespaceFlags[] = {CLONE_NEWNS,  CLONE_NEWUTS, CLONE_NEWIPC,   CLONE_NEWUSER,
                                             CLONE_NEWPID, CLONE_NEWNET, CLONE_NEWCGROUP};

bool refuse(scmp_filter_ctx filter, int call, int error) {
  return seccomp_rule_add(filter, SCMP_ACT_ERRNO(static_cast<std::uint32_t>(error)), call, 0) == 0;
}

bool installFilter() {
  using Filter = Handle<void, seccomp_release>;
  Filter filter(seccomp_init(SCMP_ACT_ALLOW));
  if (!filter) return false;
  // Every thread, not only this one: the libraries may have started some.
  if (seccomp_attr_set(filter.get(), SCMP_FLTATR_CTL_TSYNC, 1) != 0) return false;

  for (const RefusedCall& refused : kRefusedCalls) {
    const int call = seccomp_syscall_resolve_name(refused.name);
    if (call == __NR_SCMP_ERROR) continue;
    if (!refuse(filter.get(), call, refused.error)) return false;
  }
  if (!kLeakCheckerNeedsPtrace && !refuse(filter.get(), SCMP_SYS(ptrace), EPERM)) return false;
  for (std::uint64_t flag : kNamespaceFlags) {
    if (seccomp_rule_add(filter.get(), SCMP_ACT_ERRNO(EPERM), SCMP_SYS(clone), 1,
                         SCMP_A0(SCMP_CMP_MASKED_EQ, flag, flag)) != 0) {
      return false;
    }
  }
  // Standard error may be the user's terminal: no typing into it, no
  // console tricks.
  for (std::uint64_t request : {std::uint64_t{TIOCSTI}, std::uint64_t{TIOCLINUX}}) {
    if (seccomp_rule_add(filter.get(), SCMP_ACT_ERRNO(EPERM), SCMP_SYS(ioctl), 1,
                         SCMP_A1(SCMP_CMP_MASKED_EQ, 0xFFFFFFFFu, request)) != 0) {
      return false;
    }
  }
  return seccomp_load(filter.get()) == 0;
}

// Rights of newer Landlock versions that the system headers may not name.
constexpr std::uint64_t kLandlockTruncate = std::uint64_t{1} << 14;

bool limitWrites(const std::string& writableFolder) {
  if (writableFolder.empty()) return false;
  const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (abi < 1) return false;
  std::uint64_t writing = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
                          LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR |
                          LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO |
                          LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
  // Before version 2 a rename across folders was refused outright; before
  // version 3 truncation was not controlled at all.
  if (abi >= 2) writing |= LANDLOCK_ACCESS_FS_REFER;
  if (abi >= 3) writing |= kLandlockTruncate;

  landlock_ruleset_attr attributes{};
  attributes.handled_access_fs = writing;
  FileDescriptor ruleset(static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0)));
  if (!ruleset.valid()) return false;
  FileDescriptor folder(::open(writableFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder.valid()) return false;
  landlock_path_beneath_attr beneath{};
  beneath.allowed_access = writing;
  beneath.parent_fd = folder.get();
  if (::syscall(SYS_landlock_add_rule, ruleset.get(), LANDLOCK_RULE_PATH_BENEATH, &beneath, 0) != 0) return false;
  return ::syscall(SYS_landlock_restrict_self, ruleset.get(), 0) == 0;
}

}  // namespace

SandboxState enterSandbox(const std::string& writableFolder) {
  SandboxState state;
  // Both the filter and Landlock require it of an unprivileged process;
  // it also keeps set-user-id programs from gaining anything through us.
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return state;
  state.fileSystemLimited = limitWrites(writableFolder);
  state.filtered = installFilter();
  return state;
}

}  // namespace qm::platform
