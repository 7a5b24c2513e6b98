// The scripted front end in process: bad lines, and giving up on a window
// that will not close; its other commands are seen in every plug-in run.
#include "tests/host/host_fixture.h"
#include "tools/oruvel-host/script_frontend.h"

using ScriptFrontendTest = HostTest;
using oruvel_host::ScriptFrontend;

TEST_F(ScriptFrontendTest, ABadLineIsNamedAndEndsTheScript) {
  eWindow window;
  auto* field = new eTextInputField(&window);
  (new eLabel(&window))->setName("info");
  window.setFocus(field);
  window.show();
  const std::pair<const char*, const char*> cases[] = {
      {"key purple", "unknown key name \"purple\""}, {"type 12", "the text field is not being edited"},
      {"focus", "focus needs a widget name"}, {"focus nosuch", "no shown widget is named \"nosuch\""},
      {"focus info", "\"info\" cannot take the focus"}, {"wait soon", "wait needs milliseconds"},
      {"wait -1", "wait needs milliseconds"}, {"answer yes", "answer needs a button value"},
      {"answer 99999999999", "answer needs a button value"}, {"lcd", "lcd needs a file name"},
      {"frobnicate", "unknown command \"frobnicate\""}};
  for (const auto& [line, why] : cases) {
    ScriptFrontend script("wait 10\n" + std::string(line) + "\nwait 1000\n");
    eApp->setFrontend(&script);
    const std::int64_t start = eApp->now();
    testing::internal::CaptureStderr();
    EXPECT_EQ(window.exec(), 0) << line;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(script.failed()) << line;
    EXPECT_NE(err.find(std::string("oruvel-host: script line 2: ") + why), std::string::npos) << err;
    EXPECT_EQ(eApp->now() - start, 10) << line;  // the line after the error did not run
  }
}

TEST_F(ScriptFrontendTest, GivesUpOnAWindowThatIgnoresExit) {
  ScriptFrontend script("");
  struct Stubborn : eWindow {
    int keys = 0;
    bool keyDown(eKey) override { return ++keys > 0; }
  } window;
  script.onGiveUp = [&] { window.close(-5); };
  eApp->setFrontend(&script);
  EXPECT_EQ(window.exec(), -5);
  EXPECT_EQ(window.keys, ScriptFrontend::kMaxExitKeys);
}
