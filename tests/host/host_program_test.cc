// oruvel-host run on the test plug-in, seen from outside: the transcript,
// what the command line sets up, script errors and the exit status.
#include <gtest/gtest.h>

#include "tests/support/host_run.h"

using testsupport::runHost;

TEST(HostProgram, RunsThePluginOnTheScriptAndTheRestAfterItReturned) {
  testsupport::TempRoot root;
  const std::string tv = "1:0:19:283d:3fb:1:0:0:0:0:", q = "msgbox \"Question\" flags=0x2c \"Really \\\"that\\\\1\\\"?\\nSecond line\"";
  auto r = runHost(root, "key green\nanswer 8   # a trailing comment\ndump\nkey green\nservice\n",
                   {"--service", tv, "--locked", tv, "--config", "/elitedvb/hidelocked=1", "--directory", "127.0.0.1:9"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Unanswered, the second question closes with Yes, its first button.
  EXPECT_EQ(r.linesWith("msgbox "), (std::vector<std::string>{"msgbox \"Test\" flags=0x23 \"locked=1 active=1 hidelocked=1 root=" +
                                                                   root.path() + " directory=127.0.0.1:9\"",
                                                               "msgbox closed 1", q, "msgbox closed 8", q, "msgbox closed 4"}));
  EXPECT_NE(r.widgetLine("ask").find("text=\"answer 8\" shortcut=green nodeco *focus*"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("service \"" + tv + "\"\nplugin_exec returned 0\n"), std::string::npos) << r.out;

  // Declined at the start; the answer is read ahead, the rest runs after the
  // return, and a key then has no window to go to.
  const std::string host = "1:0:1:1:1:1:0:0:0:0:";
  r = runHost(root, "answer 2\nservice\ndump\nkey ok\n", {"--locked", host, "--lock-inactive"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "msgbox \"Test\" flags=0x23 \"locked=1 active=0 hidelocked=-1 root=" + root.path() +
                       " directory=-\"\nmsgbox closed 2\nplugin_exec returned 7\nservice \"" + host + "\"\nno windows\n");
  EXPECT_NE(r.err.find("script line 4: no window to send a key to"), std::string::npos) << r.err;

  // A script error fails the run and goes to the log; the lines after it do not run.
  r = runHost(root, "# a comment\n\nwait 5\nfrobnicate\ndump\n", {"--log", "logs/host.log"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(r.has("window eWindow"));
  EXPECT_TRUE(r.has("plugin_exec returned 0\n")) << r.out;
  EXPECT_NE(testsupport::readFile(root.at("/logs/host.log")).find("script line 4: unknown command \"frobnicate\""),
            std::string::npos);
}

TEST(HostProgram, CommandLineErrorsAndHelp) {
  testsupport::TempRoot root;
  const std::string bin = testsupport::hostBinary(), dir = root.path();
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {{"--help"}, 0, "--script FILE"}, {{"--script", "-"}, 2, ""},  // no root
      {{"--root", dir}, 2, "in a terminal"},  // no script, and no terminal
      {{"--root", dir, "--script", "-", "--bogus"}, 2, ""}, {{"--root", dir, "--script", "-", "--config", "x"}, 2, ""},
      {{"--root", dir, "--script", dir + "/none.txt"}, 2, "cannot read the script"},
      {{"--root", dir, "--script", "-", "--service", "not a reference"}, 2, "not a service reference"},
      {{"--root", dir, "--script", "-", "--plugin", dir + "/none.so"}, 1, "cannot load the plug-in"}};
  for (const auto& c : cases) {
    std::vector<std::string> argv{bin};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto r = testsupport::runProgram(argv);
    EXPECT_EQ(r.exitCode, c.status) << c.args.back();
    EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << c.args.back() << r.err;
  }
}
