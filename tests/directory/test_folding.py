"""One page line per station on a fake catalogue of the real one's shapes: broadcasters in several
codecs and bitrates, twins by address and by name, a variant whose click fails, names that read
alike; ids kept as variants come and go; a station's name typed as the genre."""

import unittest

import harness
from fake_radio_browser import station
from harness import PLS, fetch, file_urls, read_page
from test_radio_browser import Source

STUBRU = "http://icecast.example/stubru"
BROADCASTERS = [
    station("stubru-mp3", "Studio Brussel", "pop", clicks=50, bitrate=128, countrycode="BE", url=STUBRU + "-128.mp3"),
    station("stubru-aac", "Studio Brussel", "pop", clicks=80, codec="AAC", bitrate=96, countrycode="BE", url=STUBRU + ".aac"),
    station("stubru-hi", "studio brussel ", "pop", clicks=10, bitrate=192, countrycode="BE", url=STUBRU + "-192.mp3"),
    station("stubru-twin", "StuBru", "pop", clicks=5, codec="AAC+", bitrate=48, countrycode="BE", url=STUBRU + ".aac/"),
    station("radio1-mp3", "\tVRT Radio 1", "pop,news", clicks=40, bitrate=128, countrycode="BE", url="http://r1.example/mp3"),
    station("radio1-aac", "VRT Radio 1", "pop", clicks=45, codec="AAC", bitrate=128, countrycode="BE",
            url="https://r1.example/aac"),
    station("nostalgie-be", "Nostalgie", "pop", clicks=30, countrycode="BE"),
    station("nostalgie-fr", "NOSTALGIE", "pop", clicks=31, countrycode="FR"),
    station("nostalgie-wal", "Nostalgie Wallonie", "oldies", clicks=12, countrycode="BE"),
    station("click-mp3", "Click Fail FM", "pop", clicks=20, bitrate=320, countrycode="NL", click_url=None),
    station("click-aac", "Click Fail FM", "pop", clicks=21, codec="AAC", bitrate=64, countrycode="NL"),
    station("alike-1", 'Radio "Q"', "pop", clicks=8, bitrate=128, countrycode="BE"),
    station("alike-2", "Radio 'Q'", "pop", clicks=7, bitrate=64, countrycode="BE"),
    station("hls-only", "Studio Brussel", "pop", clicks=99, codec="AAC+", hls=1, countrycode="BE",
            url="http://icecast.example/stubru.m3u8"),
]


def lines(src, genre):
    return [(s["name"], s["mt"], s["br"], s["lc"]) for s in src.page(genre)]


class Folding(unittest.TestCase):
    def test_each_station_once_playing_the_variant_the_client_plays_best(self):
        for codecs, stubru, radio1 in [("MP3,AAC,AAC+", ("audio/mpeg", "192"), ("audio/mpeg", "128")),
                                       ("AAC,MP3", ("audio/aac", "96"), ("audio/aac", "128"))]:
            with self.subTest(codecs=codecs):
                src = Source(self, "--codecs", codecs, stations=BROADCASTERS)
                page = lines(src, "pop")
                self.assertEqual([n for n, *_ in page], [
                    "Studio Brussel", "VRT Radio 1", "Click Fail FM", "NOSTALGIE (FR)", "Nostalgie (BE)",
                    "Radio 'Q' (128 kbit/s)", "Radio 'Q' (64 kbit/s)"])
                self.assertEqual([p[1:3] for p in page[:2]], [stubru, radio1])
                self.assertEqual(page[0][3], str(50 + 80 + 10 + (5 if "AAC+" in codecs else 0)))
        self.assertEqual(len(src.page("oldies")), 1)

    def test_ids_stay_as_variants_come_and_go_and_a_failing_click_goes_on_to_the_next_variant(self):
        src = Source(self, "--cache-minutes", "0", stations=BROADCASTERS)
        first = {s["name"]: s["id"] for s in src.page("pop")}
        clicked = lambda sid: (file_urls(src.body(PLS + sid)), src.reasons()[-1])
        # MP3 320 is preferred, but its click gives no address: the AAC variant plays.
        self.assertEqual(clicked(first["Click Fail FM"]),
                         (["http://streams.example/click-aac"], "clicked the variant click-aac"))
        self.assertEqual(src.fake.clicks["click-aac"], 1)
        self.assertEqual(clicked(first["Studio Brussel"])[0], [STUBRU + "-192.mp3"])

        # The chosen variant gone, a better one come: the same id, playing the new best; the twin
        # at another address now (and listed first) is a station of its own, with an id of its own.
        changed = [s for s in BROADCASTERS if s["stationuuid"] not in ("stubru-hi", "click-aac", "stubru-twin")]
        changed += [station("stubru-320", "Studio Brussel", "pop", clicks=1, bitrate=320, countrycode="BE"),
                    dict(BROADCASTERS[3], clickcount=500, url_resolved="http://elsewhere.example/stubru")]
        src.fake.stations[:] = changed
        again = {s["name"]: s["id"] for s in src.page("pop")}
        self.assertNotIn(again.pop("StuBru"), first.values())
        self.assertEqual(again, first)
        self.assertEqual(clicked(first["Studio Brussel"])[0], ["http://streams.example/stubru-320"])
        # Every click fails: the chosen variant's last known address.
        self.assertEqual(clicked(first["Click Fail FM"]),
                         (["http://streams.example/click-mp3"], "last known address; the click answer has no usable address"))

        # Restarted, the other variants gone: the station keeps its id and tunes in.
        src.dir.stop()
        solo = Source(self, "--limit", "1", "--codecs", "AAC", stations=[BROADCASTERS[1]], state=src.state)
        self.assertEqual(solo.page("pop")[0]["id"], first["Studio Brussel"])
        self.assertEqual(solo.urls(first["Studio Brussel"]), [STUBRU + ".aac"])

    def test_a_station_name_typed_as_the_genre_lists_its_stations(self):
        src = Source(self, stations=BROADCASTERS)
        self.assertEqual([n for n, *_ in lines(src, "nostalgie")],
                         ["NOSTALGIE (FR)", "Nostalgie (BE)", "Nostalgie Wallonie"])
        self.assertEqual([n for n, *_ in lines(src, "Radio%201")], ["VRT Radio 1"])
        self.assertEqual(lines(src, "zzz"), [])
        self.assertRegex(" | ".join(src.reasons()), "^fresh: 3 stations by name from .*fresh: 1 stations by name .*"
                                                     "fresh: 0 stations by name ")
        offline = harness.Directory("--audio-dir", "")
        self.addCleanup(offline.stop)
        status, _, body = fetch(offline, harness.PAGE + "kestrel")
        self.assertEqual([s["name"] for s in read_page(body)], ["Radio Kestrel Rock"])


if __name__ == "__main__":
    unittest.main()
