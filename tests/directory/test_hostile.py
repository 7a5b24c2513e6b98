"""The directory against hostile clients, a hostile catalogue, a full file system and
another instance on its state: each table asserts what a client, the file system or
the process (threads, descriptors, memory) sees."""

import os
import pathlib
import resource
import select
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import threading
import unittest
from concurrent.futures import ThreadPoolExecutor
from urllib.parse import quote, unquote, urlsplit

import harness
from fake_radio_browser import FakeRadioBrowser, station
from harness import PAGE, PLS, fetch, get, read_page
from test_radio_browser import Source

sys.path.insert(0, os.path.dirname(harness.PROGRAM))
import online_source  # noqa: E402
import radio_browser  # noqa: E402
import station_state  # noqa: E402

JAZZ = [station("j%d" % n, "Jazz %d" % n, "jazz", clicks=n) for n in range(20)]


def process(pid, field):   # a line of /proc/PID/status, as a number
    for line in pathlib.Path("/proc/%d/status" % pid).read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1])


def descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def folder_bytes(path):
    return sum(f.stat().st_size for f in pathlib.Path(path).iterdir())


def wait_for_end(pid, seconds):   # True when the process ended within the time
    try:
        fd = os.pidfd_open(pid)
    except ProcessLookupError:
        return True
    with os.fdopen(fd):
        return bool(select.select([fd], [], [], seconds)[0])


class Trickler:
    """A catalogue server on loopback that answers one header byte every 50 ms, without end;
    it counts the connections still open."""

    def __init__(self):
        self.sock = socket.create_server(("127.0.0.1", 0))
        self.url = "http://127.0.0.1:%d" % self.sock.getsockname()[1]
        self.open, self.lock, self.stop = 0, threading.Condition(), threading.Event()
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while not self.stop.is_set():
            try:
                conn = self.sock.accept()[0]
            except OSError:
                return
            with self.lock:
                self.open += 1
            threading.Thread(target=self._trickle, args=(conn,), daemon=True).start()

    def _trickle(self, conn):
        with conn:
            try:
                conn.sendall(b"HTTP/1.0 200 OK\r\n")
                while not self.stop.wait(0.05):
                    conn.sendall(b"X")
            except OSError:
                pass   # the client closed it
        with self.lock:
            self.open -= 1
            self.lock.notify_all()

    def wait_all_closed(self, seconds):
        with self.lock:
            return self.lock.wait_for(lambda: self.open == 0, seconds)

    def close(self):
        self.stop.set()
        self.sock.close()


class State(unittest.TestCase):
    def test_hostile_genres_leave_no_state_and_the_database_keeps_its_newest_pages(self):
        src = Source(self, stations=JAZZ)
        before = folder_bytes(src.state)
        with ThreadPoolExecutor(8) as pool:
            list(pool.map(lambda n: src.body(PAGE + quote("%05d" % n + "é" * 9_000)), range(100)))
            list(pool.map(lambda n: src.body(PAGE + "nothing%d" % n), range(100)))
        self.assertEqual([p for p, _ in src.fake.requests if len(p) > 1000], [])   # the long ones not sent on
        self.assertLess(folder_bytes(src.state) - before, 64 * 1024)
        reasons = src.reasons()
        for case, count in [("empty: the genre is longer than 127 bytes, not asked", 100), ("fresh: 0 stations", 100)]:
            self.assertEqual(sum(r.startswith(case) for r in reasons), count, case)
        src.dir.stop()
        with sqlite3.connect(os.path.join(src.state, "directory.sqlite3")) as db:
            self.assertEqual(db.execute("SELECT count(*) FROM pages").fetchone(), (0,))   # pages without stations

        # In the source itself: at most max_pages, the oldest going first; no lock left behind.
        fake = FakeRadioBrowser([station("s%d" % n, "S%d" % n, "g%d" % n) for n in range(5)])
        self.addCleanup(fake.stop)
        state = station_state.StationState(harness.temp_dir(self, "directory-state-"), max_pages=3)
        self.addCleanup(state.close)
        source = online_source.RadioBrowserSource(radio_browser.RadioBrowser([fake.url], 4), state, ["MP3"], cache_seconds=0)
        with ThreadPoolExecutor(4) as pool:
            list(pool.map(lambda n: source.genre_page("g%d" % (n % 5)), range(40)))
        for n in range(5):
            source.genre_page("g%d" % n)
        self.assertEqual([state.page("g%d|MP3|500|any" % n) is not None for n in range(5)], [False, False, True, True, True])
        self.assertEqual(source.genre_locks(), 0)


