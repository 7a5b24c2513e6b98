// oruvel-host run on the test plug-in: the script commands, the transcript
// and the command line, seen from outside.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/host_run.h"
#include "tests/support/temp_root.h"

using testsupport::RunResult;
using testsupport::TempRoot;

namespace {

RunResult host(const TempRoot& root, const std::string& script,
               const std::vector<std::string>& args = {}) {
  return testsupport::runHost(root, script, args, 60);
}

}  // namespace

TEST(HostProgram, RunsThePluginAndHandsBackTheService) {
  TempRoot root;
  RunResult r = host(root, "dump\nservice\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string expected =
      "msgbox \"Test\" flags=0x1 \"Starting\"\n"         // shown without exec: no close line
      "msgbox \"Test\" flags=0x23 \"Start the window?\"\n"
      "msgbox closed 1\n"
      "window eWindow \"Test window\" client=(100,80) 400x300 running\n";
  EXPECT_EQ(r.out.substr(0, expected.size()), expected) << r.out;
  EXPECT_TRUE(r.has("  eComboBox name=\"combo\" pos=(100,50) size=150x30 text=\"Three\" "
                    "deco=eComboBox *focus*\n"
                    "    entry key=1 \"One\"\n    entry key=2 \"Two\"\n"
                    "    entry key=3 \"Three\" *current*\n"))
      << r.out;
  EXPECT_TRUE(r.has("  eTextInputField name=\"field\" pos=(10,50) size=80x30 text=\"0\" "
                    "help=\"Type a number.\" hint=\"Example: 128\" max=4 chars=\"0123456789\" "
                    "deco=eNumber\n"))
      << r.out;
  EXPECT_TRUE(r.has("  eListBox name=\"list\" pos=(10,90) size=380x60 text=\"\" count=5 top=0 "
                    "rows=3 deco=eListBox\n    entry key=0 \"Station 0\" *highlighted*\n"))
      << r.out;
  EXPECT_TRUE(r.has("text=\"Ask\" shortcut=green deco=eButton"));
  EXPECT_TRUE(r.has("text=\"Picture\" shortcut=yellow nodeco"));
  // The status bar shows nothing: the combo box has no help text.
  EXPECT_TRUE(r.has("  eStatusBar pos=(10,260) size=380x30 text=\"\" deco=eStatusBar\n"));
  EXPECT_TRUE(r.has("service \"1:0:1:1:1:1:0:0:0:0:\"\n"));
  // The script ran out: exit closed the window with 0, the service came back.
  EXPECT_TRUE(r.has("playService \"1:0:1:1:1:1:0:0:0:0:\" mode=40\nplugin_exec returned 0\n"))
      << r.out;
}

TEST(HostProgram, AnswersCommandsAfterReturnAndServiceOption) {
  TempRoot root;
  // The answer is read before any window loop runs; the rest runs after return.
  RunResult r = host(root, "answer 2\nservice\ndump\n", {"--service", "1:0:19:283d:3fb:1:0:0:0:0:"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("msgbox closed 2\nplugin_exec returned 7\n"
                    "service \"1:0:19:283d:3fb:1:0:0:0:0:\"\nno windows\n"))
      << r.out;
  EXPECT_FALSE(r.has("playService"));
}

TEST(HostProgram, TextFieldEditingTypingAndLimits) {
  TempRoot root;
  RunResult r = host(root,
                     "focus field\n"
                     "key ok\n"
                     "dump\n"
                     "type 12a345\n"   // a refused, 5 over the limit of four
                     "key backspace\n"
                     "key 9\n"
                     "key down        # stays in the field while editing\n"
                     "key ok\n"
                     "dump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("text=\"field editing: 0\""));
  EXPECT_TRUE(r.has("text=\"0\" help=\"Type a number.\" hint=\"Example: 128\" max=4 "
                    "chars=\"0123456789\" editing deco=eNumber *focus*"))
      << r.out;
  EXPECT_TRUE(r.has("text=\"field done: 1239\"")) << r.out;
  // The status bar follows the focus.
  EXPECT_TRUE(r.has("eStatusBar pos=(10,260) size=380x30 text=\"Type a number.\""));
}

TEST(HostProgram, ComboBoxChoiceAndLeavingWithoutOne) {
  TempRoot root;
  RunResult r = host(root, "key ok\nkey up\nkey ok\ndump\nkey ok\ndump\nkey exit\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("text=\"chose Two\"")) << r.out;
  EXPECT_TRUE(r.has("text=\"Two\" open deco=eComboBox *focus*\n"
                    "    entry key=1 \"One\"\n    entry key=2 \"Two\" *current*\n"))
      << r.out;
  // Leaving the open list without a choice signals null: the window rejects.
  EXPECT_TRUE(r.has("plugin_exec returned -1\n")) << r.out;
}

