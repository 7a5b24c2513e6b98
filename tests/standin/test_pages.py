"""Station pages and the genre list, as the plug-in's reader sees them."""

import os
import re
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import quote

from standin_harness import SCRIPT, StandIn, fetch

ATTR = re.compile(r'(\w+)="([^"]*)"')


def stations(body):
    """Attribute dicts of the station lines (lines holding name=)."""
    return [dict(ATTR.findall(line)) for line in body.decode("utf-8").splitlines()
            if "name=" in line and line.startswith("<station ")]


class StationPages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = StandIn()

    @classmethod
    def tearDownClass(cls):
        code, _ = cls.server.stop()
        assert code == 0, code

    def page(self, genre_query):
        status, headers, body = fetch(self.server, "/sbin/newxml.phtml?" + genre_query)
        self.assertEqual(status, 200)
        self.assertIn("text/xml", headers["content-type"])
        self.assertEqual(int(headers["content-length"]), len(body))
        return body

    def test_genre_page_has_one_station_per_line_with_the_read_attributes(self):
        body = self.page("genre=Rock")
        rock = stations(body)
        self.assertEqual(len(rock), 7)
        for st in rock:
            self.assertTrue({"name", "id", "br", "genre", "mt", "ct", "lc"} <= st.keys(), st)
        names = [st["name"] for st in rock]
        self.assertIn("Garage &amp; Basement FM", names)   # entity left written
        self.assertIn("Röck Bär Köln", names)               # UTF-8 as is
        self.assertEqual({st["br"] for st in rock} >= {"24", "320"}, True)
        self.assertEqual(self.page("genre=rOCK"), body)     # case does not matter

    def test_every_station_line_fits_one_reader_piece(self):
        # The plug-in reads 511-character pieces; a longer line would lose attributes.
        status, _, genres = fetch(self.server, "/sbin/newxml.phtml")
        self.assertEqual(status, 200)
        names = re.findall(r'<genre name="([^"]*)"', genres.decode("utf-8"))
        self.assertGreaterEqual(len(names), 12)
        for genre in names:
            genre = genre.replace("&amp;", "&")
            body = self.page("genre=" + quote(genre, safe=""))
            self.assertTrue(stations(body), genre)
            for line in body.splitlines():
                self.assertLessEqual(len(line) + 1, 511, line)

    def test_unknown_and_empty_genres_give_a_page_without_stations(self):
        for query in ("genre=Nonexistent", "genre=", "genre=%FF%FE"):
            body = self.page(query)
            self.assertIn(b"<stationlist>", body)
            self.assertIn(b"</stationlist>", body)
            self.assertNotIn(b"name=", body)

    def test_genres_arrive_percent_decoded_and_are_logged_intact(self):
        self.assertEqual(len(stations(self.page("genre=R%26B"))), 2)
        self.assertEqual(len(stations(self.page("genre=Drum%20%26%20Bass"))), 3)
        self.assertEqual(len(stations(self.page("genre=M%C3%BAsica%20Latina"))), 3)
        typed = "a b&c;$(x)\"'\n\t\\"
        self.page("genre=" + quote(typed, safe=""))
        self.page("genre=Rock+Pop&genre=Jazz")
        log = self.server.request_log()
        self.assertIn(b"/sbin/newxml.phtml?genre=R%26B\tR&B", log)
        self.assertIn(("/sbin/newxml.phtml?genre=" + quote(typed, safe="")).encode()
                      + b"\ta b&c;$(x)\"'\\n\\t\\\\", log)
        # a plus stays a plus; the first genre key counts
        self.assertIn(b"/sbin/newxml.phtml?genre=Rock+Pop&genre=Jazz\tRock+Pop", log)

    def test_benchmark_genre_holds_ten_thousand_distinct_stations(self):
        big = stations(self.page("genre=Benchmark"))
        self.assertEqual(len(big), 10000)
        self.assertEqual(len({st["id"] for st in big}), 10000)
        self.assertEqual({st["br"] for st in big} >= {"24", "320"}, True)

    def test_unknown_path_is_not_found(self):
        status, _, _ = fetch(self.server, "/index.html")
        self.assertEqual(status, 404)


class OwnCatalogue(unittest.TestCase):
    def write(self, text):
        fd, path = tempfile.mkstemp(suffix=".txt")
        with os.fdopen(fd, "w", encoding="utf-8") as f:
            f.write(text)
        self.addCleanup(os.remove, path)
        return path

    def test_catalogue_option_serves_that_file(self):
        path = self.write("genre|Ska\n7|96|Rude Boy Radio|genre=Ska Two Tone\n"
                          "generate|3|40|24,320|Gen {n}\n")
        server = StandIn("--catalogue", path)
        try:
            _, _, body = fetch(server, "/sbin/newxml.phtml?genre=ska")
            got = [(s["id"], s["br"], s["name"], s["genre"]) for s in stations(body)]
            self.assertEqual(got, [("7", "96", "Rude Boy Radio", "Ska Two Tone"),
                                   ("40", "24", "Gen 1", "Ska"), ("41", "320", "Gen 2", "Ska"),
                                   ("42", "24", "Gen 3", "Ska")])
            _, _, body = fetch(server, "/sbin/newxml.phtml?genre=Rock")
            self.assertEqual(stations(body), [])
        finally:
            self.assertEqual(server.stop()[0], 0)

    def test_bad_catalogues_are_refused_with_the_line(self):
        cases = {"1|128|Before any genre\n": "before the first genre",
                 "genre|A\n1|999|Too fast\n": ":2: bitrate",
                 "genre|A\n1|128|One\ngenre|B\n1|64|Two\n": "used twice",
                 "genre|A\ngenerate|x|1|128|N{n}\n": "must be numbers"}
        for text, message in cases.items():
            run = subprocess.run([sys.executable, SCRIPT, "--port", "0", "--catalogue",
                                  self.write(text)], capture_output=True, text=True, timeout=10)
            self.assertEqual(run.returncode, 2, text)
            self.assertIn(message, run.stderr)
        run = subprocess.run([sys.executable, SCRIPT, "--catalogue", "/nonexistent/cat.txt"],
                             capture_output=True, text=True, timeout=10)
        self.assertEqual(run.returncode, 2)
        self.assertIn("cannot read the catalogue", run.stderr)


if __name__ == "__main__":
    unittest.main()
