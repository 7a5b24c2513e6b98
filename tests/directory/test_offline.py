"""The offline directory from outside: pages, playlists, streams, faults,
start and stop, read over raw HTTP the way the plug-in and ripper read them."""

import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
from urllib.parse import quote, urlsplit

import harness
from harness import PAGE, PLS, PROGRAM as SCRIPT, fetch, file_urls, get

META = [("Icy-MetaData", "1")]


def StandIn(*options):
    return harness.Directory("--audio-dir", "", *options)


def stations(body):
    return [dict(re.findall(r'(\w+)="([^"]*)"', l)) for l in body.decode().splitlines() if l.startswith("<station name=")]


def blocks(r, metaint, count):
    """(audio, metadata texts, b"" for an empty block) of `count` intervals."""
    audio, texts = b"", []
    for _ in range(count):
        audio += r.file.read(metaint)
        texts.append(r.file.read(r.file.read(1)[0] * 16).rstrip(b"\0"))
    return audio, texts


class Directory(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = StandIn("--speed", "0", "--metaint", "1000", "--title-seconds", "1")

    @classmethod
    def tearDownClass(cls):
        assert cls.server.stop()[0] == 0

    def get(self, path, status=200):
        got, headers, body = fetch(self.server, path)
        self.assertEqual(got, status, path)
        return body

    def open(self, path, headers=META):
        r = get(self.server, path, headers)
        self.addCleanup(r.sock.close)
        self.addCleanup(r.file.close)
        return r

    def assertDecodes(self, audio):
        with tempfile.NamedTemporaryFile(suffix=".mp3") as f:
            f.write(audio)
            f.flush()
            run = subprocess.run(["mpg123", "-t", f.name], capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual([l for l in run.stderr.lower().splitlines() if re.search("error|warn|illegal", l)], [])

    def test_pages_hold_one_station_per_line_within_one_reader_piece(self):
        rock = stations(self.get(PAGE + "Rock"))
        self.assertEqual(len(rock), 7)
        self.assertIn("Garage &amp; Basement FM", [st["name"] for st in rock])
        self.assertEqual(self.get(PAGE + "rOCK"), self.get(PAGE + "Rock"))
        rates = set()
        for genre in re.findall(r'<genre name="([^"]*)"', self.get("/sbin/newxml.phtml").decode()):
            body = self.get(PAGE + quote(genre.replace("&amp;", "&"), safe=""))
            rates |= {int(st["br"]) for st in stations(body)}
            # the plug-in reads 511-character pieces: a longer line loses attributes
            self.assertLessEqual(max(len(line) for line in body.splitlines()), 510, genre)
        self.assertEqual((min(rates), max(rates)), (24, 320))
        self.assertEqual(len({st["id"] for st in stations(self.get(PAGE + "Benchmark"))}), 10000)
        for query in ("Nonexistent", "", "%FF%FE"):
            self.assertNotIn(b"name=", self.get(PAGE + query))
        # Genres arrive percent-decoded and are logged intact.
        self.assertEqual(len(stations(self.get(PAGE + "M%C3%BAsica%20Latina"))), 3)
        typed = "a b&c;$(x)\"'\n\t\\"
        self.get(PAGE + quote(typed, safe=""))
        self.get(PAGE + "Rock+Pop&genre=Jazz")
        log = self.server.requests()
        self.assertIn((PAGE + quote(typed, safe="")).encode() + b"\ta b&c;$(x)\"'\\n\\t\\\\", log)
        self.assertIn(b"/sbin/newxml.phtml?genre=Rock+Pop&genre=Jazz\tRock+Pop", log)

    def test_playlists_and_the_oddities_behind_them(self):
        body = self.get(PLS + "1001")
        url = "http://%s/stream/1001" % self.server.address
        self.assertEqual(body.decode().split("\r\n"), [
            "[playlist]", "numberofentries=2", "File1=" + url, "Title1=Radio Kestrel Rock", "Length1=-1",
            "File2=" + url + "?mirror=2", "Title2=Radio Kestrel Rock", "Length2=-1", "Version=2", ""])
        self.assertEqual(self.get(PLS + "1001&amp;filename=playlist.pls"), body)
        # Streams at the address the client used: a receiver on the network reaches them.
        self.assertEqual(file_urls(fetch(self.server, PLS + "1001", [("Host", "box.lan:8370")])[2])[0],
                         "http://box.lan:8370/stream/1001")
        for unknown in ("999999", "", "1001x"):
            self.get(PLS + unknown, 404)
        self.assertEqual(file_urls(self.get(PLS + "3004")), [])
        stream_of = lambda sid: fetch(self.server, urlsplit(file_urls(self.get(PLS + sid))[0]).path)[:2]
        self.assertEqual(stream_of("3001")[0], 404)
        with self.assertRaises(ConnectionResetError):
            stream_of("3002")
        refused = urlsplit(file_urls(self.get(PLS + "3003"))[0])
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection((refused.hostname, refused.port), timeout=2).close()
        status, headers = stream_of("3005")
        self.assertEqual((status, headers["location"]), (302, "http://%s/stream/1001" % self.server.address))
        self.assertEqual(fetch(self.server, PLS + "3008")[1]["location"], "http://%s%s1001" % (self.server.address, PLS))
        # The hostile station reaches the client verbatim, for the injection tests to meet.
        self.assertIn(b'id="1;touch PWNED"', self.get(PAGE + "Oddities"))
        urls = file_urls(self.get(PLS + "1%3Btouch%20PWNED"))
        self.assertIn("/stream/1%3Btouch%20PWNED?x=$(touch${IFS}PWNED)&y=`touch${IFS}PWNED2`", urls[0])
        stream = self.open(urls[0][urls[0].index("/stream"):], ())
        self.assertEqual(stream.status_line, "HTTP/1.0 200 OK")
        self.assertTrue(stream.headers["icy-name"].startswith("$(touch PWNED)"))
        self.assertIn(PLS.encode() + b"1%3Btouch%20PWNED\t1;touch PWNED", self.server.requests())

    @unittest.skipUnless(shutil.which("mpg123"), "mpg123 is not installed")
    def test_metadata_every_metaint_bytes_titles_on_schedule_and_audio_that_decodes(self):
        r = self.open("/stream/1001")
        self.assertEqual(r.status_line, "HTTP/1.0 200 OK")
        self.assertEqual([r.headers[k] for k in ("content-type", "icy-metaint", "icy-br", "icy-name")],
                         ["audio/mpeg", "1000", "128", "Radio Kestrel Rock"])
        audio, texts = blocks(r, 1000, 40)
        # 128 kbit/s is 16000 bytes a second: a new title every 16 intervals
        self.assertEqual({n + 1: b for n, b in enumerate(texts) if b},
                         {1: b"StreamTitle='Artist 1 - Song 1';StreamUrl='';",
                          16: b"StreamTitle='Artist 2 - Song 2';StreamUrl='';",
                          32: b"StreamTitle='Artist 3 - Song 3';StreamUrl='';"})
        self.assertEqual([b.decode() for b in blocks(self.open("/stream/3010"), 1000, 9)[1] if b],
                         ["StreamTitle='O'Neil - It's Late';StreamUrl='';",
                          "StreamTitle='Mary-Kate & \"The Band\" - Ça Va';StreamUrl='';"])
        self.assertDecodes(audio)
        r = self.open("/stream/3006")
        self.assertEqual((r.status_line, r.headers["icy-metaint"]), ("ICY 200 OK", "1000"))
        self.assertTrue(blocks(r, 1000, 1)[1][0].startswith(b"StreamTitle='Artist 1"))
        # Metadata only when asked for, and never from the station without it.
        for path, headers in (("/stream/1001", ()), ("/stream/3007", META), ("/stream/1007", ())):
            r = self.open(path, headers)
            self.assertNotIn("icy-metaint", r.headers)
            self.assertDecodes(r.file.read(20000))


class Faults(unittest.TestCase):
    def test_each_fault_option_does_its_damage(self):
        servers = [StandIn("--slow-ms", "300", "--page-mode", "truncated", "--big-playlist", "10000",
                           "--stall-stream-after", "5000"),
                   StandIn("--drop-page-after", "300", "--drop-stream-after", "3000", "--speed", "0"),
                   StandIn("--page-mode", "binary", "--redirect-loop", "--playlist-redirect-loop"),
                   StandIn("--page-mode", "longlines", "--long-line-bytes", "5000", "--drop-reset",
                           "--drop-stream-after", "1000", "--speed", "0"),
                   StandIn("--page-status", "503")]
        slow, drop, loop, long, error = servers
        start = time.monotonic()
        last = fetch(slow, PAGE + "Rock")[2].split(b"\n")[-1]
        self.assertGreaterEqual(time.monotonic() - start, 0.3)
        self.assertTrue(last.startswith(b'<station name="') and last.count(b'"') == 1, last)   # cut in a name
        self.assertEqual(len({l for l in fetch(slow, PLS + "1001")[2].split(b"\r\n") if l.startswith(b"File")}), 10000)
        r = get(slow, "/stream/1001")
        self.assertEqual(len(r.file.read(5000)), 5000)
        r.sock.settimeout(0.6)
        with self.assertRaises(socket.timeout):   # nothing more, but not closed
            r.file.read(1)
        r.file.close()
        r.sock.close()
        status, headers, body = fetch(drop, PAGE + "Rock")
        self.assertEqual((status, len(body), "content-length" in headers), (200, 300, False))
        for headers in ((), META):
            self.assertEqual(len(fetch(drop, "/stream/1002", headers)[2]), 3000)
        with self.assertRaises(ConnectionResetError):
            fetch(long, "/stream/1001")
        self.assertIn(b"\0", fetch(loop, PAGE + "Rock")[2])
        for path in ("/stream/1001", PLS + "1001"):
            status, headers, _ = fetch(loop, path)
            self.assertEqual((status, headers["location"]), (302, "http://%s%s" % (loop.address, path)))
        lines = [l for l in fetch(long, PAGE + "Rock")[2].split(b"\n") if b"name=" in l]
        self.assertEqual([len(l) > 5000 for l in lines], [True] * 7 + [False])   # 7 stations, then all on one line
        self.assertGreater(lines[1].index(b"name="), 5000)
        self.assertGreater(len(lines[2].split(b'"')[1]), 5000)   # a name of many kilobytes
        self.assertEqual(lines[7].count(b"name="), 7)
        self.assertEqual(fetch(error, PAGE + "Rock")[0], 503)
        self.assertEqual({s.stop()[0] for s in servers}, {0})


class Lifecycle(unittest.TestCase):
    def test_sigterm_ends_streams_and_exits_zero_promptly(self):
        server = StandIn("--stall-stream-after", "100000")
        self.assertRegex(server.address_line, r"^127\.0\.0\.1:\d+\n$")
        self.assertEqual(server.proc.stdout.readline().decode(), server.address_line)
        streams = [get(server, "/stream/1001"), get(server, "/stream/1007")]
        half_asked = socket.create_connection(("127.0.0.1", server.port))
        half_asked.sendall(b"GET /sbin/newxml.phtml?genre=Rock HTTP/1.0\r\n")
        code, seconds = server.stop()
        self.assertEqual(code, 0)
        self.assertLess(seconds, 3)
        for s in streams:
            s.file.read()          # ends instead of hanging
            s.file.close()
            s.sock.close()
        half_asked.settimeout(2)
        try:                       # closed, or reset while still queued
            self.assertEqual(half_asked.recv(100), b"")
        except ConnectionResetError:
            pass
        half_asked.close()
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", server.port), timeout=2)

    def test_busy_port_bad_options_and_bad_catalogues_are_refused_naming_the_fault(self):
        server = StandIn()
        cases = [(["--port", str(server.port)], "cannot listen on 127.0.0.1:%d" % server.port),
                 (["--drop-stream-after", "-1"], "must not be negative"),
                 (["--title-seconds", "0"], "must be positive"), (["--page-mode", "sideways"], "invalid choice"),
                 (["--catalogue", "/nonexistent/catalogue.txt"], "cannot read the catalogue")]
        for text, message in (("1|128|Before any genre\n", "before the first genre"), ("genre|A\n1|999|Too fast\n", ":2: bitrate"),
                              ("genre|A\n1|128|One\ngenre|B\n1|64|Two\n", "used twice"),
                              ("genre|A\ngenerate|x|1|128|N{n}\n", "must be numbers")):
            path = os.path.join(server.dir.name, "catalogue%d.txt" % len(cases))
            with open(path, "w") as f:
                f.write(text)
            cases.append((["--port", "0", "--catalogue", path], message))
        for args, message in cases:
            run = subprocess.run([sys.executable, SCRIPT] + args, capture_output=True, text=True, timeout=10)
            self.assertEqual(run.returncode, 2, args)
            self.assertIn(message, run.stderr)
        self.assertEqual(server.stop()[0], 0)


if __name__ == "__main__":
    unittest.main()
