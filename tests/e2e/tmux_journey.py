#!/usr/bin/env python3
"""One journey through Oruvel in the interactive desktop host, driven in tmux
as a person would: keys in with send-keys, the screen read back with
capture-pane. Exit status 77 (skipped) when tmux is missing."""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback


def until(test, what, seconds=60):
    """Polls test() until it gives a true value, which it returns; the bound
    only ends a run that hangs, so it is generous for a loaded machine."""
    deadline = time.monotonic() + seconds
    while not (got := test()):
        if time.monotonic() > deadline:
            raise AssertionError("gave up waiting for " + (what() if callable(what) else what))
        time.sleep(0.1)
    return got


def read(path, binary=False):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        data = b""
    return data if binary else data.decode("utf-8", "replace")


def alive(pid, name):
    return read(f"/proc/{pid}/comm").strip() == name


class Pane:
    """A tmux server of our own with one pane running the host."""

    def __init__(self, command):
        self.tmux = ["tmux", "-u", "-L", f"oruvel-e2e-{os.getpid()}", "-f", "/dev/null"]
        self.seen = []  # every screen captured, for what must never show
        self.run("new-session", "-d", "-s", "j", "-x", "160", "-y", "45", "-e", "LANG=C.UTF-8",
                 "-e", "TERM=xterm-256color", "sh", "-c", command)
        self.run("set-option", "-g", "escape-time", "0")

    def run(self, *args):
        return subprocess.run(self.tmux + list(args), check=True, capture_output=True).stdout

    def keys(self, *names):
        for name in names:
            self.run("send-keys", "-t", "j", name)

    def text(self):
        self.seen.append(self.run("capture-pane", "-p", "-t", "j").decode("utf-8", "replace"))
        return self.seen[-1]

    def wait_for(self, test, what=""):
        return until(lambda: test(self.text()) and self.seen[-1], lambda: f"{what}; the screen:\n{self.seen[-1]}")

    def wait_text(self, needle):
        return self.wait_for(lambda s: needle in s, repr(needle))


