"""ICY streams: metadata blocks, title schedule, pacing, and audio that a
real decoder plays."""

import array
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from standin_harness import SCRIPT, StandIn, get

META = [("Icy-MetaData", "1")]


def read_blocks(response, metaint, count):
    """(audio bytes, metadata texts with b"" for an empty block) of `count` intervals."""
    audio, blocks = b"", []
    for _ in range(count):
        audio += response.read(metaint)
        blocks.append(response.read(response.read(1)[0] * 16))
    return audio, blocks


def mpg123_complaints(source, *args):
    """Decodes in test mode; returns (complaint lines, stderr)."""
    run = subprocess.run(["mpg123", "-t", *args, source], capture_output=True, timeout=120)
    err = run.stderr.decode("utf-8", "replace")
    bad = [l for l in err.splitlines() if any(w in l.lower() for w in ("error", "warn", "illegal"))]
    if run.returncode or "finished" not in err:
        bad.append("exit %d" % run.returncode)
    return bad, err


@unittest.skipUnless(shutil.which("mpg123"), "mpg123 is not installed")
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

    def assertDecodes(self, audio):
        with tempfile.NamedTemporaryFile(suffix=".mp3") as f:
            f.write(audio)
            f.flush()
            self.assertEqual(mpg123_complaints(f.name)[0], [])

    def test_metadata_every_metaint_bytes_and_titles_on_schedule(self):
        r = self.open("/stream/1001")
        self.assertEqual(r.status_line, "HTTP/1.0 200 OK")
        self.assertEqual([r.headers[k] for k in ("content-type", "icy-metaint", "icy-br", "icy-name")],
                         ["audio/mpeg", "1000", "128", "Radio Kestrel Rock"])
        audio, blocks = read_blocks(r, 1000, 40)
        # 128 kbit/s is 16000 bytes a second: a new title every 16 intervals
        self.assertEqual({n + 1: b.rstrip(b"\0") for n, b in enumerate(blocks) if b},
                         {1: b"StreamTitle='Artist 1 - Song 1';StreamUrl='';",
                          16: b"StreamTitle='Artist 2 - Song 2';StreamUrl='';",
                          32: b"StreamTitle='Artist 3 - Song 3';StreamUrl='';"})
        self.assertDecodes(audio)
        _, blocks = read_blocks(self.open("/stream/3010"), 1000, 9)   # own titles, 64 kbit/s
        self.assertEqual([b.rstrip(b"\0").decode() for b in blocks if b],
                         ["StreamTitle='O'Neil - It's Late';StreamUrl='';",
                          "StreamTitle='Mary-Kate & \"The Band\" - Ça Va';StreamUrl='';"])

    def test_metadata_only_when_asked_for_and_the_icy_status_variant(self):
        for path, headers in (("/stream/1001", ()), ("/stream/3007", META)):
            r = self.open(path, headers)
            self.assertNotIn("icy-metaint", r.headers)
            self.assertDecodes(r.read(20000))
        r = self.open("/stream/3006")
        self.assertEqual((r.status_line, r.headers["icy-metaint"]), ("ICY 200 OK", "1000"))
        self.assertTrue(read_blocks(r, 1000, 1)[1][0].startswith(b"StreamTitle='Artist 1"))

    def test_a_minute_of_stream_decodes_cleanly_rendered_or_silent(self):
        audio_dir = tempfile.mkdtemp(prefix="standin-audio-")
        self.addCleanup(shutil.rmtree, audio_dir)
        rendered = bool(shutil.which("lame") and shutil.which("sox"))
        if rendered:
            subprocess.run([os.path.join(os.path.dirname(SCRIPT), "make_audio.sh"), "--audio-dir",
                            audio_dir, "24", "128"], check=True, capture_output=True, timeout=120)
        server = StandIn("--speed", "0", "--audio-dir", audio_dir, "--title-seconds", "5")
        try:
            # 128 kbit/s MPEG-1 and 24 kbit/s MPEG-2 rendered; 32 kbit/s never is
            for sid, loud in (("1001", rendered), ("1007", rendered), ("1504", False)):
                url = "http://%s/stream/%s" % (server.address, sid)
                bad, err = mpg123_complaints(url, "-n", "2300")
                self.assertEqual(bad, [], sid)
                self.assertIn("StreamTitle='Artist 12 - Song 12'", err)
                pcm = subprocess.run(["mpg123", "-q", "-n", "100", "-s", url],
                                     capture_output=True, timeout=60).stdout
                peak = max(map(abs, array.array("h", pcm[:len(pcm) // 2 * 2])))
                self.assertEqual(peak > 1000, loud, sid)
        finally:
            self.assertEqual(server.stop()[0], 0)


class Pacing(unittest.TestCase):
    def test_stream_goes_no_faster_than_bitrate_times_speed(self):
        server = StandIn("--speed", "4", "--burst-seconds", "0.5")
        try:
            r = get(server, "/stream/1007")        # 24 kbit/s: 3000 bytes a second, 12000 at speed 4
            r.read(1500)                           # the burst
            start = time.monotonic()
            r.read(6000)
            r.close()
            self.assertGreater(time.monotonic() - start, 0.4)
        finally:
            self.assertEqual(server.stop()[0], 0)


if __name__ == "__main__":
    unittest.main()
