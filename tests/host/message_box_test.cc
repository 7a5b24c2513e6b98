// What a message box's exec() returns for the keys pressed, by its flags.
#include "tests/host/host_fixture.h"

using MessageBoxes = HostTest;

TEST_F(MessageBoxes, ExecReturnsTheButtonThatClosedIt) {
  const struct {
    int flags;
    std::vector<eKey> keys;
    int expected;
  } cases[] = {{0x21, {eKey::ok}, 1}, {1, {eKey::exit}, 1},  // no declining button: the default
               {0x23, {eKey::ok}, 1}, {0x23, {eKey::right, eKey::ok}, 2}, {0x23, {eKey::exit}, 2},
               {0x2c, {eKey::ok}, 4},  // default 1 is not there: Yes
               {0x2c, {eKey::down, eKey::ok}, 8}, {0x2c, {eKey::right, eKey::right, eKey::ok}, 4},  // wraps
               {0x2c, {eKey::exit}, 8}, {0x2c, {eKey::green, eKey::n1, eKey::ok}, 4}};  // other keys do nothing
  for (const auto& c : cases) {
    step([&] { keys(c.keys); });
    eMessageBox box("Question?", "Oruvel", c.flags, 1, 0);
    box.show();
    EXPECT_EQ(box.exec(), c.expected) << "flags " << c.flags;
    box.hide();
  }
}