TEST(HostProgram, ListBoxHighlightScrollsThenFocusMoves) {
  TempRoot root;
  RunResult r = host(root,
                     "focus list\nkey down\nkey down\nkey down\nkey ok\ndump\n"
                     "key down\nkey down\ndump\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("count=5 top=1 rows=3 deco=eListBox *focus*\n")) << r.out;
  EXPECT_TRUE(r.has("    entry key=30 \"Station 3\" *highlighted*\n"));
  EXPECT_TRUE(r.has("text=\"picked Station 3\"")) << r.out;
  // Station 4 is the last row; the next down leaves the list for the button.
  EXPECT_TRUE(r.has("text=\"Ask\" shortcut=green deco=eButton *focus*")) << r.out;
  EXPECT_TRUE(r.has("text=\"at key 40\""));
}

TEST(HostProgram, ColourKeysQuestionsPlayAndStillPicture) {
  TempRoot root;
  RunResult r = host(root,
                     "key green\nanswer 8\ndump\n"
                     "key green\ndump\n"
                     "key red\nservice\n"
                     "key yellow\ndecoder\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("msgbox \"Question\" flags=0x2c \"Really?\\nSecond line\"\nmsgbox closed 8\n"))
      << r.out;
  EXPECT_TRUE(r.has("text=\"answer 8\""));
  // Unanswered, the box closes with its first button, Yes: it has no OK.
  EXPECT_TRUE(r.has("text=\"answer 4\"")) << r.out;
  EXPECT_TRUE(r.has("playService \"4096:0:0:0:0:0:0:0:0:0:http://radio.example:8000/live\" mode=40\n"
                    "service \"4096:0:0:0:0:0:0:0:0:0:http://radio.example:8000/live\"\n"))
      << r.out;
  EXPECT_TRUE(r.has("stillpicture \"/nowhere/radio.mvi\"\n"
                    "decoder vpid=0x0 apid=0x1ffe tpid=0x0 pcrpid=0x0 audio_type=0 sets=1\n"))
      << r.out;
  EXPECT_TRUE(r.has("playService \"1:0:1:1:1:1:0:0:0:0:\" mode=40\nplugin_exec returned 0\n"));
}

