"""A listener's journey in the desktop host on the directory serving a fake
Radio Browser: genres from the tags, a station tuned in, played and saved;
the directory restarted and the favourite playing the same stream."""

import os
import subprocess
import tempfile
import unittest
from pathlib import Path

import harness
from fake_radio_browser import FakeRadioBrowser, station

HOST, PLUGIN = os.environ.get("ORUVEL_HOST"), os.environ.get("ORUVEL_PLUGIN")
STREAM = "http://streams.example:8000/jazz/128"
PLAY = 'playService "4096:0:0:0:0:0:0:0:0:0:%s" mode=40' % STREAM


@unittest.skipUnless(HOST and PLUGIN, "ORUVEL_HOST and ORUVEL_PLUGIN name the built host and plug-in")
class Journey(unittest.TestCase):
    def host(self, directory, script):
        run = subprocess.run([HOST, "--root", self.root, "--plugin", PLUGIN, "--script", "-", "--directory",
                              directory.address], input=script, capture_output=True, text=True, timeout=120, env=self.env,
                             preexec_fn=harness.dies_with_test())
        self.assertEqual(run.returncode, 0, run.stderr)
        return run.stdout

    def make_root(self):   # the configuration folder of a new root
        tmp = tempfile.TemporaryDirectory(prefix="journey-")
        self.addCleanup(tmp.cleanup)
        self.root, conf, guard = tmp.name, tmp.name + "/var/tuxbox/config/oruvel", tmp.name + "/guard"
        for d in (conf, guard):
            os.makedirs(d)
        for tool in ("pidof", "killall"):   # no ripper here, and none of another test's met
            Path(guard, tool).write_text("#!/bin/sh\nexit 1\n")
            Path(guard, tool).chmod(0o755)
        self.env = dict(os.environ, PATH=guard + ":" + os.environ.get("PATH", "/usr/bin:/bin"))
        Path(conf, "oruvel.conf").write_text("".join("%s=%s/%s\n" % (k, conf, v) for k, v in [
            ("RIPPER", "lumoripper"), ("RIPDIR", "music"), ("STATIONSFILE", "stations.xml"), ("MYSTATIONFILE", "lumostations.xml"),
            ("MYPLAYLISTFILE", "playlist.m3u"), ("MYGENREFILE", "genre.xml"), ("LUMOPIC", "radio.mvi")]))
        return conf

    def test_genre_tune_in_play_save_restart_and_the_favourite_plays_the_same_stream(self):
        conf = self.make_root()
        fake = FakeRadioBrowser([station("u-jazz", 'Smooth & "Blue" Jazz', "jazz,lounge", clicks=9, url=STREAM),
                                 station("u-jazz2", "Second Jazz", "Jazz", clicks=3), station("u-rock", "Rock One", "rock", clicks=5)])
        self.addCleanup(fake.stop)
        self.assertEqual(subprocess.run([harness.PROGRAM, "--radio-browser", fake.url, "--genres", "2",
                                         "--write-genre-file", conf + "/genre.xml"], stdout=subprocess.DEVNULL,
                                        preexec_fn=harness.dies_with_test()).returncode, 0)
        options = ("--radio-browser", fake.url, "--state", self.root + "/state")

        # The selector starts on the last genre, rock (key 4); jazz is key 3.
        directory = harness.Directory(*options)
        out = self.host(directory, "key ok\nkey up\nkey ok\nkey down\nkey ok\nkey green\nkey yellow\nanswer 4\ndump\n")
        self.assertIn('"building list finsihed [2].   genre: jazz   bitrate: 0"', out)
        self.assertIn('text="(2) Smooth & \'Blue\' Jazz"', out)
        self.assertEqual(out.count(PLAY), 1, out)
        saved = Path(conf, "lumostations.xml").read_text()
        sid = saved.split("id=")[1].split("&")[0]
        self.assertEqual(saved, "<station name=\"Smooth & 'Blue' Jazz\"\nurl=\"http://%s/sbin/tunein-station.pls"
                                "?id=%s&amp;filename=playlist.pls\"/>\n" % (directory.address, sid))
        self.assertEqual(directory.stop()[0], 0)

        # Restarted, on another port: the saved id still leads to the station.
        directory = harness.Directory(*options)
        self.addCleanup(directory.stop)
        out = self.host(directory, "key ok\nkey up\nkey up\nkey up\nkey ok\nkey down\nkey ok\nkey green\ndump\n")
        self.assertIn('"building list finsihed [1].   genre: local: lumostations.xml   bitrate: 0"', out)
        self.assertEqual(out.count(PLAY), 1, out)
        self.assertEqual(fake.clicks["u-jazz"], 2)
        self.assertEqual(directory.requests(), [("/sbin/tunein-station.pls?id=%s\t%s\tclicked" % (sid, sid)).encode()])

    def test_an_imported_playlist_plays_from_the_favourites(self):
        conf, stream = self.make_root(), "http://radio.example:8000/imported.mp3"
        Path(conf, "genre.xml").write_text('<genre name="Rock"></genre>\n<genre name="Jazz"></genre>\n')
        Path(self.root, "saved.pls").write_bytes(b"[Playlist]\r\nfile1=%s\r\ntitle1=Imported \"Gold\" Radio\r\n" % stream.encode())
        state = ("--state", self.root + "/state")
        run = subprocess.run([harness.PROGRAM, "--import-favourites", self.root + "/saved.pls", "--favourites",
                              conf + "/lumostations.xml", *state], capture_output=True, text=True)
        self.assertEqual((run.returncode, run.stdout), (0, "1 stations added to %s/lumostations.xml\n" % conf), run.stderr)
        directory = harness.Directory("--audio-dir", "", *state)   # the offline catalogue, as ./scripts/run.sh serves
        self.addCleanup(directory.stop)
        out = self.host(directory, "key ok\nkey up\nkey up\nkey up\nkey ok\nkey down\nkey ok\nkey green\ndump\n"
                                   "focus input_genre\nkey ok\ntype Blue Ridge Roadhouse\nkey ok\ndump\n")
        self.assertIn('"building list finsihed [1].   genre: local: lumostations.xml   bitrate: 0"', out)
        # A station's name typed as the genre (10 characters of it) lists that station.
        self.assertIn('"building list finsihed [1].   genre: Blue Ridge   bitrate: 0"', out)
        self.assertIn('text="(2) Imported \'Gold\' Radio"', out)
        self.assertEqual(out.count('playService "4096:0:0:0:0:0:0:0:0:0:%s" mode=40' % stream), 1, out)


if __name__ == "__main__":
    unittest.main()
