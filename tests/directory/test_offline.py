"""The offline directory from outside: pages, playlists, streams, start and
stop, and every refused option, read over raw HTTP as the plug-in reads."""

import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import quote, urlsplit

import harness
from harness import PAGE, PLS, fetch, file_urls, get, read_page as stations

META = [("Icy-MetaData", "1")]


def blocks(r, count):   # (audio, metadata texts) of `count` intervals of 1000 bytes
    chunks = [(r.file.read(1000), r.file.read(r.file.read(1)[0] * 16).rstrip(b"\0")) for _ in range(count)]
    return b"".join(a for a, _ in chunks), [t for _, t in chunks]


class Directory(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = harness.Directory("--audio-dir", "", "--speed", "0", "--metaint", "1000", "--title-seconds", "1")

        cls.addClassCleanup(lambda: cls.server.stop())

    def get(self, path, status=200):
        got, _, body = fetch(self.server, path)
        self.assertEqual(got, status, path)
        return body

    def open(self, path, headers=META):
        r = get(self.server, path, headers)
        self.addCleanup(lambda: r.sock.close() or r.file.close())
        return r

    def test_pages_hold_one_station_per_line_within_one_reader_piece(self):
        rock = [st["name"] for st in stations(self.get(PAGE + "Rock"))]
        self.assertEqual((len(rock), "Garage &amp; Basement FM" in rock), (7, True))
        self.assertEqual(self.get(PAGE + "rOCK"), self.get(PAGE + "Rock"))
        rates = set()
        for genre in re.findall(r'<genre name="([^"]*)"', self.get("/sbin/newxml.phtml").decode()):
            body = self.get(PAGE + quote(genre.replace("&amp;", "&"), safe=""))
            rates |= {int(st["br"]) for st in stations(body) if st["whole"] or self.fail(genre)}   # one line, one piece
        self.assertEqual((min(rates), max(rates)), (24, 320))
        for query in ("Nonexistent", "", "%FF%FE"): self.assertNotIn(b"name=", self.get(PAGE + query))
        self.assertEqual(len(stations(self.get(PAGE + "M%C3%BAsica%20Latina"))), 3)
        typed = PAGE + quote("a b&c;$(x)\"'\n\t\\", safe="")   # percent-decoded, and logged intact
        for path in (typed, PAGE + "Rock+Pop&genre=Jazz"): self.get(path)
        self.assertEqual(self.server.requests()[-2:], [typed.encode() + b"\ta b&c;$(x)\"'\\n\\t\\\\",
                                                        b"/sbin/newxml.phtml?genre=Rock+Pop&genre=Jazz\tRock+Pop"])

    def test_playlists_and_the_oddities_behind_them(self):
        body, url = self.get(PLS + "1001"), "http://%s/stream/1001" % self.server.address
        self.assertEqual(body.decode().split("\r\n"), [
            "[playlist]", "numberofentries=2", "File1=" + url, "Title1=Radio Kestrel Rock", "Length1=-1",
            "File2=" + url + "?mirror=2", "Title2=Radio Kestrel Rock", "Length2=-1", "Version=2", ""])
        self.assertEqual(self.get(PLS + "1001&amp;filename=playlist.pls"), body)
        # Streams at the address the client used: a receiver on the network reaches them.
        self.assertEqual(file_urls(fetch(self.server, PLS + "1001", [("Host", "box.lan:8370")])[2])[0],
                         "http://box.lan:8370/stream/1001")
        for unknown in ("999999", "", "1001x"): self.get(PLS + unknown, 404)
        stream_of = lambda sid: fetch(self.server, urlsplit(file_urls(self.get(PLS + sid))[0]).path)[:2]
        self.assertEqual(stream_of("3001")[0], 404)
        with self.assertRaises(ConnectionResetError):
            stream_of("3002")
        refused = urlsplit(file_urls(self.get(PLS + "3003"))[0])
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection((refused.hostname, refused.port), timeout=2).close()
        self.assertEqual([(s, h["location"]) for s, h in [stream_of("3005")]], [(302, url)])

    @unittest.skipUnless(shutil.which("mpg123"), "mpg123 is not installed")
    def test_metadata_every_metaint_bytes_titles_on_schedule_and_audio_that_decodes(self):
        def decodes(audio):
            with tempfile.NamedTemporaryFile(suffix=".mp3") as f:
                f.write(audio)
                f.flush()
                run = subprocess.run(["mpg123", "-t", f.name], capture_output=True, timeout=120)
            self.assertEqual([l for l in run.stderr.decode().lower().splitlines() if re.search("error|warn|illegal", l)]
                             + [run.returncode], [0])
        r = self.open("/stream/1001")
        self.assertEqual([r.status_line] + [r.headers[k] for k in ("content-type", "icy-metaint", "icy-br", "icy-name")],
                         ["HTTP/1.0 200 OK", "audio/mpeg", "1000", "128", "Radio Kestrel Rock"])
        audio, texts = blocks(r, 40)
        # 128 kbit/s is 16000 bytes a second: a new title every 16 intervals
        self.assertEqual({n + 1: b for n, b in enumerate(texts) if b},
                         {n: b"StreamTitle='Artist %d - Song %d';StreamUrl='';" % (s, s) for n, s in ((1, 1), (16, 2), (32, 3))})
        decodes(audio)
        # Metadata only when asked for, and never from the station without it.
        for path, headers in (("/stream/1001", ()), ("/stream/3007", META), ("/stream/1007", ())):
            r = self.open(path, headers)
            self.assertNotIn("icy-metaint", r.headers)
            decodes(r.file.read(20000))


class Lifecycle(unittest.TestCase):
    def test_sigterm_ends_streams_and_exits_zero_promptly(self):
        server = harness.Directory("--audio-dir", "", "--stall-stream-after", "100000")
        streams = [get(server, "/stream/1001"), get(server, "/stream/1007")]
        code, seconds = server.stop()
        self.assertEqual((code, seconds < 3), (0, True))
        for s in streams:
            with s.sock, s.file:
                s.file.read()      # ends instead of hanging
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", server.port), timeout=2)

    def test_busy_ports_bad_options_catalogues_and_databases_are_refused_naming_the_fault(self):
        server = harness.Directory("--audio-dir", "")
        state, rb = server.dir.name, ("--radio-browser", "auto")
        not_a_db = os.path.join(state, "directory.sqlite3")
        files = {"c0": "1|128|Before any genre\n", "c1": "genre|A\n1|999|Too fast\n", "c3": "genre|A\ngenerate|x|1|128|N{n}\n",
                 "c2": "genre|A\n1|128|One\ngenre|B\n1|64|Two\n", "directory.sqlite3": "not a database\n" * 100}
        for name, text in files.items():
            with open(os.path.join(state, name), "w") as f:
                f.write(text)
        cat = lambda n: ("--port", "0", "--catalogue", os.path.join(state, n))
        for args, message in [
                (("--port", str(server.port)), "cannot listen on 127.0.0.1:%d" % server.port), (cat("c2"), "used twice"),
                (("--drop-stream-after", "-1"), "must not be negative"), (("--title-seconds", "0"), "must be positive"),
                (("--catalogue", "/nonexistent/catalogue.txt"), "cannot read the catalogue"), (cat("c1"), ":2: bitrate"),
                (cat("c0"), "before the first genre"), (cat("c3"), "must be numbers"), (rb + ("--limit", "0"), "at least 1"),
                (("--limit", "5"), "--limit needs --radio-browser"), (("--relay", "--relay-max", "0"), "at least 1"),
                (("--relay", "--relay-fetcher", "/nonexistent"), "needs the oruvel-fetch program"), (rb + ("--speed", "2"), "offline catalogue only"),
                (rb + ("--catalogue", "x"), "give one"), (("--radio-browser", "ftp://x"), "http:// or https://"),
                (rb + ("--codecs", "MP3,WMA"), "WMA is no codec"), (rb + ("--state", not_a_db), "cannot use the database"),
                (rb + ("--state", state), "not a database")]:
            with self.subTest(args=args):
                run = subprocess.run([sys.executable, harness.PROGRAM, *args], capture_output=True, text=True, timeout=10)
                self.assertEqual(run.returncode, 2)
                self.assertIn(message, run.stderr)
        with open(not_a_db) as f:
            self.assertEqual(f.read(), "not a database\n" * 100)
        self.assertEqual(server.stop()[0], 0)


if __name__ == "__main__":
    unittest.main()
