"""Favourites in and out: playlists as players save them and stations publish them imported into the
favourites file, each entry left out with its reason, the file untouched on every failure; the
imported ids tuned in by both sources; export and import give back the same favourites."""

import os
import resource
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import harness
from fake_radio_browser import station
from harness import PLS, fetch, file_urls
from test_radio_browser import Source

LONG = "http://long.example/" + "a" * 213   # 233 bytes, one more than the plug-in keeps
PLAYLISTS = [   # (file name, bytes, [(name, address) imported], {address left out: reason})
    ("vlc.m3u", b'#EXTM3U\n#EXTINF:-1 tvg-logo="a,b.png",Radio One, live\nhttp://one.example:8000/live\n', [
        ("Radio One, live", "http://one.example:8000/live")], {}),
    ("bare.m3u", b"\xef\xbb\xbf# saved\r\n\r\nhttp://bare.example/stream\r\nfile:///home/music/a.mp3\r\n" + LONG.encode() + b"\r\n", [
        ("bare.example/stream", "http://bare.example/stream")], {"file:///home/music/a.mp3": "a file:// address, not http or https",
                                                                  LONG: "longer than the 232 bytes the plug-in keeps"}),
    ("latin1.m3u", b"#EXTINF:120,Caf\xe9 \"Noir\"\nhttps://cafe.example/noir.aac\nhttp://cafe.example/http.mp3\n", [
        ("Caf\u00e9 'Noir'", "https://cafe.example/noir.aac"), ("cafe.example/http.mp3", "http://cafe.example/%68ttp.mp3")], {}),
    ("station.pls", b"[playlist]\r\nNumberOfEntries=3\r\nFile1=http://pls.example:8000/\r\nTitle1=(#1 - 3/500) PLS FM\r\n"
                    b"Length1=-1\r\nFile2=http://pls.example:8010/\r\nFile3=http://pls.example/list.m3u\r\nVersion=2\r\n", [
        ("(#1 - 3/500) PLS FM", "http://pls.example:8000/"), ("pls.example:8010", "http://pls.example:8010/")],
     {"http://pls.example/list.m3u": "a playlist, not a stream: import that playlist itself"}),
    ("lower.pls", b"[PLAYLIST]\nfile1=http://lower.example/a\ntitle1=" + "\u00e9".encode() * 300 + b"\nFILE2=http://lower.example/a\n", [
        ("\u00e9" * 247, "http://lower.example/a")], {"http://lower.example/a": "already among the favourites"}),
    ("list.xspf", b'<?xml version="1.0" encoding="UTF-8"?>\n<playlist version="1" xmlns="http://xspf.org/ns/0/"><trackList>'
                  b"<track><title>XSPF &amp; Co</title><location>http://xspf.example/a.ogg</location></track>"
                  b"<track><location>https://xspf.example/hls/index.m3u8</location></track></trackList></playlist>", [
        ("XSPF & Co", "http://xspf.example/a.ogg")], {"https://xspf.example/hls/index.m3u8": "an HLS stream, which the receiver cannot play"}),
]
REFUSED = [   # (file name, bytes, what the error says): nothing imported
    ("old.asx", b'<ASX version="3.0"><Entry><Title>Old</Title><Ref href="mms://asx.example/live"/></Entry></ASX>',
     "left out: mms://asx.example/live: a mms:// address, not http or https\n"
     "oruvel-directory: nothing to import: no entry of this ASX playlist can be played"),
    ("live.m3u8", b"#EXTM3U\n#EXT-X-TARGETDURATION:10\nseg1.ts\n", "an HLS playlist"),
    ("broken.xspf", b"<playlist><trackList><track>", "not a well-formed XSPF playlist"),
    ("empty.m3u", b"#EXTM3U\n", "the M3U playlist has no entries"),
    ("missing.pls", None, "cannot read the playlist"),
]


