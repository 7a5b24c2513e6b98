// The host's event loop: nested modal runs, their ends, and timers firing
// inside them at their due times on the virtual clock.
#include "tests/host/host_fixture.h"

using EventLoop = HostTest;

TEST_F(EventLoop, NestedModalRunsKeepFiringTimersAndEndByExitRejectAndClose) {
  eWindow outer, inner;
  auto* child = new eButton(&outer);
  outer.setFocus(child);
  eTimer status;
  std::vector<std::int64_t> ticks;
  status.timeout.connect([&] {
    ticks.push_back(eApp->now());
    status.start(3000, false);  // restarted at the end of each tick, as the plug-in does
  });
  status.start(3000, false);
  int innerResult = 0;
  step([&] { eApp->advance(3000); });
  step([&] { innerResult = inner.exec(); });  // nested: the next steps run inside it
  step([&] { eApp->advance(6500); outer.close(2); });  // the close waits for the inner run to end
  step([&] { inner.close(5); });
  outer.close(9);  // a close before the run does not end a later run
  EXPECT_EQ(outer.exec(), 2);
  EXPECT_EQ(innerResult, 5);
  EXPECT_EQ(ticks, (std::vector<std::int64_t>{3000, 6000, 9000}));
  step([] { eApp->keyPress(eKey::exit); });
  EXPECT_EQ(outer.exec(), 0);
  step([&] { child->reject(); });  // a child's reject ends its window
  EXPECT_EQ(outer.exec(), -1);
}

TEST_F(EventLoop, TimersFireInDueOrderAndMayChangeThemselvesAndAStuckLoopEnds) {
  std::string fired;
  eTimer a, b, c, periodic, spin;
  eTimer* named[] = {&a, &b, &c, &periodic};
  for (int i = 0; i < 4; ++i)
    named[i]->timeout.connect([&fired, i] { fired += "abcp"[i] + std::to_string(eApp->now()) + " "; });
  b.timeout.connect([&] { c.stop(); });
  auto* dying = new eTimer;
  dying->timeout.connect([&] { delete dying; });  // a handler may delete its own timer
  a.start(500);
  b.start(500);  // same due time: start order
  c.start(700);  // stopped by b before it is due
  periodic.start(400, false);
  dying->start(100);
  EXPECT_EQ(eApp->msToNextTimer(), 100);
  eApp->advance(1000);
  EXPECT_EQ(eApp->msToNextTimer(), 200);
  a.start(300);  // restarting a running timer counts from now
  eApp->advance(200);
  a.start(300);
  eApp->advance(300);
  EXPECT_EQ(fired, "p400 a500 b500 p800 p1200 a1500 ");
  int count = 0;  // a zero interval fires once per pass and does not hang the loop
  spin.timeout.connect([&] { ++count; });
  spin.start(0, false);
  eApp->processTimers();
  eApp->advance(3);
  EXPECT_EQ(count, 4);
  spin.stop();
  periodic.stop();
  // Without a front end only timers run; a loop nothing can end is closed with -1.
  eApp->setFrontend(nullptr);
  eWindow window;
  c.timeout.connect([&] { window.close(4); });
  c.start(5000);
  EXPECT_EQ(window.exec(), 4);
  EXPECT_EQ(window.exec(), -1);
}
