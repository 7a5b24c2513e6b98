"""Station pages and tune-in playlists, read the way the plug-in reads them."""

import os
import re
import socket
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import quote, urlsplit

from standin_harness import SCRIPT, StandIn, fetch, get

PAGE = "/sbin/newxml.phtml?genre="
PLS = "/sbin/tunein-station.pls?id="


def stations(body):
    return [dict(re.findall(r'(\w+)="([^"]*)"', line))
            for line in body.decode("utf-8").splitlines() if line.startswith("<station name=")]


def file_urls(body):
    """What the plug-in's grep File | sed s/^.*http/http/ pipeline keeps."""
    run = subprocess.run("grep File | sed s/^.*http/http/", shell=True, input=body,
                         capture_output=True, timeout=10)
    return run.stdout.decode("utf-8").replace("\r", "").split("\n")[:-1]


class Directory(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = StandIn()

    @classmethod
    def tearDownClass(cls):
        assert cls.server.stop()[0] == 0

    def get(self, path, status=200):
        got, headers, body = fetch(self.server, path)
        self.assertEqual(got, status, path)
        if "content-length" in headers:
            self.assertEqual(int(headers["content-length"]), len(body))
        return body

    def test_pages_hold_one_station_per_line_within_one_reader_piece(self):
        rock = stations(self.get(PAGE + "Rock"))
        self.assertEqual(len(rock), 7)
        self.assertTrue(all({"name", "id", "br", "genre"} <= st.keys() for st in rock))
        self.assertIn("Garage &amp; Basement FM", [st["name"] for st in rock])
        self.assertIn("Röck Bär Köln", [st["name"] for st in rock])
        self.assertEqual(self.get(PAGE + "rOCK"), self.get(PAGE + "Rock"))
        genres = re.findall(r'<genre name="([^"]*)"', self.get("/sbin/newxml.phtml").decode())
        self.assertGreaterEqual(len(genres), 12)
        rates = set()
        for genre in genres:
            body = self.get(PAGE + quote(genre.replace("&amp;", "&"), safe=""))
            rates |= {int(st["br"]) for st in stations(body)}
            # the plug-in reads 511-character pieces: a longer line loses attributes
            self.assertLessEqual(max(len(line) for line in body.splitlines()), 510, genre)
        self.assertEqual((min(rates), max(rates)), (24, 320))
        big = stations(self.get(PAGE + "Benchmark"))
        self.assertEqual(len({st["id"] for st in big}), 10000)
        for query in ("Nonexistent", "", "%FF%FE"):
            body = self.get(PAGE + query)
            self.assertIn(b"</stationlist>", body)
            self.assertNotIn(b"name=", body)

    def test_genres_arrive_percent_decoded_and_are_logged_intact(self):
        self.assertEqual(len(stations(self.get(PAGE + "R%26B"))), 2)
        self.assertEqual(len(stations(self.get(PAGE + "M%C3%BAsica%20Latina"))), 3)
        typed = "a b&c;$(x)\"'\n\t\\"
        self.get(PAGE + quote(typed, safe=""))
        self.get(PAGE + "Rock+Pop&genre=Jazz")
        log = self.server.request_log()
        self.assertIn(b"/sbin/newxml.phtml?genre=R%26B\tR&B", log)
        self.assertIn((PAGE + quote(typed, safe="")).encode() + b"\ta b&c;$(x)\"'\\n\\t\\\\", log)
        self.assertIn(b"/sbin/newxml.phtml?genre=Rock+Pop&genre=Jazz\tRock+Pop", log)

    def test_playlist_is_crlf_pls_whose_files_are_own_streams(self):
        body = self.get(PLS + "1001")
        url = "http://%s/stream/1001" % self.server.address
        self.assertEqual(body.decode().split("\r\n"), [
            "[playlist]", "numberofentries=2", "File1=" + url, "Title1=Radio Kestrel Rock",
            "Length1=-1", "File2=" + url + "?mirror=2", "Title2=Radio Kestrel Rock",
            "Length2=-1", "Version=2", ""])
        self.assertEqual(file_urls(body), [url, url + "?mirror=2"])
        self.assertEqual(self.get(PLS + "1001&amp;filename=playlist.pls"), body)
        for unknown in ("999999", "", "1001x"):
            self.get(PLS + unknown, 404)
        self.assertEqual(file_urls(self.get(PLS + "3004")), [])

    def test_broken_streams_of_the_oddities(self):
        def stream_of(sid):
            return fetch(self.server, urlsplit(file_urls(self.get(PLS + sid))[0]).path)[:2]
        self.assertEqual(stream_of("3001")[0], 404)
        with self.assertRaises(ConnectionResetError):
            stream_of("3002")
        refused = urlsplit(file_urls(self.get(PLS + "3003"))[0])
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection((refused.hostname, refused.port), timeout=2).close()
        status, headers = stream_of("3005")
        self.assertEqual((status, headers["location"]),
                         (302, "http://%s/stream/1001" % self.server.address))
        _, headers, _ = fetch(self.server, PLS + "3008")
        self.assertEqual(headers["location"], "http://%s%s1001" % (self.server.address, PLS))

    def test_hostile_station_reaches_the_client_verbatim(self):
        self.assertIn(b'id="1;touch PWNED"', self.get(PAGE + "Oddities"))
        urls = file_urls(self.get(PLS + "1%3Btouch%20PWNED"))
        self.assertIn("/stream/1%3Btouch%20PWNED?x=$(touch${IFS}PWNED)&y=`touch${IFS}PWNED2`", urls[0])
        stream = get(self.server, urlsplit(urls[0]).path + "?" + urlsplit(urls[0]).query)
        stream.close()
        self.assertEqual(stream.status, 200)
        self.assertTrue(stream.headers["icy-name"].startswith("$(touch PWNED)"))
        self.assertIn(PLS.encode() + b"1%3Btouch%20PWNED\t1;touch PWNED", self.server.request_log())


class Catalogues(unittest.TestCase):
    def test_bad_catalogues_are_refused_naming_the_fault(self):
        cases = {"1|128|Before any genre\n": "before the first genre",
                 "genre|A\n1|999|Too fast\n": ":2: bitrate",
                 "genre|A\n1|128|One\ngenre|B\n1|64|Two\n": "used twice",
                 "genre|A\ngenerate|x|1|128|N{n}\n": "must be numbers"}
        for text, message in list(cases.items()) + [(None, "cannot read the catalogue")]:
            path = "/nonexistent/catalogue.txt"
            if text:
                with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
                    f.write(text)
                self.addCleanup(os.remove, f.name)
                path = f.name
            run = subprocess.run([sys.executable, SCRIPT, "--port", "0", "--catalogue", path],
                                 capture_output=True, text=True, timeout=10)
            self.assertEqual(run.returncode, 2, text)
            self.assertIn(message, run.stderr)


if __name__ == "__main__":
    unittest.main()
