#!/usr/bin/env python3
"""Seconds from Play to the player's verdict on a station it cannot reach,
for one oruvel-host and, side by side, another (--vs-host): a host that
does not resolve (the resolver given one second, one try), and a connect
into a black hole (a loopback port whose accept queue is full, so its SYNs
go unanswered). Prints the median of the runs, taken in turns.

  bench/player_failure_time.py --host build/tools/oruvel-host/oruvel-host \\
      --plugin build/liboruvel.so [--vs-host OLD --vs-plugin OLD.so] [--runs 5]

The verdict is the player's last log line for the stream (its words after
the URL), so hosts of any age are timed alike."""

import argparse
import os
import socket
import statistics
import subprocess
import tempfile
import time


def black_hole():
    """A listening loopback socket whose backlog is full: connects hang."""
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(0)
    port = server.getsockname()[1]
    fillers = []
    for _ in range(3):
        c = socket.socket()
        c.setblocking(False)
        try:
            c.connect(("127.0.0.1", port))
        except BlockingIOError:
            pass
        fillers.append(c)
    time.sleep(0.2)
    return port, [server] + fillers


def verdict_time(host, plugin, url, env):
    """Seconds from the host's start (it plays url at once) to its verdict."""
    with tempfile.TemporaryDirectory() as root:
        log = os.path.join(root, "host.log")
        start = time.monotonic()
        proc = subprocess.Popen([host, "--root", root, "--plugin", plugin, "--script", "-", "--player", "real",
                                 "--sound", "off", "--clock", "real", "--log", log,
                                 "--service", "4096:0:0:0:0:0:0:0:0:0:" + url],
                                stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                env=dict(os.environ, **env))
        proc.stdin.write(b"wait 60000\n")
        proc.stdin.close()
        seconds, said = None, ""
        while seconds is None and time.monotonic() - start < 60:
            try:
                with open(log, encoding="utf-8", errors="replace") as f:
                    for line in f:
                        if line.startswith("oruvel-host: player: " + url + ": ") and "reconnecting" not in line:
                            seconds, said = time.monotonic() - start, line.split(url + ": ", 1)[1].strip()
            except OSError:
                pass
            time.sleep(0.01)
        proc.kill()
        proc.wait()
        return seconds, said


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", required=True)
    p.add_argument("--plugin", required=True)
    p.add_argument("--vs-host")
    p.add_argument("--vs-plugin")
    p.add_argument("--runs", type=int, default=5)
    a = p.parse_args()
    port, keep = black_hole()
    cases = [("host does not resolve", "http://radio.invalid/live", {"RES_OPTIONS": "timeout:1 attempts:1"}),
             ("connect into a black hole", "http://127.0.0.1:%d/live" % port, {})]
    hosts = [("this", a.host, a.plugin)] + ([("vs", a.vs_host, a.vs_plugin or a.plugin)] if a.vs_host else [])
    for name, url, env in cases:
        times = {h: [] for h, _, _ in hosts}
        said = {}
        for _ in range(a.runs):
            for h, binary, plugin in hosts:
                seconds, said[h] = verdict_time(binary, plugin, url, env)
                times[h].append(seconds if seconds is not None else float("inf"))
        for h, _, _ in hosts:
            print("%-26s %-4s median %6.2f s  (%s)  %s" % (name, h, statistics.median(times[h]),
                                                         " ".join("%.2f" % t for t in times[h]), said[h]))
    for s in keep:
        s.close()


if __name__ == "__main__":
    main()