def lcd_pixels(screen):
    """The LCD picture read back from the braille cells below its label."""
    lines = screen.split("\n")
    top = next(i for i, l in enumerate(lines) if "front panel LCD" in l)
    rows = [[ord(c) - 0x2800 for c in lines[top + 1 + r] if 0x2800 <= ord(c) <= 0x28FF] for r in range(16)]
    dots = [(0, 0), (0, 1), (0, 2), (1, 0), (1, 1), (1, 2), (0, 3), (1, 3)]  # bit -> (dx, dy)
    return all(len(r) == 60 for r in rows) and [[(rows[y // 4][x // 2] >> dots.index((x % 2, y % 4))) & 1 for x in range(120)] for y in range(64)]


def device_pixels(path):
    data = read(path, binary=True)[:960]
    return len(data) == 960 and [[(data[(y // 8) * 120 + x] >> (y % 8)) & 1 for x in range(120)] for y in range(64)]


# The service the host starts with: a station whose host does not resolve.
UNKNOWN_HOST = "4096:0:0:0:0:0:0:0:0:0:http://radio.invalid/live"


def journey(p, root, standin, ripper):
    music, path = os.path.join(root, "music"), lambda name: os.path.join(root, name)
    p.wait_text("Oruvel V0.2 by kWIBEL")
    # The player line says why the station the host started with does not play.
    p.wait_text("✗ failed: host not found: radio.invalid")
    p.wait_for(lambda s: all(n in s for n in ("Select your Shoutcast Genre", "front panel LCD", "Esc exit")))
    # Too small a terminal is told so; back at full size all is redrawn.
    p.run("resize-window", "-t", "j", "-x", "70", "-y", "20")
    p.wait_text("needs a terminal of at least 80 x 24")
    p.run("resize-window", "-t", "j", "-x", "160", "-y", "45")
    p.wait_text("Oruvel V0.2 by kWIBEL")

    # The genre Rock, the fourth entry: the list opens; choose its first station.
    p.keys("Enter", *["Up"] * 16, "Down", "Down", "Down", "Enter")
    p.wait_text("downloading... please wait.")
    assert "Pocket Rock Mobile" in p.wait_text("building list finsihed [7].   genre: Rock")
    p.keys("Down")
    p.wait_text("(2) Radio Kestrel Rock")
    p.keys("Enter")
    p.wait_text("Press to listen to the radio station.")

    # Green: the title reaches play_status, the player line and the LCD.
    p.keys("g")
    p.wait_for(lambda s: re.search(r"● Play +M +Artist \d+ - Song \d+", s), "the title beside Play")
    p.wait_for(lambda s: re.search(r"♪ Radio Kestrel Rock — Artist \d+", s), "the player line")
    until(lambda: (lambda shown, written: shown and shown == written and any(map(any, written[8:])))(
        lcd_pixels(p.text()), device_pixels(path("dev/dbox/lcd0"))), "the LCD on screen to match the panel")

    # Red: recording starts, a file appears under RIPDIR; red again stops it.
    p.keys("r")
    p.wait_text("● Stop")
    until(lambda: any(f.endswith(".mp3") for _, _, files in os.walk(music) for f in files),
          lambda: "a recording under RIPDIR; the log ends:\n" + read(path("oruvel.log"))[-3000:])
    ripper.append(int(read(path("tmp/lumopid")).split()[0]))
    assert alive(ripper[0], "lumoripper")
    p.keys("r")
    p.wait_text("● Rip")
    until(lambda: not alive(ripper[0], "lumoripper"), "the ripper to stop")

    # Yellow: the question, confirmed; the station lands in the favourites.
    p.keys("y")
    assert "[ No ]" in p.wait_text("Oruvel - save radio station")
    p.keys("Enter")
    p.wait_for(lambda s: "save radio station" not in s)
    # The box may leave the screen before the file is written.
    favourites = path("var/tuxbox/config/oruvel/lumostations.xml")
    until(lambda: 'name="Radio Kestrel Rock"' in read(favourites),
          lambda: "the station in the favourites; they hold:\n" + read(favourites))

    # Exit: the first service is back when the host ends, no decoder of ours is left.
    p.keys("Escape")
    p.wait_text(f"plugin_exec returned 0; the host plays {UNKNOWN_HOST} again")
    p.wait_text("host exit status 0")
    log = read(path("oruvel.log"))
    decoders = [int(n) for n in re.findall(r"decoder mpg123 started for MP3 \(PID (\d+)\)", log)]
    assert decoders and not [pid for pid in decoders if alive(pid, "mpg123")], log[-2000:]
    standin.terminate()
    assert standin.wait(60) == 0
    # The commands' standard error went to the log, never onto the screen.
    assert "Connecting to" in log and not [s for s in p.seen if "Connecting to" in s or "HTTP request sent" in s]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    for option in ("--host", "--plugin", "--build-dir", "--source-dir"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    if not shutil.which("tmux"):
        print("tmux is not installed: skipped")
        return 77
    root = tempfile.mkdtemp(prefix="oruvel-e2e-")
    address_file, ripper, pane = os.path.join(root, "standin.address"), [], None
    # Fast titles, and slow enough answers to see the download label.
    standin = subprocess.Popen([sys.executable, os.path.join(args.source_dir, "tools/directory/oruvel-directory"),
                                "--port", "0", "--address-file", address_file, "--speed", "4", "--title-seconds", "2",
                                "--slow-ms", "700", "--audio-dir", ""], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        address = until(lambda: read(address_file).endswith("\n") and read(address_file).strip(), "the stand-in")
        subprocess.run(["bash", os.path.join(args.source_dir, "scripts/make-demo-root.sh"), root, args.build_dir,
                        address], check=True, stdout=subprocess.DEVNULL)
        guard = os.path.join(root, "guard")
        os.mkdir(guard)
        # pidof and killall that see only the rippers started under this root
        shutil.copy(os.path.join(args.source_dir, "tests/support/own_rippers.sh"), os.path.join(guard, "pidof"))
        os.symlink("pidof", os.path.join(guard, "killall"))
        pane = Pane(f"PATH='{guard}':\"$PATH\" RES_OPTIONS='timeout:1 attempts:1' '{args.host}' --root '{root}' --plugin '{args.plugin}' "
                    f"--directory '{address}' --sound off --service '{UNKNOWN_HOST}'; "
                    "echo \"host exit status $?\"; sleep 600")
        journey(pane, root, standin, ripper)
        print("the journey passed")
        return 0
    except Exception:  # noqa: BLE001 -- any failure is the test's, told with its trace
        traceback.print_exc()
        return 1
    finally:
        if pane:
            subprocess.run(pane.tmux + ["kill-server"], capture_output=True)
        if ripper and alive(ripper[0], "lumoripper"):  # checked: still our ripper
            os.kill(ripper[0], signal.SIGTERM)
        if standin.poll() is None:
            standin.terminate()
            standin.wait(10)
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
