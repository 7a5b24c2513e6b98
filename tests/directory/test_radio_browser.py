"""The directory on fakes of the Radio Browser API: pages from hostile records, failover,
ids and clicks across restarts and outages, the genre file, server discovery without DNS."""

import os
import re
import subprocess
import sys
import time
import unittest

import harness
from fake_radio_browser import FakeRadioBrowser, station
from harness import PAGE, PLS, fetch, file_urls, read_page

sys.path.insert(0, os.path.dirname(harness.PROGRAM))
import radio_browser  # noqa: E402

FETCHER = os.environ["ORUVEL_FETCH"]

CATALOGUE = [
    station("alpha", "Alpha Jazz", "jazz,smooth jazz", clicks=50), station("gamma", "Gamma HLS", "jazz", clicks=99, hls=1),
    station("beta", "Beta", "Jazz, Swing", clicks=90, codec="AAC", bitrate=None), station("opus", "Opus", "jazz", clicks=69, codec="OPUS"),
    station("delta", "Delta", "jazz", clicks=98, url="http://x.example/live.m3u8"), station("broken", "B", "jazz", clicks=97, lastcheckok=0),
    station("acid", "Acid Jazz Only", "acid jazz", clicks=96), station("unknown", "Who", "jazz", clicks=68, codec="UNKNOWN"),
    station("secure", "Secure", "jazz", clicks=70, codec="OGG", url="https://tls.example/ogg"),
    # hostile records
    station("quotes", 'O\'Neil\'s "Quoted" & <Bar>\r\nnext\tline' + "".join(map(chr, range(1, 32))) + "\x7f\x85end", "jazz", clicks=40),
    station("keys", "Acid=House name=x br=1 genre=y id=z", "jazz", clicks=39, codec="mp3"),
    station("long", "é" * 1000, "jazz," + "x" * 300, clicks=38, bitrate="96"), station("noname", 42, "jazz", clicks=32),
    station("surrogate", "Bad \ud800 Half", "jazz", clicks="37"), station("ftp", "FTP", "jazz", clicks=36, url="ftp://f.example/a.mp3"),
    station("nourl", "No URL", "jazz", clicks=35, url=..., url_resolved=...), station("untyped", "Odd Types", ["jazz"], clicks=31),
    station("emptyurl", "Empty URL", "jazz", clicks=34, url_resolved="", url=""),
    station("fallback", "Playlist Only", "jazz", clicks=33, url_resolved=None, url="http://pl.example/a.pls"),
    station("bare", "Bare", "jazz", clicks=..., bitrate=..., codec="MP3", lastcheckok=..., hls=...),
    {"name": "No UUID", "tags": "jazz", "codec": "MP3", "url_resolved": "http://x.example/n"}, "not a station", None]
JAZZ_ALL = ["Beta", "Secure", "Alpha Jazz", "O'Neil's 'Quoted' & <Bar> next line end",
            "Acid =House name =x br =1 genre =y id =z", "é" * 147, "Bad \ufffd Half", "Bare"]


class Source:   # a fake API and the directory on it, both stopped at the end of the test

    def __init__(self, test, *options, stations=CATALOGUE, servers=None, state=None):
        self.fake = FakeRadioBrowser(stations)
        test.addCleanup(self.fake.stop)
        self.state = state or harness.temp_dir(test, "directory-state-")
        self.dir = harness.Directory("--radio-browser", ",".join(servers or [self.fake.url]), "--state", self.state, *options)
        test.addCleanup(lambda: self.dir.proc.poll() is None and self.dir.stop())

    def body(self, path):
        status, _, body = fetch(self.dir, path)
        assert status == 200, (path, status)
        return body

    def page(self, genre):
        return read_page(self.body(PAGE + genre))

    def urls(self, sid):
        return file_urls(self.body(PLS + sid))

    def reasons(self):
        return [line.decode().split("\t")[2] for line in self.dir.requests()]


