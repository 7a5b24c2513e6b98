"""Stations in the other formats real stations send: a 440 Hz tone as MP3,
AAC (ADTS), Ogg Vorbis or Ogg Opus, rendered by make_audio.sh as
sine-<kbps>.<ext>, and a stream of bytes no decoder can play.

Station flags (catalogue.txt):
  format=mp3|aac|vorbis|opus|noise   the tone in that format (no flag: the
                                     MP3 chord loops of mp3_frames)
  format=hls, hls=live|vod           an HLS station (hls_standin.py)
  type=CONTENT-TYPE                  the Content-Type sent (default by format)
  charset=latin-1                    titles sent in Latin-1 (default UTF-8)

An Ogg station starts a new logical stream (a new serial number, its
headers first) at each title change, as live Ogg stations do; a title
therefore lasts --title-seconds, cut at the next page, or the tone file's
length when that is shorter.
"""

import os
import random
import struct
import sys
import threading

from mp3_frames import LoopReader, split_frames

# format -> (file extension, default content type)
FORMATS = {
    "mp3": (".mp3", "audio/mpeg"),
    "aac": (".aac", "audio/aac"),
    "vorbis": (".ogg", "application/ogg"),
    "opus": (".opus", "audio/ogg"),
    "noise": (None, "audio/aacp"),
}

_cache = {}
_cache_lock = threading.Lock()
_warned = set()


class Source:
    """What one stream sends: content type, audio reader, titles by index.
    `missing` is the reason when the audio cannot be had (the server then
    answers 503 with it)."""

    def __init__(self, content_type, reader=None, title_at=None, missing=None):
        self.content_type = content_type
        self.reader = reader
        self.title_at = title_at
        self.missing = missing


def source_for(station, audio_dir, title_bytes):
    """The Source of a station's stream; reader None means the MP3 chord
    loop of the station's bitrate."""
    fmt = station.flag("format")
    encode = _title_encoder(station)
    if fmt is None:
        return Source(station.flag("type", "audio/mpeg"), None, lambda i: encode(station.title(i)))
    if fmt not in FORMATS:
        return Source("text/plain", missing="unknown format=%s in the catalogue" % fmt)
    ext, default_type = FORMATS[fmt]
    content_type = station.flag("type", default_type)
    if fmt == "noise":
        return Source(content_type, NoiseReader(station.id), lambda i: encode(station.title(i)))
    path = os.path.join(audio_dir or "", "sine-%d%s" % (station.kbps, ext))
    data = _load(path)
    if data is None:
        why = "no %s audio at %s: run tools/directory/make_audio.sh (needs %s)" % (
            fmt, path, {"mp3": "lame", "aac": "ffmpeg", "vorbis": "vorbis-tools",
                        "opus": "opus-tools"}[fmt])
        if path not in _warned:
            _warned.add(path)
            sys.stderr.write("oruvel-directory: station %s: %s\n" % (station.id, why))
        return Source(content_type, missing=why)
    if fmt in ("vorbis", "opus"):
        chain = OggChain(data, title_bytes, station.id)
        return Source(content_type, chain, lambda _i: encode(station.title(chain.title_index)))
    return Source(content_type, LoopReader(data), lambda i: encode(station.title(i)))


def listing_of(station):
    """(codec as the catalogue names it, whether it is HLS): the codec told
    by the Content-Type the station sends, as a real catalogue records it."""
    if station.flag("format") == "hls":
        return "AAC", True
    fmt = station.flag("format")
    content_type = station.flag("type", FORMATS[fmt][1] if fmt in FORMATS else "audio/mpeg")
    codec = {"audio/mpeg": "MP3", "audio/aac": "AAC", "audio/aacp": "AAC+",
             "application/ogg": "OGG", "audio/ogg": "OPUS"}.get(content_type, "MP3")
    return codec, False


