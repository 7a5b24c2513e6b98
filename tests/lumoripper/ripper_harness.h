#pragma once
// The stand-in's stream plans and lumoripper runs under a test's own root,
// for tests that watch the ripper from outside.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "tests/support/host_run.h"
#include "tests/support/temp_root.h"
#include "tests/support/wait.h"

namespace rippertest {

using testsupport::waitFor;
using Files = std::map<std::string, std::string>;

// The files directly in `dir`: name -> content.
inline Files filesIn(const std::string& dir) {
  Files files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (e.is_regular_file()) files[e.path().filename().string()] = testsupport::readFile(e.path().string());
  return files;
}

// A recording read back: the ID3v2.4 tag's text frames (id -> UTF-8 text)
// and the audio after the tag.
struct Tagged {
  std::map<std::string, std::string> frames;
  std::string audio;
};
inline Tagged untag(const std::string& file) {
  Tagged t{{}, file};
  if (file.size() < 10 || file.compare(0, 4, std::string("ID3\x04", 4)) != 0) return t;
  auto syncsafe = [&](std::size_t at) {
    std::size_t n = 0;
    for (std::size_t i = at; i < at + 4 && i < file.size(); ++i) n = (n << 7) | (static_cast<unsigned char>(file[i]) & 0x7F);
    return n;
  };
  const std::size_t end = 10 + syncsafe(6);
  for (std::size_t at = 10; at + 11 <= end && end <= file.size();) {
    const std::size_t size = syncsafe(at + 4);
    if (size == 0 || file[at + 10] != 3 || at + 10 + size > end) break;  // UTF-8 text frames only
    t.frames[file.substr(at, 4)] = file.substr(at + 11, size - 1);
    at += 10 + size;
  }
  t.audio = file.substr(std::min(end, file.size()));
  return t;
}

// filesIn with each file's tag taken off: name -> audio.
inline Files audioIn(const std::string& dir) {
  Files files = filesIn(dir);
  for (auto& [name, content] : files) content = untag(content).audio;
  return files;
}

// The stand-in directory playing stream plans (JSON, see plan_stream.py) from `dir`.
struct RadioServer : testsupport::StandIn {
  explicit RadioServer(const std::string& dir)
      : StandIn({"--plans", (std::filesystem::create_directories(dir), dir), "--audio-dir", ""}), dir(dir) {}
  void plan(const std::string& name, const std::string& json) const { testsupport::writeFile(dir + "/" + name + ".json", json); }
  std::string url(const std::string& name) const { return "http://" + address() + "/plan/" + name; }
  std::string sent(const std::string& name) const { return testsupport::readFile(dir + "/" + name + ".sent"); }
  std::string dir;
};

// The ripper under test (ORUVEL_TEST_LUMORIPPER: another build) runs as a
// copy named oruvel-ripper, out of reach of a "killall lumoripper" elsewhere
// on the shared machine. Through sh, which writes its PID to ROOT/ripper.pid
// and runs `limits` (e.g. "ulimit -f 40"); killed after `seconds`.
inline testsupport::RunResult runRipper(const testsupport::TempRoot& root, std::vector<std::string> args,
                                        const std::string& limits = "", int seconds = 60) {
  const char* other = std::getenv("ORUVEL_TEST_LUMORIPPER");
  const std::string copy = root.path() + "/bin/oruvel-ripper";
  std::error_code ec;
  std::filesystem::create_directories(root.path() + "/bin", ec);
  std::filesystem::copy_file(other && *other ? other : LUMORIPPER_BIN, copy, ec);
  args.insert(args.begin(), {"/bin/sh", "-c", limits + "\necho $$ >\"$ORUVEL_ROOT/ripper.pid\"; exec \"$0\" \"$@\"", copy});
  return testsupport::runProgram(args, "", seconds, {"ORUVEL_ROOT=" + root.path()});
}

// runRipper in the background, for watching the ripper while it records.
struct BackgroundRipper {
  BackgroundRipper(const testsupport::TempRoot& root, const std::vector<std::string>& args)
      : root(root), thread([this, args] { result = runRipper(this->root, args), done = true; }) {}
  ~BackgroundRipper() { thread.join(); }
  // Only while it still runs is the PID still its own.
  void signal(int sig) const {
    const std::string pid = root.read("/ripper.pid");
    if (!done && !pid.empty()) kill(std::stoi(pid), sig);
  }
  const testsupport::TempRoot& root;
  testsupport::RunResult result;
  std::atomic<bool> done{false};
  std::thread thread;
};

}  // namespace rippertest
