"""The relay: plays a station the client cannot decode as an MP3 ICY stream.

Each listener gets a relay of its own: the station fetched by oruvel-fetch
(the shared stream reader, with its reconnect rule) or, for HLS, by the
playlist follower, decoded and encoded to MP3 by one ffmpeg, and sent with
the station's titles in metadata blocks. While the source reconnects the
listener gets silent frames, so its player keeps the connection. A relay
ends when the listener goes, stops reading for IDLE_SECONDS, or the source
ends; its processes share one process group, are killed with it, and die
with the directory (parent-death signal) should it be killed itself.
"""

import os
import select
import shutil
import signal
import socket
import subprocess
import threading
import time

import hls_follower
from icy_stream import metadata_block
from mp3_frames import parse_header

IDLE_SECONDS = 10           # a listener that takes nothing for this long is gone
FIRST_AUDIO_SECONDS = 20    # the source's connect time-out and then some
LAG_ALLOWED = 0.5           # audio this far behind the clock is topped up with silence
METAINT = 16000
SEND_BUFFER = 32 * 1024     # small, so a listener that stops reading is noticed soon
MP3_RATES = {0b11: (44100, 48000, 32000), 0b10: (22050, 24000, 16000), 0b00: (11025, 12000, 8000)}


def busy_reason(limit):
    return "relay busy: %d of %d relays in use" % (limit, limit)


def find_fetcher(explicit=None):
    """The oruvel-fetch program: as given, else on PATH, else in the
    checkout's build folder."""
    if explicit:
        return explicit if os.access(explicit, os.X_OK) else None
    here = os.path.dirname(os.path.abspath(__file__))
    built = os.path.join(here, "..", "..", "build", "tools", "icy", "oruvel-fetch")
    found = shutil.which("oruvel-fetch") or (built if os.access(built, os.X_OK) else None)
    return os.path.normpath(found) if found else None


class RelaySettings:
    def __init__(self, fetcher, bitrate=128, limit=4, ffmpeg="ffmpeg"):
        self.fetcher = fetcher
        self.bitrate = bitrate
        self.limit = limit
        self.ffmpeg = ffmpeg
        self._lock = threading.Lock()
        self.in_use = 0

    def take(self):
        with self._lock:
            if self.in_use >= self.limit:
                return False
            self.in_use += 1
            return True

    def give_back(self):
        with self._lock:
            self.in_use -= 1


def is_hls_address(url):
    path = url.split("?", 1)[0].split("#", 1)[0].lower()
    return path.endswith((".m3u8", ".m3u"))


def encoder_command(settings):
    return [settings.ffmpeg, "-nostdin", "-hide_banner", "-loglevel", "error",
            "-probesize", "4096", "-analyzeduration", "0", "-i", "pipe:0",
            "-map", "0:a:0", "-vn", "-af", "aformat=channel_layouts=mono|stereo",
            "-c:a", "libmp3lame", "-b:a", "%dk" % settings.bitrate, "-reservoir", "0",
            "-write_xing", "0", "-id3v2_version", "0", "-flush_packets", "1", "-f", "mp3", "pipe:1"]


def _dies_with_us(command):
    """The command run so that it is killed when the thread that started it
    (a relay's, alive for the whole relay) ends with the directory."""
    return ["setpriv", "--pdeathsig", "KILL", "--"] + command


class Mp3Frames:
    """Cuts the encoder's output into whole frames, so silence can go in
    between, makes silent frames like the last one seen, and counts the
    seconds of audio both make."""

    def __init__(self):
        self._pending = bytearray()
        self.header = None
        self.seconds = 0.0

    def feed(self, data):
        self._pending += data
        out, pos = bytearray(), 0
        while True:
            length = parse_header(self._pending, pos)
            if length is None:
                if pos + 4 > len(self._pending):
                    break
                pos += 1    # not at a frame: skip to the next sync
                continue
            if pos + length > len(self._pending):
                break
            self.header = bytes(self._pending[pos:pos + 4])
            self.seconds += frame_seconds(self.header)
            out += self._pending[pos:pos + length]
            pos += length
        del self._pending[:pos]
        return bytes(out)

    def silence(self, seconds):
        """Silent frames for about `seconds`."""
        if self.header is None:
            return b""
        header = bytearray(self.header)
        header[2] &= ~0x02          # unpadded: every frame the same size
        count = max(1, int(seconds / frame_seconds(header)))
        self.seconds += count * frame_seconds(header)
        return (bytes(header) + bytes(parse_header(header + bytes(4), 0) - 4)) * count


