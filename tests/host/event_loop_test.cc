// The host's event loop: nested modal runs, their ends, and timers firing
// inside them at their due times on the virtual clock.
#include <memory>

#include "tests/host/host_fixture.h"

using EventLoop = HostTest;

TEST_F(EventLoop, NestedModalRunsKeepFiringTimers) {
  eWindow outer, inner;
  eTimer status;
  std::vector<std::int64_t> ticks;
  status.timeout.connect([&] {
    ticks.push_back(eApp->now());
    status.start(3000, false);  // restarted at the end of each tick, as the plug-in does
  });
  status.start(3000, false);
  int innerResult = 0;
  step([&] { eApp->advance(3000); });
  step([&] {
    EXPECT_EQ(eApp->runningWindow(), &outer);
    inner.show();
    innerResult = inner.exec();  // nested: the next steps run inside it
    inner.hide();
  });
  step([&] {
    EXPECT_EQ(eApp->runningWindow(), &inner);
    eApp->advance(6500);
  });
  step([&] { inner.close(5); });
  step([&] {
    EXPECT_EQ(eApp->runningWindow(), &outer);
    eApp->advance(100);
    outer.close(2);
  });
  outer.show();
  EXPECT_EQ(outer.exec(), 2);
  EXPECT_EQ(innerResult, 5);
  EXPECT_EQ(ticks, (std::vector<std::int64_t>{3000, 6000, 9000}));
  EXPECT_EQ(eApp->now(), 9600);
  EXPECT_EQ(eApp->runningWindow(), nullptr);
}

TEST_F(EventLoop, WindowsEndByExitKeyRejectAndClose) {
  eWindow window;
  auto* child = new eButton(&window);
  window.setFocus(child);
  step([] { eApp->keyPress(eKey::exit); });
  EXPECT_EQ(window.exec(), 0);

  step([&] { child->reject(); });  // a child's reject ends its window
  EXPECT_EQ(window.exec(), -1);

  // A close before the run does not end a later run at once.
  window.close(9);
  step([&] { window.close(3); });
  EXPECT_EQ(window.exec(), 3);
  EXPECT_TRUE(frontend.steps.empty());
}

TEST_F(EventLoop, OuterWindowClosedInsideInnerRunEndsAfterIt) {
  eWindow outer, inner;
  int innerResult = 0;
  step([&] { innerResult = inner.exec(); });
  step([&] { outer.reject(); });  // while inner runs
  step([&] {
    EXPECT_TRUE(inner.isExecuting());
    inner.close(1);
  });
  EXPECT_EQ(outer.exec(), -1);
  EXPECT_EQ(innerResult, 1);
}

TEST_F(EventLoop, TimersFireInDueOrderAndMayChangeThemselves) {
  std::vector<std::string> fired;
  eTimer a, b, c, periodic;
  auto* dying = new eTimer;
  a.timeout.connect([&] { fired.push_back("a@" + std::to_string(eApp->now())); });
  b.timeout.connect([&] {
    fired.push_back("b@" + std::to_string(eApp->now()));
    c.stop();
  });
  c.timeout.connect([&] { fired.push_back("c"); });
  periodic.timeout.connect([&] { fired.push_back("p@" + std::to_string(eApp->now())); });
  dying->timeout.connect([&] {
    fired.push_back("dying");
    delete dying;  // a handler may delete its own timer
  });
  a.start(500);
  b.start(500);  // same due time: start order
  c.start(700);  // stopped by b before it is due
  periodic.start(400, false);
  dying->start(100);
  EXPECT_EQ(eApp->msToNextTimer(), 100);
  eApp->advance(1000);
  EXPECT_EQ(fired, (std::vector<std::string>{"dying", "p@400", "a@500", "b@500", "p@800"}));
  EXPECT_FALSE(a.isActive());
  EXPECT_TRUE(periodic.isActive());
  EXPECT_EQ(eApp->msToNextTimer(), 200);

  // Restarting a running timer counts from now.
  a.start(300);
  eApp->advance(200);
  a.start(300);
  fired.clear();
  eApp->advance(299);
  EXPECT_TRUE(fired.empty());
  eApp->advance(1);
  EXPECT_EQ(fired.back(), "a@1500");
}

TEST_F(EventLoop, ZeroIntervalTimerDoesNotHangTheLoop) {
  eTimer spin;
  int count = 0;
  spin.timeout.connect([&] { ++count; });
  spin.start(0, false);
  eApp->processTimers();
  EXPECT_EQ(count, 1);
  eApp->advance(3);
  EXPECT_EQ(count, 4);
}

TEST_F(EventLoop, KeysGoToTheFocusThenParentsThenWindow) {
  struct Recorder : eWidget {
    Recorder(eWidget* parent, std::vector<std::string>& log, std::string name, bool uses)
        : eWidget(parent, 1), log_(log), name_(std::move(name)), uses_(uses) {}
    bool keyDown(eKey) override {
      log_.push_back(name_);
      return uses_;
    }
    std::vector<std::string>& log_;
    std::string name_;
    bool uses_;
  };
  std::vector<std::string> log;
  eWindow window;
  auto* group = new Recorder(&window, log, "group", true);
  auto* leaf = new Recorder(group, log, "leaf", false);
  window.setFocus(leaf);
  step([] { eApp->keyPress(eKey::n5); });
  step([&] { window.close(0); });
  window.exec();
  EXPECT_EQ(log, (std::vector<std::string>{"leaf", "group"}));
}

TEST_F(EventLoop, WithoutFrontEndOnlyTimersRunAndAStuckLoopEnds) {
  eApp->setFrontend(nullptr);
  eWindow window;
  eTimer closer;
  closer.timeout.connect([&] { window.close(4); });
  closer.start(5000);
  EXPECT_EQ(window.exec(), 4);
  EXPECT_EQ(eApp->now(), 5000);
  // Nothing left that could end it: closed with -1 instead of hanging.
  EXPECT_EQ(window.exec(), -1);
}