class FullDisk(unittest.TestCase):
    def test_a_full_file_system_costs_no_answer(self):
        state = harness.temp_dir(self, "directory-full-")
        probe = subprocess.run(["unshare", "-m", "--propagation", "private", "mount", "-t", "tmpfs", "-o", "size=1m",
                                "tmpfs", state], capture_output=True, text=True)
        if probe.returncode:
            self.skipTest("cannot mount a small file system in a mount namespace: " + probe.stderr.strip())
        mount = ("unshare", "-m", "--propagation", "private", "sh", "-c", 'mount -t tmpfs -o size=1m tmpfs "$0" && exec "$@"', state)
        catalogue = JAZZ + [station("b%d" % n, "Big %d %s" % (n, "x" * 200), "big", clicks=n) for n in range(300)]
        src = Source(self, "--cache-minutes", "0", stations=catalogue, state=state)
        src.dir.stop()
        src.dir = harness.Directory("--radio-browser", src.fake.url, "--state", state, "--cache-minutes", "0", prefix=mount)
        self.addCleanup(lambda: src.dir.proc.poll() is None and src.dir.stop())
        inside = "/proc/%d/root%s" % (src.dir.proc.pid, state)   # the state as the directory sees it

        def fill():
            with open(inside + "/filler", "wb") as filler:
                try:
                    while filler.write(b"\0" * 65536):
                        filler.flush()
                except OSError:
                    pass
        jazz = src.page("jazz")
        fill()
        big = src.page("big")
        for case, answer in [("a new genre, not stored", len(big)), ("a new id tunes in from memory", len(src.urls(big[0]["id"]))),
                             ("a known id tunes in", len(src.urls(jazz[0]["id"]))), ("the log", src.reasons()[-3:])]:
            with self.subTest(case):
                self.assertEqual(answer, {"the log": answer}.get(case, 300 if case.startswith("a new genre") else 1))
        self.assertRegex(" | ".join(src.reasons()[-3:]), "^fresh: 300 stations .*; not stored: database or disk is full | clicked.*")
        os.remove(inside + "/filler")
        self.assertEqual(len(src.page("jazz")), 20)
        copy = harness.temp_dir(self, "directory-copy-")   # SQLite would follow /proc/PID/root out of the namespace
        for name in ("directory.sqlite3", "directory.sqlite3-wal"):
            shutil.copy(os.path.join(inside, name), copy)
        with sqlite3.connect(os.path.join(copy, "directory.sqlite3")) as db:   # what memory held is stored now
            self.assertEqual(db.execute("SELECT count(*) FROM stations WHERE id = ?", (big[0]["id"],)).fetchone(), (1,))
        fill()
        src.fake.stop()
        self.assertEqual(src.page("jazz"), jazz)   # an expired page, served stale
        code, _ = src.dir.stop()
        self.assertEqual(code, 0)


class Instances(unittest.TestCase):
    def test_two_directories_on_one_state_answer_every_request_and_know_each_others_ids(self):
        genres = ["g%d" % n for n in range(12)]
        src = Source(self, "--cache-minutes", "0",
                     stations=[station("s%d" % n, "S%d" % n, genres[n % 12], clicks=n) for n in range(240)])
        other = harness.Directory("--radio-browser", src.fake.url, "--state", src.state, "--cache-minutes", "0")
        self.addCleanup(other.stop)
        dirs = [src.dir, other]
        with ThreadPoolExecutor(16) as pool:
            pages = list(pool.map(lambda n: (n % 2, read_page(fetch(dirs[n % 2], PAGE + genres[n % 12])[2])), range(96)))
        self.assertEqual([len(p) for _, p in pages], [20] * 96)
        log = b"\n".join(line for d in dirs for line in d.requests())
        self.assertNotIn(b"locked", log)
        for which, page in pages[:24]:   # an id listed by one tunes in on the other
            status, _, body = fetch(dirs[1 - which], PLS + page[0]["id"])
            self.assertEqual(harness.file_urls(body), ["http://streams.example/" + page[0]["name"].lower()])


