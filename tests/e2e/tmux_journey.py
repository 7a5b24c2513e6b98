#!/usr/bin/env python3
"""One journey through Oruvel in the interactive desktop host, driven in
tmux as a person would: keys in with send-keys, the screen read back with
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
import unittest

ARGS = None
TV_SERVICE = "1:0:1:1:1:1:0:0:0:0:"


def until(test, seconds, what):
    """Polls test() until it gives a true value, which it returns; fails
    naming what it waited for (what() when that is callable)."""
    deadline = time.monotonic() + seconds
    while True:
        got = test()
        if got:
            return got
        if time.monotonic() > deadline:
            raise AssertionError("gave up waiting for " + (what() if callable(what) else what))
        time.sleep(0.1)


def alive(pid, name):
    """Whether process pid still runs under that program name."""
    try:
        with open(f"/proc/{pid}/comm") as f:
            return f.read().strip() == name
    except OSError:
        return False


class Pane:
    """A tmux server of our own with one pane running the host."""

    def __init__(self, command, env):
        self.socket = f"oruvel-e2e-{os.getpid()}"
        self.tmux = ["tmux", "-u", "-L", self.socket, "-f", "/dev/null"]
        self.seen = []  # every screen captured, for what must never show
        subprocess.run(self.tmux + ["new-session", "-d", "-s", "journey", "-x", "160", "-y", "45",
                                    "-e", "LANG=C.UTF-8", "-e", "TERM=xterm-256color",
                                    "sh", "-c", command], check=True, env=env)
        subprocess.run(self.tmux + ["set-option", "-g", "escape-time", "0"], check=True)

    def resize(self, columns, rows):
        subprocess.run(self.tmux + ["resize-window", "-t", "journey", "-x", str(columns), "-y", str(rows)],
                       check=True)

    def keys(self, *names):
        for name in names:
            subprocess.run(self.tmux + ["send-keys", "-t", "journey", name], check=True)
            time.sleep(0.05)

    def text(self):
        out = subprocess.run(self.tmux + ["capture-pane", "-p", "-t", "journey"],
                             capture_output=True, check=True).stdout.decode("utf-8", "replace")
        self.seen.append(out)
        return out

    def wait_for(self, test, seconds=15, what=""):
        """Polls the screen until test(screen) holds; fails with the screen."""
        return until(lambda: (lambda screen: test(screen) and screen)(self.text()), seconds,
                     lambda: f"{what or test}; the screen:\n{self.seen[-1]}")

    def wait_text(self, needle, seconds=15):
        return self.wait_for(lambda s: needle in s, seconds, repr(needle))

    def close(self):
        subprocess.run(self.tmux + ["kill-server"], capture_output=True)


def read(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def lcd_pixels(screen):
    """The LCD picture read back from the braille cells on the screen."""
    lines = screen.split("\n")
    top = next(i for i, l in enumerate(lines) if "front panel LCD" in l)
    pixels = [[0] * 120 for _ in range(64)]
    dots = [(0, 0, 0x01), (0, 1, 0x02), (0, 2, 0x04), (1, 0, 0x08), (1, 1, 0x10), (1, 2, 0x20),
            (0, 3, 0x40), (1, 3, 0x80)]
    for row in range(16):
        cells = [c for c in lines[top + 1 + row] if 0x2800 <= ord(c) <= 0x28FF]
        if len(cells) != 60:
            return None
        for col, c in enumerate(cells):
            bits = ord(c) - 0x2800
            for dx, dy, bit in dots:
                if bits & bit:
                    pixels[row * 4 + dy][col * 2 + dx] = 1
    return pixels


def device_pixels(path):
    with open(path, "rb") as f:
        data = f.read(960)
    if len(data) != 960:
        return None
    return [[(data[(y // 8) * 120 + x] >> (y % 8)) & 1 for x in range(120)] for y in range(64)]


class Journey(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="oruvel-e2e-")
        self.address_file = os.path.join(self.root, "standin.address")
        # Fast titles, and slow enough answers to see the download label.
        self.standin = subprocess.Popen(
            [sys.executable, os.path.join(ARGS.source_dir, "tools/directory/oruvel-directory"),
             "--port", "0", "--address-file", self.address_file, "--speed", "4",
             "--title-seconds", "2", "--slow-ms", "700", "--audio-dir", "",
             "--request-log", os.path.join(self.root, "requests.log")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.address = until(lambda: read(self.address_file).endswith("\n") and read(self.address_file).strip(),
                             30, "the stand-in's address")
        subprocess.run(["bash", os.path.join(ARGS.source_dir, "scripts/make-demo-root.sh"), self.root,
                        ARGS.build_dir, self.address], check=True, stdout=subprocess.DEVNULL)
        host = (f"'{ARGS.host}' --root '{self.root}' --plugin '{ARGS.plugin}' "
                f"--directory '{self.address}' --sound off")
        self.pane = Pane(f"{host}; echo \"host exit status $?\"; sleep 600", dict(os.environ))
        self.ripper_pid = None

    def tearDown(self):
        self.pane.close()
        # Only what this test started is stopped here.
        if self.ripper_pid and alive(self.ripper_pid, "lumoripper"):  # checked: still our ripper
            os.kill(self.ripper_pid, signal.SIGTERM)
        if self.standin.poll() is None:
            self.standin.terminate()
            self.standin.wait(10)
        if os.environ.get("ORUVEL_E2E_KEEP"):
            print(f"kept the root {self.root}")
        else:
            shutil.rmtree(self.root, ignore_errors=True)

    def answer_leftover_ripper_box(self, screen):
        """A ripper of someone else's makes the plug-in ask; keep it running."""
        if "press OK to stopp ripping" in screen:
            self.pane.keys("Escape")
            return True
        return False

    def test_a_listeners_journey(self):
        p = self.pane
        log_path = os.path.join(self.root, "oruvel.log")
        music = os.path.join(self.root, "music")
        favourites = os.path.join(self.root, "var/tuxbox/config/oruvel/lumostations.xml")

        # Start: the main window with its genre selector focused.
        screen = p.wait_for(lambda s: "Oruvel V0.2 by kWIBEL" in s or "stopp ripping" in s)
        if self.answer_leftover_ripper_box(screen):
            screen = p.wait_text("Oruvel V0.2 by kWIBEL")
        p.wait_text("Select your Shoutcast Genre")
        p.wait_text("front panel LCD")
        p.wait_text("Esc exit")
        # Too small a terminal is told so; back at full size all is redrawn.
        p.resize(70, 20)
        p.wait_text("needs a terminal of at least 80 x 24")
        p.resize(160, 45)
        screen = p.wait_text("Oruvel V0.2 by kWIBEL")

        # Choose the genre Rock: the list opens, Rock is the fourth entry.
        p.keys("Enter", *["Up"] * 16, "Down", "Down", "Down", "Enter")
        p.wait_text("downloading... please wait.", 10)
        screen = p.wait_text("building list finsihed [7].   genre: Rock")
        self.assertIn("Radio Kestrel Rock", screen)
        self.assertIn("Pocket Rock Mobile", screen)

        # Highlight the first station and choose it.
        p.keys("Down")
        p.wait_text("(2) Radio Kestrel Rock")
        p.keys("Enter")
        p.wait_text("Press to listen to the radio station.", 20)

        # Green: the title reaches play_status, the player line and the LCD.
        p.keys("g")
        screen = p.wait_for(lambda s: re.search(r"● Play +M +Artist \d+ - Song \d+", s), 20,
                            "the title beside Play")
        p.wait_for(lambda s: re.search(r"♪ Radio Kestrel Rock — Artist \d+", s), 10, "the player line")
        lcd_node = os.path.join(self.root, "dev/dbox/lcd0")
        until(lambda: (lambda shown, written: shown and shown == written and any(any(r) for r in written[8:]))(
            lcd_pixels(p.text()), device_pixels(lcd_node)), 10, "the LCD on screen to match the panel")

        # Red: recording starts and a file appears under RIPDIR.
        p.keys("r")
        p.wait_text("● Stop", 10)
        until(lambda: any(files for _, _, files in os.walk(music)), 30,
              lambda: "a recording under RIPDIR; the log ends:\n" + read(log_path)[-3000:])
        pid_file = os.path.join(self.root, "tmp/lumopid")
        self.ripper_pid = int(read(pid_file).split()[0])
        self.assertTrue(alive(self.ripper_pid, "lumoripper"))
        recorded = [f for _, _, files in os.walk(music) for f in files]
        self.assertTrue(any(f.endswith(".mp3") for f in recorded), recorded)

        # Red again: the ripper stops.
        p.keys("r")
        p.wait_text("● Rip", 10)
        until(lambda: not alive(self.ripper_pid, "lumoripper"), 10, "the ripper to stop")

        # Yellow: the question, confirmed; the station lands in the favourites.
        p.keys("y")
        screen = p.wait_text("Oruvel - save radio station")
        self.assertIn("[ Yes ]", screen)
        self.assertIn("[ No ]", screen)
        p.keys("Enter")
        p.wait_for(lambda s: "save radio station" not in s)
        self.assertIn('name="Radio Kestrel Rock"', read(favourites))

        # Back to the genre selector, choose the favourites, find the station.
        for _ in range(20):
            if "Select your Shoutcast Genre" in p.text():
                break
            p.keys("Up")
        p.wait_text("Select your Shoutcast Genre", 5)
        p.keys("Enter", *["Up"] * 16, "Enter")
        screen = p.wait_text("building list finsihed [1]")
        lines = screen.split("\n")
        at = next(i for i, l in enumerate(lines) if "[leave listbox]" in l)
        self.assertIn("Radio Kestrel Rock", lines[at + 1])

        # "M": focus on it, OK, the player window; Esc brings the main window back.
        for _ in range(10):
            if "Press OK to minimize the window." in p.text():
                break
            p.keys("Right")
        p.wait_text("Press OK to minimize the window.", 5)
        p.keys("Enter")
        screen = p.wait_text("Oruvel player")
        self.assertNotIn("Oruvel V0.2 by kWIBEL", screen)
        p.wait_for(lambda s: "Oruvel player" in s and any(
            l.startswith("│") and re.search(r"Artist \d+ - Song \d+", l) for l in s.split("\n")),
            10, "the title in the player window")
        p.keys("Escape")
        p.wait_text("Oruvel V0.2 by kWIBEL")
        p.wait_text("Press to listen to the radio station.", 5)

        # Exit: the TV service is back when the host ends.
        p.keys("Escape")
        screen = p.wait_for(lambda s: "plugin_exec returned" in s or "stopp ripping" in s, 15)
        if self.answer_leftover_ripper_box(screen):
            screen = p.wait_text("plugin_exec returned")
        screen = p.wait_text("host exit status 0")
        self.assertIn(f"plugin_exec returned 0; the host plays {TV_SERVICE} again", screen)

        # Clean shutdown: no decoder, no ripper of ours is left.
        log = read(log_path)
        decoders = [int(n) for n in re.findall(r"decoder mpg123 started \(PID (\d+)\)", log)]
        self.assertTrue(decoders, log[-2000:])
        for pid in decoders:
            self.assertFalse(alive(pid, "mpg123"), f"decoder {pid} still runs")
        self.assertFalse(alive(self.ripper_pid, "lumoripper"))
        self.standin.terminate()
        self.assertEqual(self.standin.wait(10), 0)

        # The commands' standard error went to the log, never onto the screen.
        self.assertIn("Connecting to", log)
        for seen in p.seen:
            self.assertNotIn("Connecting to", seen)
            self.assertNotIn("HTTP request sent", seen)


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--host", required=True)
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    ARGS, rest = parser.parse_known_args()
    if not shutil.which("tmux"):
        print("tmux is not installed: skipped")
        return 77
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
