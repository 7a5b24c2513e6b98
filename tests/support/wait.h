#pragma once
// Waiting for an event in tests: polls `done` until it holds or the
// deadline passes. The deadline is a guard against a hang, never a pause.
#include <chrono>
#include <thread>

namespace testsupport {

template <class Done>
bool waitFor(Done done, double seconds = 30) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace testsupport