TEST(HostProgram, VirtualTimeFiresTimersAndLcdLockIsGivenBack) {
  TempRoot root;
  RunResult r = host(root, "lcdlock\nwait 999\ndump\nwait 1501\ndump\nlcdlock\n",
                     {"--title", "Song A", "--title2", "Station"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("lcdlock locked=1 count=1 locks=0 unlocks=0\n"));
  EXPECT_TRUE(r.has("text=\"ready\"")) << r.out;
  EXPECT_TRUE(r.has("text=\"tick 2 at 2000 title=Song A\"")) << r.out;
  EXPECT_TRUE(r.has("lcdlock locked=1 count=1 locks=2 unlocks=2\n")) << r.out;
}

TEST(HostProgram, LockConfigDirectoryAndRootReachThePlugin) {
  TempRoot root;
  RunResult r = host(root, "dump\n",
                     {"--locked", "1:0:1:1:1:1:0:0:0:0:", "--config", "/elitedvb/hidelocked=1",
                      "--directory", "127.0.0.1:9"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.has("text=\"locked=1 active=1 hidelocked=1 root=" + root.path() +
                    " directory=127.0.0.1:9\""))
      << r.out;
  RunResult inactive = host(root, "dump\n", {"--locked", "1:0:1:1:1:1:0:0:0:0:", "--lock-inactive"});
  EXPECT_TRUE(inactive.has("text=\"locked=1 active=0 hidelocked=-1 ")) << inactive.out;
}

TEST(HostProgram, WithoutServiceInterfaceTheEmptyTextIsHandedBack) {
  TempRoot root;
  RunResult r = host(root, "service\n", {"--no-service-api"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Nothing parses from "": the request is seen and the service stays.
  EXPECT_TRUE(r.has("playService \"\" mode=40\nplugin_exec returned 0\n")) << r.out;
  EXPECT_TRUE(r.has("service \"1:0:1:1:1:1:0:0:0:0:\"\n"));
  EXPECT_TRUE(r.has("text=\"locked=0 active=0 hidelocked=-1") || !r.has("dump")) << r.out;
}

TEST(HostProgram, ScriptErrorsNameTheLineAndStillCloseThePlugin) {
  TempRoot root;
  RunResult r = host(root, "# a comment\n\nkey ok\nfrobnicate\ndump\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("script line 4: unknown command \"frobnicate\""), std::string::npos) << r.err;
  EXPECT_FALSE(r.has("window eWindow"));  // the dump after the error did not run
  EXPECT_TRUE(r.has("plugin_exec returned")) << r.out;

  for (const char* bad : {"key purple\n", "type 12\n", "focus nosuch\n", "focus info\n",
                          "wait soon\n", "answer yes\n"}) {
    RunResult e = host(root, bad);
    EXPECT_EQ(e.exitCode, 1) << bad;
    EXPECT_NE(e.err.find("script line 1: "), std::string::npos) << bad << e.err;
  }
  // After the plug-in returned there is no window for a key.
  RunResult late = host(root, "answer 2\nkey ok\n");
  EXPECT_EQ(late.exitCode, 1);
  EXPECT_NE(late.err.find("no window"), std::string::npos) << late.err;
}

TEST(HostProgram, LogFileTakesStandardError) {
  TempRoot root;
  RunResult r = host(root, "bogus\n", {"--log", "logs/host.log"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(testsupport::readFile(root.path() + "/logs/host.log").find("script line 1"),
            std::string::npos);
}

TEST(HostProgram, CommandLineErrorsAndHelp) {
  TempRoot root;
  using testsupport::runProgram;
  const std::string bin = testsupport::hostBinary();
  RunResult help = runProgram({bin, "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--script FILE"), std::string::npos);
  EXPECT_EQ(runProgram({bin, "--script", "-"}).exitCode, 2);             // no root
  EXPECT_EQ(runProgram({bin, "--root", root.path()}).exitCode, 2);       // no script
  EXPECT_EQ(runProgram({bin, "--root", root.path(), "--script", "-", "--bogus"}).exitCode, 2);
  EXPECT_EQ(runProgram({bin, "--root", root.path(), "--script", "-", "--config", "x"}).exitCode, 2);
  RunResult service = host(root, "", {"--service", "not a reference"});
  EXPECT_EQ(service.exitCode, 2);
  EXPECT_NE(service.err.find("not a service reference"), std::string::npos);
  RunResult missing =
      runProgram({bin, "--root", root.path(), "--plugin", root.path() + "/none.so", "--script", "-"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("cannot load the plug-in"), std::string::npos);
  RunResult noScript =
      runProgram({bin, "--root", root.path(), "--script", root.path() + "/none.txt"});
  EXPECT_EQ(noScript.exitCode, 2);
}

TEST(HostProgram, WritesTheLcdPicture) {
  TempRoot root;
  const std::string pbm = root.path() + "/panel.pbm";
  RunResult r = host(root, "lcd " + pbm + "\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(testsupport::readFile(pbm).substr(0, 9), "P1\n132 64") ;
}
