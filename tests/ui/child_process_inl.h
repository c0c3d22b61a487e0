#pragma once

#include <thread>

namespace qm::test {

template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit, std::chrono::milliseconds every) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (true) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(every);
  }
}

}  // namespace qm::test
