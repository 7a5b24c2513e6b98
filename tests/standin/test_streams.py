"""ICY streams: headers, metadata blocks, title schedule, pacing, and audio
that a real decoder plays."""

import array
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from standin_harness import SCRIPT, StandIn, get

META = [("Icy-MetaData", "1")]
HAVE_MPG123 = shutil.which("mpg123") is not None


def read_blocks(response, metaint, count):
    """(audio bytes, [metadata block texts, b"" for L=0]) for `count` intervals."""
    audio, blocks = b"", []
    for _ in range(count):
        audio += response.read(metaint)
        length = response.read(1)[0] * 16
        block = response.read(length)
        blocks.append(block)
        if length:
            assert block.endswith(b"\0") or block.endswith(b";"), block
    return audio, blocks


def decode_check(test, source, *args):
    """Runs mpg123 in test mode; fails on any complaint. Returns stderr."""
    run = subprocess.run(["mpg123", "-t", *args, source], capture_output=True, timeout=60)
    err = run.stderr.decode("utf-8", "replace")
    test.assertEqual(run.returncode, 0, err)
    for word in ("error", "warning", "Illegal", "resync"):
        test.assertNotIn(word.lower(), err.lower())
    test.assertIn("finished", err)
    return err


class Streams(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = StandIn("--speed", "0", "--metaint", "1000", "--title-seconds", "1")

    @classmethod
    def tearDownClass(cls):
        assert cls.server.stop()[0] == 0

    def open(self, path, headers=META):
        r = get(self.server, path, headers)
        self.addCleanup(r.close)
        return r

    def test_metadata_every_metaint_bytes_and_titles_on_schedule(self):
        r = self.open("/stream/1001")
        self.assertEqual(r.status_line, "HTTP/1.0 200 OK")
        self.assertEqual((r.headers["content-type"], r.headers["icy-metaint"], r.headers["icy-br"],
                          r.headers["icy-name"], r.headers["icy-genre"]),
                         ("audio/mpeg", "1000", "128", "Radio Kestrel Rock", "Rock"))
        audio, blocks = read_blocks(r, 1000, 40)
        # 128 kbit/s is 16000 bytes a second: a new title every 16 intervals.
        changed = {n + 1: b.rstrip(b"\0") for n, b in enumerate(blocks) if b}
        self.assertEqual(changed, {1: b"StreamTitle='Artist 1 - Song 1';StreamUrl='';",
                                   16: b"StreamTitle='Artist 2 - Song 2';StreamUrl='';",
                                   32: b"StreamTitle='Artist 3 - Song 3';StreamUrl='';"})
        for b in blocks:
            self.assertEqual(len(b) % 16, 0)
        if HAVE_MPG123:
            with tempfile.NamedTemporaryFile(suffix=".mp3") as f:
                f.write(audio)
                f.flush()
                decode_check(self, f.name)

    def test_titles_from_the_catalogue_keep_quotes_and_utf8(self):
        _, blocks = read_blocks(self.open("/stream/3010"), 1000, 9)   # 64 kbit/s: 8 intervals a title
        titles = [b.rstrip(b"\0").decode("utf-8") for b in blocks if b]
        self.assertEqual(titles, ["StreamTitle='O'Neil - It's Late';StreamUrl='';",
                                  "StreamTitle='Mary-Kate & \"The Band\" - Ça Va';StreamUrl='';"])

    def test_metadata_only_when_asked_and_when_the_station_has_it(self):
        for path, headers in (("/stream/1001", ()), ("/stream/3007", META)):
            r = self.open(path, headers)
            self.assertEqual(r.status, 200)
            self.assertNotIn("icy-metaint", r.headers)
            audio = r.read(20000)
            self.assertNotIn(b"StreamTitle", audio)
            if HAVE_MPG123:
                with tempfile.NamedTemporaryFile(suffix=".mp3") as f:
                    f.write(audio)
                    f.flush()
                    decode_check(self, f.name)

    def test_icy_station_answers_with_icy_status_line(self):
        r = self.open("/stream/3006")
        self.assertEqual(r.status_line, "ICY 200 OK")
        self.assertEqual(r.headers["icy-metaint"], "1000")
        self.assertNotIn("connection", r.headers)
        _, blocks = read_blocks(r, 1000, 1)
        self.assertTrue(blocks[0].startswith(b"StreamTitle='Artist 1 - Song 1';"))

    def test_unknown_stream_is_not_found(self):
        self.assertEqual(self.open("/stream/424242").status, 404)


class Pacing(unittest.TestCase):
    def test_stream_is_sent_at_bitrate_times_speed_after_the_burst(self):
        server = StandIn("--speed", "2", "--burst-seconds", "0.5")
        try:
            start = time.monotonic()          # before the server's clock starts
            r = get(server, "/stream/1007")   # 24 kbit/s: 3000 bytes a second, 6000 at speed 2
            got = len(r.read(1500))           # the burst
            r.sock.settimeout(0.05)
            while time.monotonic() - start < 1.0:
                try:
                    data = r.sock.recv(65536)
                except OSError:
                    continue
                got += len(data)
            r.close()
            elapsed = time.monotonic() - start
            self.assertLessEqual(got, 1500 + 6000 * elapsed + 600)
            self.assertGreater(got, 1500)
        finally:
            self.assertEqual(server.stop()[0], 0)


@unittest.skipUnless(HAVE_MPG123, "mpg123 is not installed")
class RealAudio(unittest.TestCase):
    def test_a_minute_of_stream_decodes_cleanly_rendered_or_silent(self):
        audio_dir = tempfile.mkdtemp(prefix="standin-audio-")
        self.addCleanup(shutil.rmtree, audio_dir)
        rendered = shutil.which("lame") and shutil.which("sox")
        if rendered:
            make = os.path.join(os.path.dirname(SCRIPT), "make_audio.sh")
            subprocess.run([make, "--audio-dir", audio_dir, "24", "128"], check=True,
                           capture_output=True, timeout=60)
        server = StandIn("--speed", "0", "--audio-dir", audio_dir, "--title-seconds", "5")
        try:
            # 1001: 128 kbit/s MPEG-1, 1007: 24 kbit/s MPEG-2, 1504: 32 kbit/s never rendered
            for sid, loud in (("1001", rendered), ("1007", rendered), ("1504", False)):
                url = "http://%s/stream/%s" % (server.address, sid)
                err = decode_check(self, url, "-n", "2300")
                self.assertIn("ICY-META: StreamTitle='Artist 12 - Song 12'", err)
                pcm = subprocess.run(["mpg123", "-q", "-n", "100", "-s", url],
                                     capture_output=True, timeout=30).stdout
                samples = array.array("h", pcm[:len(pcm) // 2 * 2])
                self.assertGreater(len(samples), 40000)
                peak = max(abs(s) for s in samples)
                self.assertEqual(peak > 1000, bool(loud), sid)
        finally:
            self.assertEqual(server.stop()[0], 0)


if __name__ == "__main__":
    unittest.main()