def missing_formats(audio_dir):
    """Formats whose tone files are not rendered in audio_dir."""
    have = set(os.listdir(audio_dir)) if audio_dir and os.path.isdir(audio_dir) else set()
    return [f for f, (ext, _) in FORMATS.items()
            if ext and not any(n.startswith("sine-") and n.endswith(ext) for n in have)]


def _title_encoder(station):
    if station.flag("charset", "").lower() in ("latin-1", "iso-8859-1"):
        return lambda text: text.encode("latin-1", "replace")
    return lambda text: text


def _load(path):
    with _cache_lock:
        if path in _cache:
            return _cache[path]
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError:
            data = None
        if data and path.endswith(".mp3"):
            data = b"".join(split_frames(data)) or None
        if data and path.endswith((".ogg", ".opus")):
            data = ogg_pages(data) or None
        _cache[path] = data or None
        return _cache[path]


class NoiseReader:
    """Endless bytes that no decoder takes for audio: never a 0xFF, so no
    MPEG or ADTS frame sync, and no Ogg page."""

    def __init__(self, seed):
        self._random = random.Random(seed)

    def read(self, count):
        return bytes(self._random.randrange(0, 0xFF) for _ in range(count))


# --- Ogg pages --------------------------------------------------------------

def _crc_table():
    table = []
    for i in range(256):
        r = i << 24
        for _ in range(8):
            r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else (r << 1)
        table.append(r & 0xFFFFFFFF)
    return table


_CRC = _crc_table()


def ogg_crc(page):
    crc = 0
    for b in page:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ _CRC[(crc >> 24) ^ b]
    return crc


def ogg_pages(data):
    """The pages of an Ogg file of one logical stream, in order."""
    pages, pos = [], 0
    while pos + 27 <= len(data) and data[pos:pos + 4] == b"OggS":
        segments = data[pos + 26]
        length = 27 + segments + sum(data[pos + 27:pos + 27 + segments])
        pages.append(data[pos:pos + length])
        pos += length
    return pages


class OggChain:
    """Endless Ogg bytes: the tone file's logical stream again and again,
    each time with a serial number of its own and its headers first. A
    stream is ended (its page marked last) once title_bytes of it have gone,
    on a page that ends audio packets, or at the file's end. title_index counts
    the logical streams up to the last byte read."""

    def __init__(self, pages, title_bytes, seed):
        self._pages = pages
        self._title_bytes = title_bytes
        self._serial = random.Random(seed).randrange(1 << 31)
        self._next = 0          # index of the next page of the file
        self._stream = 0        # logical streams begun so far, minus one
        self._stream_bytes = 0
        self._queue = []        # [bytes, offset, stream index] not yet read
        self.title_index = 0

    def read(self, count):
        out = bytearray()
        while len(out) < count:
            if not self._queue:
                self._queue.append([self._next_page(), 0, self._stream])
            item = self._queue[0]
            page, offset, stream = item
            take = min(count - len(out), len(page) - offset)
            out += page[offset:offset + take]
            item[1] += take
            self.title_index = stream
            if item[1] == len(page):
                self._queue.pop(0)
                if self._next == 0:
                    self._stream += 1
        return bytes(out)

    def _next_page(self):
        page = bytearray(self._pages[self._next])
        self._next += 1
        self._stream_bytes += len(page)
        granule = struct.unpack_from("<q", page, 6)[0]
        # Never end one inside a packet: the next page must not continue it.
        last = self._next == len(self._pages) or (
            self._stream_bytes >= self._title_bytes and granule > 0
            and not self._pages[self._next][5] & 0x01)
        if last:
            page[5] |= 0x04   # end of stream
            self._next = 0
            self._stream_bytes = 0
        struct.pack_into("<I", page, 14, (self._serial + self._stream) & 0xFFFFFFFF)
        struct.pack_into("<I", page, 22, 0)
        struct.pack_into("<I", page, 22, ogg_crc(page))
        return bytes(page)
