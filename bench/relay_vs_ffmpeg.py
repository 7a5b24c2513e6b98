#!/usr/bin/env python3
"""CPU of the directory's relay against ffmpeg's own transcode of the same
bytes, and the relay's time to first byte.

The stand-in's 128 kbit/s AAC tone station (1310), sent in real time. Each
round has two windows: in the first, directory A sends the plain stream to
curl while directory B's same stream is piped through ffmpeg alone (AAC 128
kbit/s to MP3 128 kbit/s); in the second, A relays it (oruvel-fetch, ffmpeg,
and A's Python, whose CPU beyond the first window's is the relay's own).
CPU is read from /proc; medians over the rounds. Then the time from
connect to the first MP3 byte, over several connects.

usage: bench/relay_vs_ffmpeg.py [BUILD] [SECONDS] [ROUNDS] [CONNECTS]"""

import os
import socket
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
SECONDS = float(sys.argv[2]) if len(sys.argv) > 2 else 30
ROUNDS = int(sys.argv[3]) if len(sys.argv) > 3 else 3
CONNECTS = int(sys.argv[4]) if len(sys.argv) > 4 else 9
TICK = os.sysconf("SC_CLK_TCK")


def cpu(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICK
    except OSError:
        return 0.0


def children(pid):
    found = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % entry) as f:
                if int(f.read().rsplit(")", 1)[1].split()[1]) == pid:
                    found.append(int(entry))
        except OSError:
            pass
    return found


def directory(work, name, *extra):
    address = os.path.join(work, name)
    proc = subprocess.Popen([sys.executable, os.path.join(TOP, "tools/directory/oruvel-directory"), "--port", "0",
                             "--address-file", address, "--audio-dir", work, *extra],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not os.path.exists(address):
        time.sleep(0.05)
    return proc, open(address).read().strip()


def first_byte(address, path):
    host, port = address.split(":")
    start = time.monotonic()
    with socket.create_connection((host, int(port))) as s:
        s.sendall(("GET %s HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n" % path).encode())
        data = b""
        while b"\r\n\r\n" not in data:
            data += s.recv(4096)
        if len(data.split(b"\r\n\r\n", 1)[1]) == 0:
            s.recv(1)
        return time.monotonic() - start


def measure(pids):
    before = {p: cpu(p) for p in pids}
    time.sleep(SECONDS)
    return {p: (cpu(p) - before[p]) / SECONDS * 100 for p in pids}


def main():
    work = tempfile.mkdtemp(prefix="relay-bench-")
    subprocess.run([os.path.join(TOP, "tools/directory/make_audio.sh"), "--audio-dir", work, "128"],
                   check=True, stdout=subprocess.DEVNULL)
    a, a_address = directory(work, "a", "--codecs", "MP3", "--relay", "--relay-fetcher",
                             os.path.join(BUILD, "tools/icy/oruvel-fetch"))
    b, b_address = directory(work, "b")
    try:
        rows = []
        for _ in range(ROUNDS):
            # The plain stream from A, and ffmpeg alone on B's same stream.
            listener = subprocess.Popen(["curl", "-s", "-o", "/dev/null", "http://%s/stream/1310" % a_address])
            plain = subprocess.Popen("curl -s http://%s/stream/1310 | ffmpeg -nostdin -loglevel error -f aac -i pipe:0 "
                                     "-c:a libmp3lame -b:a 128k -f mp3 - >/dev/null 2>&1" % b_address, shell=True)
            time.sleep(3)   # past their start
            ffmpeg_pid = [p for p in children(plain.pid) if "ffmpeg" in open("/proc/%d/cmdline" % p).read()]
            used = measure([a.pid] + ffmpeg_pid)
            alone, a_plain = sum(used[p] for p in ffmpeg_pid), used[a.pid]
            for p in (listener, plain):
                p.terminate()
                p.wait()
            # The relay from A: its fetch of the same stream, ffmpeg, and the relay's Python.
            listener = subprocess.Popen(["curl", "-s", "-o", "/dev/null", "http://%s/relay/1310" % a_address])
            time.sleep(3)
            relay_pids = children(a.pid)
            fetchers = [p for p in relay_pids if "oruvel-fetch" in open("/proc/%d/cmdline" % p).read()]
            used = measure([a.pid] + relay_pids)
            listener.terminate()
            listener.wait()
            fetch = sum(used[p] for p in fetchers)
            encode = sum(used[p] for p in relay_pids) - fetch
            python = used[a.pid] - a_plain
            rows.append((fetch + encode + python, alone, fetch, encode, python))
            time.sleep(1)
        times = [first_byte(a_address, "/relay/1310") for _ in range(CONNECTS)]
    finally:
        a.terminate()
        b.terminate()
        a.wait()
        b.wait()
        shutil.rmtree(work, ignore_errors=True)
    median = lambda i: statistics.median(r[i] for r in rows)
    print("relay: %.2f%% of a core (oruvel-fetch %.2f%%, its ffmpeg %.2f%%, the relay's Python %.2f%%)"
          % (median(0), median(2), median(3), median(4)))
    print("ffmpeg alone on the same bytes: %.2f%% of a core" % median(1))
    print("ratio relay / ffmpeg alone: %.2f (median of %d rounds of %.0f s)"
          % (statistics.median(r[0] / r[1] for r in rows if r[1] > 0), ROUNDS, SECONDS))
    print("time to first MP3 byte: median %.2f s, max %.2f s over %d connects"
          % (statistics.median(times), max(times), CONNECTS))


if __name__ == "__main__":
    main()