class RadioBrowser(unittest.TestCase):
    def test_pages_list_the_tagged_working_stations_of_the_codecs_most_played_first(self):
        for options, genre, names in [
                ((), "jazz", JAZZ_ALL), (("--limit", "3"), "JAZZ", JAZZ_ALL[:3]),
                (("--codecs", "mp3"), "Jazz", [n for n in JAZZ_ALL if n not in ("Beta", "Secure")]),
                (("--http-only", "--codecs", "OPUS,OGG,AAC"), "%20jazz%20", ["Beta", "Opus"]),
                (("--codecs", "MP3", "--relay", "--relay-fetcher", FETCHER), "jazz", ["Gamma HLS", "Beta", "Secure", "Opus"]
                 + JAZZ_ALL[2:]),
                ((), "swing", ["Beta"]), ((), "nothing", []), ((), "", [])]:
            with self.subTest(options=options, genre=genre):
                src = Source(self, *options)
                stations = src.page(genre)
                self.assertEqual([s["name"] for s in stations], names)
                self.assertTrue(all(s["whole"] and re.match(r"^rb[a-z2-7]{13}$", s["id"]) for s in stations) and   # ids of their own
                                len({s["id"] for s in stations}) == len(stations), stations)   # one codec is asked for:
                self.assertEqual((any("codec=" in p for p, _ in src.fake.requests), src.fake.requests != []),
                                 (options[-1:] == ("mp3",), genre != ""))
        # Bitrate 0 when unknown or not a number, the genre cut to 127 bytes, the codec's MIME type, plays as lc.
        got = {s["name"][:4]: (s["br"], s["genre"], s["mt"], s["lc"]) for s in read_page(src.body(PAGE + "jazz"))}
        self.assertEqual([got[k] for k in ("Beta", "Secu", "éééé", "Bare")] + [got["Bad "][3]], [
            ("0", "Jazz, Swing", "audio/aac", "90"), ("128", "jazz", "application/ogg", "70"),
            ("96", "jazz," + "x" * 122, "audio/mpeg", "38"), ("0", "jazz", "audio/mpeg", "0"), "37"])

    def test_relayed_stations_are_mp3_whose_tune_in_names_the_relay(self):
        dead = station("dead", "Dead AAC", "jazz", codec="AAC", url="http://127.0.0.1:1/live.aac")
        src = Source(self, "--codecs", "MP3", "--relay", "--relay-fetcher", FETCHER, "--relay-bitrate", "96",
                     stations=CATALOGUE + [dead])
        got = {s["name"]: s for s in src.page("jazz")}
        self.assertEqual([(got[n]["mt"], got[n]["br"]) for n in ("Gamma HLS", "Dead AAC", "Alpha Jazz")],
                         [("audio/mpeg", "96"), ("audio/mpeg", "96"), ("audio/mpeg", "128")])
        relay = "http://%s/relay/" % src.dir.address
        self.assertEqual([src.urls(got[n]["id"]) for n in ("Dead AAC", "Alpha Jazz")],
                         [[relay + got["Dead AAC"]["id"]], ["http://streams.example/alpha"]])
        self.assertEqual(src.fake.clicks["dead"], 1)   # the play is counted as for any station
        # A station that cannot be had is refused with the reason, not sent as silence.
        status, _, body = fetch(src.dir, "/relay/" + got["Dead AAC"]["id"])
        self.assertEqual((status, body.startswith(b"station unreachable: ")), (502, True))
        self.assertEqual(fetch(src.dir, "/relay/rbnosuchstation1")[0], 404)

    def test_failing_servers_give_way_to_the_next_and_alone_give_an_empty_page_in_time(self):
        good = FakeRadioBrowser(CATALOGUE)
        self.addCleanup(good.stop)
        for mode, answer, why in [("stall", None, "no answer within 1.0 s"), ("500", None, "HTTP status 500"),
                                  ("normal", b'[{"stationuuid": ', "not JSON"), ("normal", b'{"stations": []}', "no list")]:
            with self.subTest(mode=mode, answer=answer):
                bad = FakeRadioBrowser(mode=mode, answer=answer)
                self.addCleanup(bad.stop)
                both = Source(self, "--upstream-seconds", "2", servers=[bad.url, good.url])
                self.assertEqual(len(both.page("swing")), 1)
                self.assertRegex(both.reasons()[0], "^fresh: 1 stations from " + good.url)
                alone = Source(self, "--upstream-seconds", "2", servers=[bad.url])
                start = time.monotonic()
                self.assertEqual((alone.page("swing"), time.monotonic() - start < 3), ([], True))
                self.assertIn(why, alone.reasons()[0])
        self.assertEqual({agent for _, agent in good.requests}, {"Oruvel/0.2"})

    def test_ids_clicks_cache_and_outages_across_restarts(self):
        src = Source(self)
        first = src.page("jazz")
        self.assertEqual(src.page("Jazz"), first)
        self.assertEqual(len([p for p, _ in src.fake.requests if p.startswith("/json/stations/")]), 1)   # then cached
        alpha = {s["name"]: s["id"] for s in first}["Alpha Jazz"]
        src.fake.stations[0] = dict(src.fake.stations[0], click_url="http://now.example/http-alpha")
        for n in (1, 2):   # the click endpoint gives the address, once per tune-in
            self.assertEqual(src.urls(alpha), ["http://now.example/%68ttp-alpha"])
            self.assertEqual(src.fake.clicks["alpha"], n)
        self.assertEqual(src.urls("rbunknown") + src.urls(alpha[:-1]), [])
        del src.fake.stations[0]   # gone: the last address, and the API still asked next time
        self.assertEqual(src.urls(alpha), ["http://now.example/%68ttp-alpha"])
        self.assertEqual(len(src.page("swing")), 1)
        self.assertRegex(" | ".join(src.reasons()[-2:]), "^last known address; .*HTTP status 404 | fresh: ")
        src.dir.stop()

        # Restarted on the same state against a changed catalogue: same ids.
        renamed = [dict(s, name="Alpha Renamed", url_resolved="http://moved.example/alpha")
                   if isinstance(s, dict) and s.get("stationuuid") == "alpha" else s for s in CATALOGUE]
        again = Source(self, "--cache-minutes", "0", stations=renamed, state=src.state)
        page = again.page("jazz")
        self.assertEqual({s["id"] for s in page}, {s["id"] for s in first})
        self.assertIn(("Alpha Renamed", alpha), [(s["name"], s["id"]) for s in page])

        # The API stopped: the page kept, the last address, a new genre empty in time.
        again.fake.stop()
        self.assertEqual(again.page("jazz"), page)
        self.assertEqual(again.urls(alpha), ["http://moved.example/alpha"])
        self.assertEqual(again.page("blues"), [])
        self.assertRegex("|".join(again.reasons()), r"^fresh: [^|]*\|stale: [^|]*Connection refused[^|]*\|"
                                                    r"last known address; the API failed \d+ s ago, not asked[^|]*\|empty: the API failed[^|]*$")

    def test_genre_file_holds_the_most_used_tags_that_fit(self):
        tags = ["rock", "Rock", 'say "hi"', "x" * 64, "line\nbreak", "jazz", "pop"]
        fake = FakeRadioBrowser([station("s%d" % i, "S", ",".join(tags[:1 + i % len(tags)])) for i in range(70)])
        self.addCleanup(fake.stop)
        path = os.path.join(harness.temp_dir(self, "genre-file-"), "genre.xml")
        run = lambda *a: subprocess.run([sys.executable, harness.PROGRAM, "--radio-browser", fake.url,
                                         "--write-genre-file", path, *a], capture_output=True, text=True)
        self.assertEqual(run("--genres", "2").returncode, 0)
        with open(path, "rb") as f:   # only tags that the plug-in can send back as they are
            self.assertEqual(f.read().decode().splitlines(), ['<?xml version="1.0" encoding="UTF-8"?>', "<genrelist>",
                             '<genre name="rock"></genre>', '<genre name="jazz"></genre>', "</genrelist>"])
        fake.stop()
        failed = run()
        with open(path) as f:   # the earlier file kept
            self.assertEqual((failed.returncode, "no genre file written" in failed.stderr, "rock" in f.read()), (1, True, True))

    def test_servers_found_through_the_resolver_and_asked_again_when_all_fail(self):
        lookup = lambda name, port, proto: [(2, 1, 6, "", (a, port)) for a in ("10.0.0.1", "10.0.0.2", "10.0.0.1", "10.0.0.3")]
        names = {"10.0.0.1": "de1.api.radio-browser.info.", "10.0.0.2": "nl1.api.radio-browser.info"}
        reverse = lambda address: (names[address], [], []) if address in names else (_ for _ in ()).throw(OSError())
        self.assertEqual(radio_browser.discover_servers(lookup, reverse, shuffle=list.reverse),
                         ["https://nl1.api.radio-browser.info", "https://de1.api.radio-browser.info"])
        with self.assertRaisesRegex(radio_browser.UpstreamError, "no Radio Browser server found"):
            radio_browser.discover_servers(lambda *a, **k: (_ for _ in ()).throw(OSError("offline")))
        failing, asked = FakeRadioBrowser(mode="500"), []   # all failed: the servers are looked up again
        self.addCleanup(failing.stop)
        api = radio_browser.RadioBrowser(discover=lambda: asked.append(1) or [failing.url], budget=2)
        for _ in range(2): self.assertRaises(radio_browser.UpstreamError, api.search, {"tag": "jazz"})
        self.assertEqual(len(asked), 2)


if __name__ == "__main__":
    unittest.main()