class Catalogue(unittest.TestCase):
    def test_huge_and_trickling_catalogue_answers_stay_within_memory_time_and_descriptors(self):
        huge = b"[" + b"{}," * (32 * 1024 * 1024 // 3) + b"{}]"
        for answer, case in [(huge, "fresh: 0 stations"), (b'[{"name": "' + b"x" * (32 << 20) + b'"}]', "longer than"),
                             (b"[" + b"[" * 60_000 + b"]" * 60_001, "not JSON")]:
            with self.subTest(case):
                src = Source(self, "--upstream-seconds", "4")
                src.fake.answer = answer
                with ThreadPoolExecutor(3) as pool:
                    pages = list(pool.map(lambda g: src.page(g), ["a", "b", "c"]))
                self.assertEqual(pages, [[], [], []])
                self.assertTrue(all(case in r for r in src.reasons()), src.reasons())
                self.assertLess(process(src.dir.proc.pid, "VmHWM"), 100 * 1024)   # kB

        # Headers trickled: each try ends by its deadline, its thread and socket gone.
        trickler = Trickler()
        self.addCleanup(trickler.close)
        api = radio_browser.RadioBrowser([trickler.url], budget=0.4)
        threads, files = threading.active_count(), descriptors(os.getpid())
        for _ in range(50):
            with self.assertRaisesRegex(radio_browser.UpstreamError, "no answer within 0.2 s"):
                api.search({"tag": "jazz", "limit": 10})
        self.assertTrue(trickler.wait_all_closed(10))
        self.assertEqual((threading.active_count(), descriptors(os.getpid())), (threads, files))


class Clients(unittest.TestCase):
    def test_slow_clients_are_dropped_and_lock_nobody_out_under_1024_descriptors(self):
        soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
        if hard < 1300:
            self.skipTest("this test opens 1,100 connections; the descriptor limit is %d" % hard)
        resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, 1300), hard))
        self.addCleanup(resource.setrlimit, resource.RLIMIT_NOFILE, (soft, hard))
        server = harness.Directory("--audio-dir", "", "--speed", "1", files=1024)
        self.addCleanup(server.stop)
        stream = get(server, "/stream/1001")
        self.addCleanup(lambda: stream.sock.close() or stream.file.close())
        stream.file.read(1000)
        slow = []
        self.addCleanup(lambda: [s.close() for s in slow])
        for _ in range(1100):
            s = socket.create_connection(("127.0.0.1", server.port), timeout=15)
            s.sendall(b"GET /sbin/newxml.phtml?ge")
            slow.append(s)
        status, _, body = fetch(server, PAGE + "Rock")
        self.assertEqual((status, len(read_page(body))), (200, 7))
        newest = slow[-1]
        newest.setblocking(False)
        with self.assertRaises(BlockingIOError):   # answered before the slow ones' deadline
            newest.recv(1)
        newest.setblocking(True)
        for s in (slow[0], newest):   # dropped: made room for, or out of time
            self.assertEqual(s.recv(100), b"")
        self.assertGreater(len(stream.file.read(2000)), 0)   # the paced stream goes on
        for s in slow:
            s.close()
        dribbler = socket.create_connection(("127.0.0.1", server.port), timeout=2)
        self.addCleanup(dribbler.close)
        ended = False
        for byte in b"GET /sbin/newxml.phtml?genre=Rock HTTP/1.0\r\nX-Slow: " + b"x" * 200:   # a byte every 0.1 s at most
            try:
                dribbler.sendall(bytes([byte]))
            except OSError:
                ended = True
                break
            if select.select([dribbler], [], [], 0.1)[0]:
                ended = dribbler.recv(100) == b""
                break
        self.assertTrue(ended)
        self.assertLess(process(server.proc.pid, "Threads"), 20)


