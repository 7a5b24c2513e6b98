// The scripted front end in process: answers given ahead or just in time,
// and giving up on a window that will not close.
#include "tests/host/host_fixture.h"
#include "tools/oruvel-host/script_frontend.h"

using ScriptFrontendTest = HostTest;
using oruvel_host::ScriptFrontend;

TEST_F(ScriptFrontendTest, AnswersQueueAndUnansweredBoxesTakeTheirDefault) {
  ScriptFrontend script("answer 8\n# comment\nanswer 2   # trailing comment\n");
  eApp->setFrontend(&script);
  eMessageBox first("?", "Oruvel", 0x2c, 1, 0);
  eMessageBox second("?", "Oruvel", 0x23, 1, 0);
  eMessageBox third("?", "Oruvel", 0x2c, 1, 0);
  EXPECT_EQ(first.exec(), 8);
  EXPECT_EQ(second.exec(), 2);
  EXPECT_EQ(third.exec(), 4);
  EXPECT_FALSE(script.failed());
}

TEST_F(ScriptFrontendTest, CommandsRunOnePerPollAndTheEndSendsExit) {
  ScriptFrontend script("key down\nwait 250\nkey green\n");
  eApp->setFrontend(&script);
  eWindow window;
  auto* a = new eButton(&window);
  auto* b = new eButton(&window);
  b->setShortcut("green");
  int greens = 0;
  std::int64_t pressedAt = -1;
  b->selected.connect([&] {
    ++greens;
    pressedAt = eApp->now();
  });
  window.setFocus(a);
  window.show();
  EXPECT_EQ(window.exec(), 0);  // closed by the exit key after the script
  EXPECT_EQ(window.getFocus(), b);
  EXPECT_EQ(greens, 1);
  EXPECT_EQ(pressedAt, 250);
}

TEST_F(ScriptFrontendTest, GivesUpOnAWindowThatIgnoresExit) {
  struct Stubborn : eWindow {
    bool keyDown(eKey) override { ++keys; return true; }
    int keys = 0;
  };
  ScriptFrontend script("");
  int gaveUp = 0;
  Stubborn window;
  script.onGiveUp = [&] {
    ++gaveUp;
    window.close(-5);
  };
  eApp->setFrontend(&script);
  EXPECT_EQ(window.exec(), -5);
  EXPECT_EQ(window.keys, ScriptFrontend::kMaxExitKeys);
  EXPECT_EQ(gaveUp, 1);
}

TEST_F(ScriptFrontendTest, ABadLineFailsAndEndsTheScript) {
  ScriptFrontend script("wait 10\nkey sideways\nwait 1000\n");
  eApp->setFrontend(&script);
  eWindow window;
  EXPECT_EQ(window.exec(), 0);
  EXPECT_TRUE(script.failed());
  EXPECT_EQ(eApp->now(), 10);  // the line after the error did not run
}
