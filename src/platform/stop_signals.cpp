#include "platform/stop_signals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace qm::platform {

StopSignals::StopSignals(std::function<void(int signal)> onSignal) {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stops, &previousMask_);
  signals_ = FileDescriptor(signalfd(-1, &stops, SFD_CLOEXEC));
  wake_ = FileDescriptor(eventfd(0, EFD_CLOEXEC));
  if (!signals_.valid() || !wake_.valid()) return;
  watcher_ = std::jthread([this, onSignal = std::move(onSignal)] {
    pollfd watched[2] = {{signals_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
    for (;;) {
      if (::poll(watched, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (watched[1].revents != 0) return;
      if (watched[0].revents & POLLIN) {
        signalfd_siginfo info;
        if (::read(signals_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
          onSignal(static_cast<int>(info.ssi_signo));
        }
      }
    }
  });
}

StopSignals::~StopSignals() {
  if (watcher_.joinable()) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(wake_.get(), &one, sizeof one);
    watcher_.join();
  }
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void endBySignal(int signal) {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

namespace {

void onBrokenPipe(int) {}

}  // namespace

void surviveClosedPipes() {
  struct sigaction quiet {};
  quiet.sa_handler = onBrokenPipe;
  sigemptyset(&quiet.sa_mask);
  quiet.sa_flags = SA_RESTART;
  ::sigaction(SIGPIPE, &quiet, nullptr);
}

}  // namespace qm::platform
