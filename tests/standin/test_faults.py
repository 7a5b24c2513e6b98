"""Fault options: each does the documented damage."""

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
    SERVERS.update(
        slow=StandIn("--slow-ms", "300", "--page-mode", "truncated", "--big-playlist", "10000",
                     "--stall-stream-after", "5000"),
        drop=StandIn("--drop-page-after", "300", "--drop-stream-after", "3000", "--speed", "0"),
        loop=StandIn("--page-mode", "binary", "--redirect-loop", "--playlist-redirect-loop",
                     "--page-status", "0"),
        long=StandIn("--page-mode", "longlines", "--long-line-bytes", "5000", "--drop-reset",
                     "--drop-stream-after", "1000", "--speed", "0"),
        error=StandIn("--page-status", "503"))


def tearDownModule():
    codes = {name: server.stop()[0] for name, server in SERVERS.items()}
    assert set(codes.values()) == {0}, codes


def wget(url):
    run = subprocess.run(["wget", "-q", "-O", "-", url], capture_output=True, timeout=60)
    return run.returncode, run.stdout


class Faults(unittest.TestCase):
    def test_slow_answer_truncated_page_big_playlist_and_stalled_stream(self):
        server = SERVERS["slow"]
        start = time.monotonic()
        _, headers, body = fetch(server, PAGE)
        self.assertGreaterEqual(time.monotonic() - start, 0.3)
        self.assertEqual(int(headers["content-length"]), len(body))
        last = body.split(b"\n")[-1]
        self.assertTrue(last.startswith(b'<station name="') and last.count(b'"') == 1, last)
        lines = fetch(server, PLS)[2].split(b"\r\n")
        self.assertEqual(len({l for l in lines if l.startswith(b"File")}), 10000)
        self.assertIn(b"numberofentries=10000", lines)
        r = get(server, "/stream/1001")
        try:
            self.assertEqual(len(r.read(5000)), 5000)
            r.sock.settimeout(0.6)
            with self.assertRaises(socket.timeout):   # nothing more, but not closed
                r.read(1)
        finally:
            r.close()

    def test_dropped_page_and_stream_end_after_the_given_bytes(self):
        server = SERVERS["drop"]
        status, headers, body = fetch(server, PAGE)
        self.assertEqual((status, len(body), "content-length" in headers), (200, 300, False))
        for headers in ((), [("Icy-MetaData", "1")]):
            self.assertEqual(len(fetch(server, "/stream/1002", headers)[2]), 3000)
        if shutil.which("wget"):   # takes the cut page as complete, asks once
            before = len(server.request_log())
            self.assertEqual(wget("http://%s%s" % (server.address, PAGE)), (0, body))
            self.assertEqual(len(server.request_log()), before + 1)
        with self.assertRaises(ConnectionResetError), socket.socket() as sock:
            sock.connect(("127.0.0.1", SERVERS["long"].port))
            sock.sendall(b"GET /stream/1001 HTTP/1.0\r\n\r\n")
            while sock.recv(65536):
                pass

    def test_binary_page_and_redirect_loops(self):
        server = SERVERS["loop"]
        body = fetch(server, PAGE)[2]
        self.assertIn(b"\0", body)
        with self.assertRaises(UnicodeDecodeError):
            body.decode("utf-8")
        self.assertEqual(fetch(server, PAGE)[2], body)
        for path in ("/stream/1001", PLS):
            status, headers, _ = fetch(server, path)
            self.assertEqual((status, headers["location"]), (302, "http://%s%s" % (server.address, path)))
        if shutil.which("wget"):
            code, out = wget("http://%s%s" % (server.address, PLS))
            self.assertNotEqual(code, 0)
            self.assertEqual(out, b"")

    def test_long_lines_page_and_error_status(self):
        lines = [l for l in fetch(SERVERS["long"], PAGE)[2].split(b"\n") if b"name=" in l]
        self.assertEqual(len(lines), 8)                     # 7 stations, then all on one line
        self.assertTrue(all(len(l) > 5000 for l in lines[:7]))
        self.assertGreater(lines[1].index(b"name="), 5000)  # the name only in a later piece
        self.assertTrue(len(lines[2].split(b'"')[1]) > 5000)  # a name of many kilobytes
        self.assertEqual(lines[7].count(b"name="), 7)
        status, _, body = fetch(SERVERS["error"], PAGE)
        self.assertEqual(status, 503)
        self.assertNotIn(b"name=", body)


if __name__ == "__main__":
    unittest.main()
