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

TEST_F(EventLoop, WindowsEndByExitKeyRejectAndCloseAndAnOuterCloseWaitsForTheInnerRun) {
  eWindow window, inner;
  auto* child = new eButton(&window);
  window.setFocus(child);
  step([] { eApp->keyPress(eKey::exit); });
  EXPECT_EQ(window.exec(), 0);
  step([&] { child->reject(); });  // a child's reject ends its window
  EXPECT_EQ(window.exec(), -1);
  // A close before the run does not end a later run at once.
  window.close(9);
  int innerResult = 0;
  step([&] { innerResult = inner.exec(); });
  step([&] { window.close(3); });  // while inner runs
  step([&] {
    EXPECT_TRUE(inner.isExecuting());
    inner.close(1);
  });
  EXPECT_EQ(window.exec(), 3);
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

  // A zero interval fires once per pass and does not hang the loop.
  eTimer spin;
  int count = 0;
  spin.timeout.connect([&] { ++count; });
  spin.start(0, false);
  eApp->processTimers();
  eApp->advance(3);
  EXPECT_EQ(count, 4);
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
