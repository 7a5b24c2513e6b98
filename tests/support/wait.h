#pragma once
#include <chrono>
#include <thread>

namespace testsupport {

// Polls `done` until it holds; the deadline guards against a hang, it is never a pause.
template <class Done>
bool waitFor(Done done, double seconds = 30) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
    if (std::chrono::steady_clock::now() > deadline) return false;
  return true;
}

}  // namespace testsupport