class Favourites(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory(prefix="favourites-")
        self.addCleanup(tmp.cleanup)
        self.dir, self.state = tmp.name, os.path.join(tmp.name, "state")
        self.favourites = os.path.join(self.dir, "lumostations.xml")

    def run_program(self, *args, preexec_fn=None):
        return subprocess.run([sys.executable, harness.PROGRAM, "--state", self.state, *args],
                              capture_output=True, text=True, timeout=30, preexec_fn=preexec_fn)

    def import_(self, name, data, favourites=None, *options, preexec_fn=None):
        path = os.path.join(self.dir, name)
        if data is not None:
            Path(path).write_bytes(data)
        return self.run_program("--import-favourites", path, "--favourites", favourites or self.favourites, *options,
                                preexec_fn=preexec_fn)

    def export(self, favourites=None):
        run = self.run_program("--export-favourites", favourites or self.favourites)
        self.assertEqual(run.returncode, 0, run.stderr)
        return run.stdout

    def test_playlists_of_other_players_and_of_stations(self):
        offline = harness.Directory("--audio-dir", "", "--state", self.state)
        self.addCleanup(offline.stop)
        count = 0
        for name, data, imported, left_out in PLAYLISTS:
            with self.subTest(playlist=name):
                run = self.import_(name, data)
                self.assertEqual((run.returncode, run.stdout), (0, "%d stations added to %s\n" % (len(imported), self.favourites)))
                self.assertEqual(run.stderr, "".join("left out: %s: %s\n" % item for item in left_out.items()))
                records = Path(self.favourites).read_text().splitlines()[2 * count:]
                count += len(imported)
                self.assertEqual(len(records), 2 * len(imported))
                for (title, address), (name_line, url_line) in zip(imported, zip(records[::2], records[1::2])):
                    self.assertEqual(name_line, '<station name="%s"' % title)
                    self.assertRegex(url_line, r'^url="http://localhost:8370/sbin/tunein-station\.pls\?id=fv[a-z2-7]{13}'
                                               r'&amp;filename=playlist\.pls"/>$')
                    self.assertEqual(file_urls(fetch(offline, PLS + url_line.split("id=")[1].split("&")[0])[2]), [address])
        # Every address once: a second import adds nothing and says why.
        run = self.import_("vlc.m3u", PLAYLISTS[0][1])
        self.assertEqual((run.returncode, run.stderr), (0, "left out: http://one.example:8000/live: already among the favourites\n"))

    def test_failures_leave_the_favourites_as_they_were(self):
        # Longer than the database, which the size limit below must spare.
        Path(self.favourites).write_bytes(b"#" * 200000 + b'\n<station name="Kept"\nurl="http://box.lan:8370/sbin/tunein-station.pls?id=1001')
        before = Path(self.favourites).read_bytes()
        for name, data, error in REFUSED:
            with self.subTest(playlist=name):
                run = self.import_(name, data)
                self.assertEqual(run.returncode, 1)
                self.assertIn(error, run.stderr)
                self.assertEqual(Path(self.favourites).read_bytes(), before)
        # A disk that fills up after a few bytes of the new records: they are taken out again.
        limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (len(before) + 20,) * 2)
        run = self.import_("ok.m3u", b"http://ok.example/a\n", preexec_fn=limit)
        self.assertEqual((run.returncode, "cannot write" in run.stderr), (1, True), run.stderr)
        self.assertEqual(Path(self.favourites).read_bytes(), before)
        # A file without its last newline: the new record starts on a line of its own, on the file's host.
        self.assertEqual(self.import_("ok.m3u", b"http://ok.example/a\n").returncode, 0)
        self.assertRegex(Path(self.favourites).read_text(), r'id=1001\n<station name="ok\.example/a"\nurl="http://box\.lan:8370/')
        for args, error in [(("--import-favourites", "x"), "goes with --favourites"),
                            (("--export-favourites", "x", "--import-favourites", "y"), "two runs"),
                            (("--export-favourites", "x", "--directory-host", "a b"), "--directory-host takes")]:
            run = self.run_program(*args)
            self.assertEqual((run.returncode, error in run.stderr), (2, True), run.stderr)

    def test_export_then_import_gives_the_same_favourites_and_radio_browser_tunes_imported_ids_in(self):
        src = Source(self, stations=[station("jazz", "Smooth Jazz", "jazz", url="http://jazz.example/128")], state=self.state)
        sid = src.page("jazz")[0]["id"]
        Path(self.favourites).write_text('<station name="Smooth Jazz"\nurl="http://box.lan:8370/sbin/tunein-station.pls?id=%s'
                                         '&amp;filename=playlist.pls"/>\n<station name="Offline One"\n'
                                         'url="http://box.lan:8370/sbin/tunein-station.pls?id=1001&amp;filename=playlist.pls"/>\n' % sid)
        self.assertEqual(self.import_("more.m3u", b"#EXTINF:-1,More\nhttp://more.example/a\n", None,
                                      "--directory-host", "10.0.0.2:8370").returncode, 0)
        exported = self.export()
        self.assertEqual(exported, "#EXTM3U\n#EXTINF:-1,Smooth Jazz\nhttp://jazz.example/128\n#EXTINF:-1,Offline One\n"
                                   "http://box.lan:8370/sbin/tunein-station.pls?id=1001\n#EXTINF:-1,More\nhttp://more.example/a\n")
        again = os.path.join(self.dir, "again.xml")
        self.assertEqual(self.import_("exported.m3u", exported.encode(), again).returncode, 0)
        self.assertEqual(self.export(again), exported)
        imported = Path(self.favourites).read_text().split("id=")[-1].split("&")[0]
        self.assertEqual(src.urls(imported), ["http://more.example/a"])
        self.assertEqual(src.reasons()[-1], "imported address")


if __name__ == "__main__":
    unittest.main()
