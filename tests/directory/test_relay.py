"""The relay from outside: a client that decodes MP3 only gets every codec
and HLS station of the stand-in as MP3 with its titles; listeners that
leave take their processes with them; the limit; a source that drops."""

import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import harness
from harness import PAGE, PLS, fetch, file_urls, get, read_page

sys.path.insert(0, os.path.dirname(harness.PROGRAM))
from mp3_frames import parse_header, split_frames  # noqa: E402

AUDIO = os.environ["ORUVEL_TEST_AUDIO_DIR"]
FETCH = ("--relay-fetcher", os.environ["ORUVEL_FETCH"])
META = [("Icy-MetaData", "1")]
RELAY = ("--audio-dir", AUDIO, "--codecs", "MP3", "--relay") + FETCH


def hear(mp3):
    """The tone in Hz of the whole frames: decoded to 8 kHz mono, the median
    of each tenth of a second's zero crossings; None when the decoder complained."""
    mp3 = mp3[:whole_frames(mp3)[1]]
    run = subprocess.run(["ffmpeg", "-v", "error", "-f", "mp3", "-i", "pipe:0", "-f", "s16le", "-ac", "1",
                          "-ar", "8000", "-"], input=mp3, capture_output=True, timeout=60)
    samples = memoryview(run.stdout).cast("h")
    tenths = sorted(sum((samples[i - 1] < 0) != (samples[i] < 0) for i in range(at + 1, at + 801))
                    for at in range(0, len(samples) - 800, 800))
    return tenths[len(tenths) // 2] * 5 if tenths and not run.returncode and not run.stderr else None


def read_icy(r, metaint, blocks):
    """(audio, titles in order of change) of up to `blocks` intervals, fewer
    when the stream ends; stops early once two titles were seen."""
    audio, titles = b"", []
    for _ in range(blocks):
        piece = r.file.read(metaint)
        audio += piece
        length = r.file.read(1)
        if len(piece) < metaint or not length:
            break
        text = r.file.read(length[0] * 16).rstrip(b"\0").decode()
        if text:
            titles.append(text[len("StreamTitle='"):text.index("';")])
        if len(titles) >= 3:
            break
    return audio, titles


def whole_frames(mp3):
    """(indexes of the silent frames, all zero after the header; the length
    of the whole frames; their number)."""
    silent, pos, n = [], 0, 0
    while True:
        length = parse_header(mp3, pos)
        if not length or pos + length > len(mp3):
            return silent, pos, n
        if not any(mp3[pos + 4:pos + length]):
            silent.append(n)
        pos, n = pos + length, n + 1


def descendants(pid):
    """Process ids whose parent is pid."""
    found = []
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/stat" % entry) as f:
                if entry.isdigit() and int(f.read().rsplit(")", 1)[1].split()[1]) == pid:
                    found.append(int(entry))
        except (OSError, IndexError, ValueError):
            pass
    return found


def wait_until(condition, what):
    deadline = time.monotonic() + 60
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError("never happened: " + what)
        time.sleep(0.05)


class Formats(unittest.TestCase):
    def test_every_format_is_listed_as_mp3_and_relayed_into_the_tone_with_its_titles(self):
        server = harness.Directory(*RELAY, "--speed", "4", "--title-seconds", "2")
        self.addCleanup(server.stop)
        listed = {s["id"]: s for genre in ("World", "Pop", "Classical", "Electronic")
                  for s in read_page(fetch(server, PAGE + genre)[2])}
        table = [("2104", "Radio Sahel AAC", ["Tinariwen - Amassakoul", "Ali Farka Touré - Savane"]),
                 ("1310", "Hit Radio AAC+ Paris", ["Café Tacvba - Eres", "Zoë Müller - Ça plaît à Noël"]),
                 ("1410", "Klassik Vorbis Wien", ["Antonín Dvořák - Largo", "Sigur Rós - Hoppípolla"]),
                 ("1510", "Opus Nova Électronique", ["Røyksopp - Eple", "Daft Punk - Digital Love"]),
                 ("2105", "Live HLS Radio", ["Orchestra Baobab - Utrus Horas", "Amadou & Mariam - Dimanche à Bamako"]),
                 ("2106", "HLS On Demand Radio", ["HLS On Demand Radio"])]
        for sid, name, titles in table:
            with self.subTest(station=name):
                self.assertEqual((listed[sid]["mt"], listed[sid]["br"]), ("audio/mpeg", "128"))
                url = file_urls(fetch(server, PLS + sid)[2])
                self.assertEqual(url, ["http://%s/relay/%s" % (server.address, sid)])
                r = get(server, "/relay/" + sid, META)
                with r.sock, r.file:
                    self.assertEqual([r.status_line, r.headers["content-type"], r.headers["icy-name"]],
                                     ["HTTP/1.0 200 OK", "audio/mpeg", name])
                    audio, seen = read_icy(r, int(r.headers["icy-metaint"]), 40)
                self.assertEqual(set(seen), set(titles))
                self.assertAlmostEqual(hear(audio), 440, delta=25)
        # On demand ends with its playlist: ten seconds of the tone.
        self.assertIn(b"/relay/2106\t2106\trelayed, first MP3 after", b"\n".join(server.requests()))
        self.assertIn(b"source ended: end of the playlist", b"\n".join(server.requests()))
        # MP3 stations are not relayed; without --relay the others are left out.
        self.assertEqual((listed["1311"]["mt"], file_urls(fetch(server, PLS + "1311")[2])[0].split("/")[3]),
                         ("audio/mpeg", "stream"))
        plain = harness.Directory("--audio-dir", AUDIO, "--codecs", "MP3,AAC")
        self.addCleanup(plain.stop)
        self.assertEqual({s["id"]: s["mt"] for s in read_page(fetch(plain, PAGE + "World")[2]) if s["id"] > "2103"},
                         {"2104": "audio/aac"})


class TimedId3(unittest.TestCase):
    def test_a_transport_streams_id3_stream_gives_the_title_and_a_plain_one_none(self):
        import hls_follower
        from hls_standin import id3_tag

        def packet(pid, payload):
            return (bytes((0x47, 0x40 | pid >> 8, pid & 0xFF, 0x10)) + payload).ljust(188, b"\xff")
        crc = bytes(4)   # not checked by the reader
        pat = packet(0, bytes((0, 0, 0xB0, 13, 0, 1, 0xC1, 0, 0, 0, 1, 0xE1, 0x00)) + crc)
        pmt = packet(0x100, bytes((0, 2, 0xB0, 23, 0, 1, 0xC1, 0, 0, 0xE1, 0x01, 0xF0, 0,
                                   0x0F, 0xE1, 0x01, 0xF0, 0, 0x15, 0xE1, 0x02, 0xF0, 0)) + crc)
        pes = packet(0x102, b"\0\0\1\xbd\0\0\x84\x80\x05" + bytes(5) + id3_tag("Ballaké Sissoko - Kora"))
        audio = packet(0x101, b"\0\0\1\xc0" + bytes(100))
        self.assertEqual(hls_follower.segment_title(pat + pmt + pes + audio)[1], "Ballaké Sissoko - Kora")
        self.assertIsNone(hls_follower.segment_title(pat + audio)[1])


class Listeners(unittest.TestCase):
    def test_leaving_idle_and_surplus_listeners_and_a_stopping_directory_leave_no_process(self):
        server = harness.Directory(*RELAY, "--relay-max", "2", "--speed", "4")
        self.addCleanup(lambda: server.proc.poll() is None and server.stop())
        pid = server.proc.pid
        first, second = (get(server, "/relay/" + sid) for sid in ("2104", "1410"))
        for r in (first, second):
            self.assertEqual(r.status_line, "HTTP/1.0 200 OK")
            r.file.read(4000)
        self.assertEqual(len(descendants(pid)), 4)   # a fetcher and an encoder each
        status, _, body = fetch(server, "/relay/1510")
        self.assertEqual((status, body), (503, b"relay busy: 2 of 2 relays in use\n"))
        busy = get(server, "/relay/1510")
        self.assertEqual(busy.status_line, "HTTP/1.0 503 relay busy: 2 of 2 relays in use")
        busy.sock.close()
        first.sock.close()
        first.file.close()
        wait_until(lambda: len(descendants(pid)) == 2, "the first listener's processes ended")
        # Listeners that stop reading are let go too (the second has stopped as well).
        idle = get(server, "/relay/2105")
        self.assertEqual(idle.status_line, "HTTP/1.0 200 OK")
        wait_until(lambda: not descendants(pid), "the idle listeners' processes ended")
        self.assertEqual(sum(b"listener stopped reading" in line for line in server.requests()), 2)
        for r in (idle, second):
            r.sock.close()
            r.file.close()
        # A directory that stops ends the relays it runs.
        last = get(server, "/relay/1310")
        last.file.read(4000)
        left = descendants(pid)
        self.assertEqual(server.stop()[0], 0)
        last.sock.close()
        last.file.close()
        self.assertEqual([p for p in left if os.path.exists("/proc/%d" % p)], [])

    def test_a_source_that_drops_is_bridged_with_silence_and_comes_back(self):
        server = harness.Directory(*RELAY, "--burst-seconds", "0", "--drop-stream-after", "30000")
        self.addCleanup(server.stop)
        r = get(server, "/relay/2104")
        with r.sock, r.file:
            mp3, silent, frames = b"", [], 0
            # Until silence has been sent and the tone followed it again.
            while not silent or frames - silent[-1] < 50:
                piece = r.file.read(16000)
                self.assertTrue(piece and len(mp3) < 2000000, "the relay ended, or never filled a gap")
                mp3 += piece
                silent, _, frames = whole_frames(mp3)
        self.assertGreaterEqual(sum(line.startswith(b"/stream/2104") for line in server.requests()), 2)
        self.assertAlmostEqual(hear(mp3), 440, delta=25)


class Ripper(unittest.TestCase):
    def test_the_ripper_records_a_relayed_station_one_file_per_title(self):
        server = harness.Directory(*RELAY, "--speed", "4", "--title-seconds", "2")
        self.addCleanup(server.stop)
        root = tempfile.TemporaryDirectory(prefix="relay-rip-")
        self.addCleanup(root.cleanup)
        os.makedirs(os.path.join(root.name, "tmp"))
        music = os.path.join(root.name, "music")
        ripper = subprocess.Popen([os.environ["ORUVEL_LUMORIPPER"], "http://%s/relay/2104" % server.address,
                                   "-d", music], env=dict(os.environ, ORUVEL_ROOT=root.name),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        folder = os.path.join(music, "Radio Sahel AAC")
        done = lambda: os.path.isdir(folder) and any("(partial)" not in n for n in os.listdir(folder))
        wait_until(done, "a whole track recorded")
        ripper.send_signal(signal.SIGTERM)
        self.assertEqual(ripper.wait(30), 0, ripper.stderr.read())
        ripper.stderr.close()
        whole = sorted(n for n in os.listdir(folder) if "(partial)" not in n)
        self.assertIn(whole[0], ("Tinariwen - Amassakoul.mp3", "Ali Farka Touré - Savane.mp3"))
        with open(os.path.join(folder, whole[0]), "rb") as f:
            self.assertAlmostEqual(hear(b"".join(split_frames(f.read()))), 440, delta=25)   # its tag left out


if __name__ == "__main__":
    unittest.main()