def frame_seconds(header):
    version = (header[1] >> 3) & 3
    return (1152 if version == 0b11 else 576) / MP3_RATES[version][(header[2] >> 2) & 3]


class IcyWriter:
    """Audio to the listener, with a metadata block after every METAINT
    bytes when it asked for them: the title when it changed, else empty."""

    def __init__(self, write, with_metadata):
        self._write = write
        self._metaint = METAINT if with_metadata else 0
        self._until = self._metaint
        self._sent_title = None
        self.title = None

    def audio(self, data):
        if not self._metaint:
            self._write(data)
            return
        while data:
            take = min(len(data), self._until)
            piece, data = data[:take], data[take:]
            self._until -= take
            if self._until == 0:
                self._until = self._metaint
                if self.title is not None and self.title != self._sent_title:
                    self._sent_title = self.title
                    piece += metadata_block(self.title)
                else:
                    piece += b"\0"
            self._write(piece)


class SourceProcesses:
    """The processes (and HLS thread) of one relay: events come as lines on
    `events`, MP3 on `mp3`."""

    def __init__(self, settings, url, hls):
        self._procs = []
        self._follower = None
        self._stop = threading.Event()
        events_r, events_w = os.pipe()
        self.events = os.fdopen(events_r, "rb", buffering=0)
        encoder = _dies_with_us(encoder_command(settings))
        try:
            if hls:
                out = os.fdopen(events_w, "wb", buffering=0)
                try:
                    enc = subprocess.Popen(encoder, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                           process_group=0)
                except BaseException:
                    out.close()
                    raise
                self._procs.append(enc)

                def follow():
                    with out, enc.stdin:
                        hls_follower.follow(url, enc.stdin, _event_writer(out), self._stop)
                self._follower = threading.Thread(target=follow, daemon=True)
                self._follower.start()
            else:
                audio_r, audio_w = os.pipe()
                try:
                    fetch = subprocess.Popen(_dies_with_us([settings.fetcher, "--events", str(events_w), url]),
                                             stdout=audio_w, stdin=subprocess.DEVNULL,
                                             pass_fds=(events_w,), process_group=0)
                    self._procs.append(fetch)
                    enc = subprocess.Popen(encoder, stdin=audio_r, stdout=subprocess.PIPE,
                                           process_group=fetch.pid)
                    self._procs.append(enc)
                finally:
                    os.close(audio_r)
                    os.close(audio_w)
                    os.close(events_w)
        except BaseException:
            self.end()
            raise
        self.mp3 = enc.stdout

    def end(self):
        """Every process of the relay gone and reaped, whatever state it is in."""
        self._stop.set()
        if self._procs:
            # Nothing is left to flush for a listener that is gone: kill, then reap.
            try:
                os.killpg(self._procs[0].pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            for p in self._procs:
                p.wait()
            for p in self._procs:
                for f in (p.stdin, p.stdout):
                    if f:
                        try:
                            f.close()
                        except OSError:
                            pass
        if self._follower:
            self._follower.join(5)
        self.events.close()


def _event_writer(out):
    lock = threading.Lock()

    def write(word, text=""):
        line = (word + (" " + text if text else "")).replace("\n", " ").replace("\r", " ")
        with lock:
            try:
                out.write(line.encode("utf-8", "replace") + b"\n")
            except OSError:
                pass
    return write


def serve(handler, settings, url, name, log, hls=None):
    """Answers handler's request with the station at `url` relayed as MP3;
    log(reason) gets what happened, for the request log. hls: the address is
    an HLS playlist (None: told by its path)."""
    if not settings.take():
        handler._answer(503, (busy_reason(settings.limit) + "\n").encode(), "text/plain",
                        reason=busy_reason(settings.limit))
        log("busy")
        return
    connected = time.monotonic()
    sock = handler.connection
    source = None
    why, stats = "?", {}
    try:
        source = SourceProcesses(settings, url, is_hls_address(url) if hls is None else hls)
        why = _relay(handler, settings, source, name, connected, stats)
    except TimeoutError:
        why = "listener stopped reading for %d s" % IDLE_SECONDS
    except OSError as e:
        why = "listener gone: %s" % (e.strerror or e.__class__.__name__)
    finally:
        if source:
            source.end()
        settings.give_back()
        handler.close_connection = True
        try:
            sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
    log(why if "first" not in stats else "relayed, first MP3 after %.2f s; %s" % (stats["first"], why))


def _relay(handler, settings, source, name, connected, stats):
    """Pumps MP3 to the listener until one side ends; returns why."""
    sock = handler.connection
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, SEND_BUFFER)
    sock.settimeout(IDLE_SECONDS)   # a write blocked this long: the listener stopped reading
    frames = Mp3Frames()
    writer = None
    title, ended, events, flowing = name, None, b"", False
    watched = [source.mp3, source.events, sock]
    started = None      # when the listener got its first MP3
    stopping = handler.server.stopping
    while not stopping.is_set():
        readable, _, _ = select.select(watched, [], [], 0.1)
        now = time.monotonic()
        if source.events in readable:
            chunk = os.read(source.events.fileno(), 4096)
            if not chunk:
                watched.remove(source.events)   # the fetcher is gone; the encoder's end follows
            *lines, events = (events + chunk).split(b"\n")
            for line in lines:
                word, _, text = line.decode("utf-8", "replace").partition(" ")
                if word == "title" and text.strip():
                    title = text
                elif word == "end":
                    ended = text
                elif word == "playing":
                    flowing = True
            if writer:
                writer.title = title
        if sock in readable and not sock.recv(4096):
            return "listener left"
        if source.mp3 in readable:
            data = os.read(source.mp3.fileno(), 65536)
            if not data:
                why = ended or "the decoder ended"
                if writer is None:
                    # The fetcher ended first: no stream; else the decoder gave up on it.
                    trouble = "station unreachable" if ended else "station not decodable"
                    handler._answer(502, ("%s: %s\n" % (trouble, why)).encode(), "text/plain", reason=trouble)
                    return "no audio: " + why
                return "source ended: " + why
            audio = frames.feed(data)
            if audio:
                if writer is None:
                    started = now
                    stats["first"] = now - connected
                    writer = _start_answer(handler, settings, name)
                    writer.title = title
                writer.audio(audio)
        elif writer is None and now - connected > FIRST_AUDIO_SECONDS:
            trouble = "station not decodable" if flowing else "station sends nothing"
            handler._answer(502 if flowing else 504, trouble.encode() + b"\n", "text/plain", reason=trouble)
            return "no MP3 within %d s: %s" % (FIRST_AUDIO_SECONDS, trouble)
        elif writer and frames.seconds < now - started - LAG_ALLOWED:
            # The source reconnects or stalls: silence keeps the player on this relay.
            writer.audio(frames.silence(now - started - frames.seconds))
    return "directory stopping"


def _start_answer(handler, settings, name):
    wants_meta = handler.headers.get("Icy-MetaData", "").strip() == "1"
    headers = [("Content-Type", "audio/mpeg"), ("icy-name", name.encode("utf-8")),
               ("icy-br", settings.bitrate), ("icy-pub", "0"),
               ("Cache-Control", "no-cache"), ("Connection", "close")]
    if wants_meta:
        headers.append(("icy-metaint", METAINT))
    handler._head("HTTP/1.0 200 OK", headers)
    return IcyWriter(handler.wfile.write, wants_meta)
