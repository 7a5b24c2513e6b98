"""Fault options: each makes the documented damage, and only that."""

import shutil
import socket
import subprocess
import time
import unittest

from standin_harness import StandIn, fetch, get

PAGE = "/sbin/newxml.phtml?genre=Rock"
PLS = "/sbin/tunein-station.pls?id=1001"
SERVERS = {}


def setUpModule():
    SERVERS["slow"] = StandIn("--slow-ms", "300", "--page-mode", "truncated",
                              "--big-playlist", "10000", "--stall-stream-after", "5000")
    SERVERS["drop"] = StandIn("--drop-page-after", "300", "--drop-stream-after", "3000",
                              "--speed", "0")
    SERVERS["loop"] = StandIn("--page-mode", "binary", "--redirect-loop",
                              "--playlist-redirect-loop")
    SERVERS["long"] = StandIn("--page-mode", "longlines", "--long-line-bytes", "5000",
                              "--drop-reset", "--drop-stream-after", "1000", "--speed", "0")
    SERVERS["error"] = StandIn("--page-status", "503")


def tearDownModule():
    codes = {name: server.stop()[0] for name, server in SERVERS.items()}
    assert set(codes.values()) == {0}, codes


def wget(url):
    run = subprocess.run(["wget", "-q", "-O", "-", url], capture_output=True, timeout=60)
    return run.returncode, run.stdout


class Faults(unittest.TestCase):
    def test_slow_answers_truncated_page_and_big_playlist(self):
        server = SERVERS["slow"]
        start = time.monotonic()
        status, headers, body = fetch(server, PAGE)
        self.assertGreaterEqual(time.monotonic() - start, 0.3)
        self.assertEqual((status, int(headers["content-length"])), (200, len(body)))
        last = body.split(b"\n")[-1]
        self.assertTrue(last.startswith(b'<station name="'), last)
        self.assertEqual(last.count(b'"'), 1)        # the name never closes
        self.assertNotIn(b"</stationlist>", body)

        status, _, body = fetch(server, PLS)
        lines = body.split(b"\r\n")
        files = [l for l in lines if l.startswith(b"File")]
        self.assertEqual((status, len(files), len(set(files))), (200, 10000, 10000))
        self.assertIn(b"numberofentries=10000", lines)
        self.assertEqual(lines[-2:], [b"Version=2", b""])

    def test_stalled_stream_keeps_the_connection_open(self):
        r = get(SERVERS["slow"], "/stream/1001")
        try:
            self.assertEqual(len(r.read(5000)), 5000)
            r.sock.settimeout(0.6)
            with self.assertRaises(socket.timeout):
                r.read(1)
        finally:
            r.close()

    def test_dropped_page_and_stream_end_after_the_given_bytes(self):
        server = SERVERS["drop"]
        status, headers, body = fetch(server, PAGE)
        self.assertEqual((status, len(body)), (200, 300))
        self.assertNotIn("content-length", headers)
        for headers in ((), [("Icy-MetaData", "1")]):
            status, _, body = fetch(server, "/stream/1002", headers)
            self.assertEqual((status, len(body)), (200, 3000))
        # wget takes the cut page as the whole document and does not retry
        if shutil.which("wget"):
            before = len(server.request_log())
            code, out = wget("http://%s%s" % (server.address, PAGE))
            self.assertEqual((code, len(out)), (0, 300))
            self.assertEqual(len(server.request_log()), before + 1)

    def test_drop_reset_resets_the_stream(self):
        r = get(SERVERS["long"], "/stream/1001")
        try:
            with self.assertRaises(ConnectionResetError):
                r.read()
        finally:
            r.close()

    def test_binary_page_is_deterministic_junk(self):
        server = SERVERS["loop"]
        status, headers, body = fetch(server, PAGE)
        self.assertEqual((status, int(headers["content-length"])), (200, len(body)))
        self.assertIn(b"\0", body)
        with self.assertRaises(UnicodeDecodeError):
            body.decode("utf-8")
        self.assertEqual(fetch(server, PAGE)[2], body)
        self.assertNotEqual(fetch(server, "/sbin/newxml.phtml?genre=Jazz")[2], body)

    def test_redirect_loops_for_streams_and_playlists(self):
        server = SERVERS["loop"]
        for path in ("/stream/1001", PLS):
            status, headers, _ = fetch(server, path)
            self.assertEqual(status, 302)
            self.assertEqual(headers["location"], "http://%s%s" % (server.address, path))
        if shutil.which("wget"):
            code, out = wget("http://%s%s" % (server.address, PLS))
            self.assertNotEqual(code, 0)
            self.assertEqual(out, b"")

    def test_long_lines_page(self):
        status, _, body = fetch(SERVERS["long"], PAGE)
        self.assertEqual(status, 200)
        lines = [l for l in body.split(b"\n") if b"name=" in l]
        self.assertEqual(len(lines), 8)                     # 7 stations, then all on one line
        self.assertTrue(all(len(l) > 5000 for l in lines[:7]))
        self.assertGreater(lines[1].index(b"name="), 5000)  # name only in a later piece
        self.assertEqual(lines[7].count(b"name="), 7)
        self.assertTrue(any(len(v) > 5000 for l in lines for v in l.split(b'"')[1::2]))

    def test_page_status(self):
        status, _, body = fetch(SERVERS["error"], PAGE)
        self.assertEqual(status, 503)
        self.assertNotIn(b"name=", body)


if __name__ == "__main__":
    unittest.main()
