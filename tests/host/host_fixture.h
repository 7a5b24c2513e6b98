#pragma once
// A fresh host for one test: a virtual clock at 0, a front end that runs
// the test's steps one per poll, and the transcript captured.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/transcript.h"

class StepFrontend : public eFrontend {
 public:
  std::deque<std::function<void()>> steps;
  std::function<void(eMessageBox&)> onMessageBox;

  void poll() override {
    if (steps.empty()) {
      // A loop that would wait for ever: fail, and end it.
      ADD_FAILURE() << "an event loop polled with no step left";
      if (eWidget* w = eApp->runningWindow()) w->close(-99);
      return;
    }
    auto step = std::move(steps.front());
    steps.pop_front();
    step();
  }
  void messageBoxShown(eMessageBox& box) override {
    if (onMessageBox) onMessageBox(box);
  }
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    eApp->setClock(&clock);
    eApp->setFrontend(&frontend);
    host_transcript::setSink([this](const std::string& line) { transcript.push_back(line); });
  }
  void TearDown() override {
    host_transcript::setSink(nullptr);
    eApp->setFrontend(nullptr);
    eApp->setClock(nullptr);
  }
  void step(std::function<void()> s) { frontend.steps.push_back(std::move(s)); }

  eVirtualClock clock;
  StepFrontend frontend;
  std::vector<std::string> transcript;
};
