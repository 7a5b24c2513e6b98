// Message boxes: the value exec() returns, their defaults and keys, and
// their transcript lines.
#include "tests/host/host_fixture.h"

using MessageBoxes = HostTest;

namespace {
int run(eMessageBox& box) {
  box.show();
  int result = box.exec();
  box.hide();
  return result;
}
}  // namespace

TEST_F(MessageBoxes, ExecReturnsTheButtonThatClosedIt) {
  std::vector<eKey> keys;
  frontend.onMessageBox = [&](eMessageBox&) {
    for (eKey k : keys) eApp->keyPress(k);
  };
  struct Case {
    int flags;
    std::vector<eKey> keys;
    int expected;
  } cases[] = {
      {0x21, {eKey::ok}, 1},
      {1, {eKey::exit}, 1},                    // no declining button: the default
      {0x23, {eKey::ok}, 1},
      {0x23, {eKey::right, eKey::ok}, 2},
      {0x23, {eKey::exit}, 2},
      {0x2c, {eKey::ok}, 4},                   // default 1 is not there: Yes
      {0x2c, {eKey::down, eKey::ok}, 8},
      {0x2c, {eKey::right, eKey::right, eKey::ok}, 4},  // wraps
      {0x2c, {eKey::exit}, 8},
      {0x2c, {eKey::green, eKey::n1, eKey::ok}, 4},     // other keys do nothing
  };
  for (const Case& c : cases) {
    keys = c.keys;
    eMessageBox box("Question?", "Oruvel", c.flags, 1, 0);
    EXPECT_EQ(run(box), c.expected) << "flags " << c.flags;
  }
}

TEST_F(MessageBoxes, TranscriptShowsBoxesAndTheirResults) {
  frontend.onMessageBox = [](eMessageBox& box) { box.close(4); };
  {
    eMessageBox box("lumoripper will be stopped.\nplease wait.", "Oruvel", 0x20, 1, 0);
    box.show();  // a notice: shown, never run
    box.hide();
  }
  eMessageBox question("Save \"Radio\\1\"?", "Oruvel - save radio station", 0x2c, 1, 0);
  EXPECT_EQ(run(question), 4);
  EXPECT_EQ(transcript,
            (std::vector<std::string>{
                "msgbox \"Oruvel\" flags=0x20 \"lumoripper will be stopped.\\nplease wait.\"",
                "msgbox \"Oruvel - save radio station\" flags=0x2c \"Save \\\"Radio\\\\1\\\"?\"",
                "msgbox closed 4"}));
}

