#pragma once
// A fresh host per test: a virtual clock at 0, and a front end that runs
// the test's steps one per poll.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

#include "host/host.h"

struct StepFrontend : eFrontend {
  std::deque<std::function<void()>> steps;
  void poll() override {
    if (steps.empty()) {  // a loop that would wait for ever: fail, and end it
      ADD_FAILURE() << "an event loop polled with no step left";
      if (eWidget* w = eApp->runningWindow()) w->close(-99);
      return;
    }
    auto step = std::move(steps.front());
    steps.pop_front();
    step();
  }
};

struct HostTest : ::testing::Test {
  void SetUp() override {
    eApp->setClock(&clock);
    eApp->setFrontend(&frontend);
  }
  void TearDown() override {
    eApp->setFrontend(nullptr);
    eApp->setClock(nullptr);
  }
  void step(std::function<void()> s) { frontend.steps.push_back(std::move(s)); }
  static void keys(const std::vector<eKey>& ks) { for (eKey k : ks) eApp->keyPress(k); }
  eVirtualClock clock;
  StepFrontend frontend;
};