class Log(unittest.TestCase):
    def test_one_request_one_line_of_valid_utf8_with_control_characters_escaped(self):
        server = harness.Directory("--audio-dir", "")
        self.addCleanup(server.stop)
        cases = [("a%0Db", "a\\rb"), ("nul%00x", "nul\\x00x"), ("half%ED%A0%80", "half\\xed\\xa0\\x80"), ("bad%FF", "bad\\xff"),
                 ("c1%C2%85%E2%80%A8", "c1\\xc2\\x85\\xe2\\x80\\xa8"), ("tab%09nl%0A%5C", "tab\\tnl\\n\\\\"), ("%C3%A4", "ä")]
        for query, _ in cases:
            fetch(server, PAGE + query)
        lines = pathlib.Path(server.log).read_bytes().decode("utf-8").split("\n")
        self.assertEqual(lines, ["%s%s\t%s" % (PAGE, q, logged) for q, logged in cases] + [""])


class Addresses(unittest.TestCase):
    def test_user_names_keep_their_case_and_hosts_their_idna_form(self):
        urls = {"user": "http://httpuser:pw@h.example/s", "idna": "http://ä.example:8000/x", "both": "https://Http:x@bücher.example/http"}
        src = Source(self, stations=[station(k, k, "addr", url=u) for k, u in urls.items()])
        kept = {s["name"]: src.urls(s["id"]) for s in src.page("addr")}
        self.assertEqual(kept, {"user": ["http://%68ttpuser:pw@h.example/s"], "idna": ["http://xn--4ca.example:8000/x"],
                                "both": ["https://Http:x@xn--bcher-kva.example/%68ttp"]})
        self.assertEqual(unquote(urlsplit(kept["user"][0]).username), "httpuser")   # what a player sends


class Lifetime(unittest.TestCase):
    def test_what_a_test_starts_dies_with_it_even_by_sigkill(self):
        test = subprocess.Popen([sys.executable, "-c", "import harness, sys; d = harness.Directory('--audio-dir', ''); "
                                 "print(d.proc.pid, flush=True); sys.stdin.read()"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                cwd=os.path.dirname(os.path.abspath(__file__)), preexec_fn=harness.dies_with_test())
        self.addCleanup(lambda: test.stdin.close() or test.stdout.close())
        directory = int(test.stdout.readline())
        test.kill()
        test.wait()
        self.assertTrue(wait_for_end(directory, 10))

    def test_sigterm_mid_write_loses_no_state(self):
        genres = ["g%d" % n for n in range(40)]
        src = Source(self, stations=[station("s%d" % n, "S%d" % n, genres[n % 40]) for n in range(400)])
        answered = []

        def ask(genre):
            try:
                answered.append(read_page(fetch(src.dir, PAGE + genre)[2]))
            except (OSError, IndexError):
                pass   # cut off by the stop, before or without a status line
        workers = [threading.Thread(target=ask, args=(g,)) for g in genres]
        for w in workers:
            w.start()
        while not answered and any(w.is_alive() for w in workers):
            workers[0].join(0.01)
        self.assertEqual(src.dir.stop()[0], 0)
        for w in workers:
            w.join()
        again = Source(self, state=src.state)
        again.fake.stop()   # from the state alone: every id a client was given
        for page in answered:
            for s in page:
                self.assertEqual(len(again.urls(s["id"])), 1, s)
        with sqlite3.connect(os.path.join(src.state, "directory.sqlite3")) as db:
            self.assertEqual(db.execute("PRAGMA integrity_check").fetchone(), ("ok",))

    def test_the_service_unit_verifies(self):
        unit = pathlib.Path(harness.PROGRAM).with_name("oruvel-directory.service")
        try:
            subprocess.run(["systemd-analyze", "--version"], capture_output=True, check=True)
        except (OSError, subprocess.CalledProcessError):
            self.skipTest("no systemd-analyze here")
        local = pathlib.Path(harness.temp_dir(self, "directory-unit-"), unit.name)   # run from this tree
        local.write_text(unit.read_text().replace("/usr/local/lib/oruvel/oruvel-directory", harness.PROGRAM))
        run = subprocess.run(["systemd-analyze", "verify", str(local)], capture_output=True, text=True)
        self.assertEqual((run.returncode, run.stderr), (0, ""))
        self.assertIn("--state /var/lib/oruvel", unit.read_text())


if __name__ == "__main__":
    unittest.main()
