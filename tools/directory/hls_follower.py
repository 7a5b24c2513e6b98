"""Follows an HLS station for the relay: a master playlist's first audio
variant the relay can decode, then the media playlist's segments in order,
their bytes written to the decoder. A live playlist is read again as it
grows; an on-demand one (#EXT-X-ENDLIST) ends the stream at its end.
Titles come from the segments' timed ID3 tags (packed audio's leading tag,
or a transport stream's ID3 stream): "Artist - Title", or the title alone.

follow() reports through event(word, text): "playing", "title TEXT",
"retry N OF WHY", "end WHY" (the words oruvel-fetch uses)."""

import re
import urllib.error
import urllib.request
from urllib.parse import urljoin

from radio_browser import USER_AGENT

TIMEOUT = 10
ATTEMPTS = 5              # failed fetches in a row before the stream is given up
MAX_PLAYLIST = 1 << 20
MAX_SEGMENT = 32 << 20
LIVE_START_SEGMENTS = 3   # a live stream starts this many segments from its end
VIDEO_CODECS = ("avc1", "avc3", "hvc1", "hev1", "vp09", "vp8", "av01", "mp4v", "dvh1")
_ATTRIBUTE = re.compile(r'([A-Z0-9-]+)=("[^"]*"|[^,]*)')


class HlsError(Exception):
    pass


def attributes(text):
    return {k: v.strip('"') for k, v in _ATTRIBUTE.findall(text)}


def _get(url, limit):
    request = urllib.request.Request(url, headers={"User-Agent": USER_AGENT})
    try:
        with urllib.request.urlopen(request, timeout=TIMEOUT) as answer:
            data = answer.read(limit + 1)
            final = answer.geturl()
    except (urllib.error.URLError, OSError, ValueError) as e:
        raise HlsError("%s: %s" % (url, getattr(e, "reason", e))) from None
    if len(data) > limit:
        raise HlsError("%s: larger than %d bytes" % (url, limit))
    return data, final


def media_playlist_of(url):
    """(address, text) of the media playlist to follow for url."""
    data, url = _get(url, MAX_PLAYLIST)
    text = data.decode("utf-8", "replace")
    if not text.lstrip("\ufeff").startswith("#EXTM3U"):
        raise HlsError("%s: not an HLS playlist" % url)
    if "#EXT-X-STREAM-INF" not in text:
        return url, text
    lines = [l.strip() for l in text.splitlines()]
    variants = [(attributes(l), nxt) for l, nxt in zip(lines, lines[1:] + [""])
                if l.startswith("#EXT-X-STREAM-INF:") and nxt and not nxt.startswith("#")]
    audio_only = [uri for attrs, uri in variants if "CODECS" in attrs and not any(
        c.strip().lower().startswith(VIDEO_CODECS) for c in attrs["CODECS"].split(","))]
    renditions = [attributes(l)["URI"] for l in lines if l.startswith("#EXT-X-MEDIA:")
                  and attributes(l).get("TYPE") == "AUDIO" and attributes(l).get("URI")]
    # An audio-only variant, else an audio rendition, else the first variant's audio.
    chosen = (audio_only + renditions + [uri for _, uri in variants])[:1]
    if not chosen:
        raise HlsError("%s: a master playlist without variants" % url)
    data, media = _get(urljoin(url, chosen[0]), MAX_PLAYLIST)
    return media, data.decode("utf-8", "replace")


def segments_of(text, base):
    """(first sequence number, [segment address], init address or None,
    target duration, ended) of a media playlist."""
    sequence, target, init, ended, uris = 0, 6.0, None, False, []
    for line in (l.strip() for l in text.splitlines()):
        if line.startswith("#EXT-X-MEDIA-SEQUENCE:"):
            sequence = int(line.split(":", 1)[1] or 0)
        elif line.startswith("#EXT-X-TARGETDURATION:"):
            target = max(1.0, float(line.split(":", 1)[1] or 6))
        elif line.startswith("#EXT-X-MAP:"):
            init = urljoin(base, attributes(line.split(":", 1)[1]).get("URI", ""))
        elif line.startswith("#EXT-X-KEY:") and "METHOD=NONE" not in line:
            raise HlsError("encrypted segments")
        elif line.startswith("#EXT-X-ENDLIST"):
            ended = True
        elif line and not line.startswith("#"):
            uris.append(urljoin(base, line))
    return sequence, uris, init, target, ended


# --- timed ID3 ------------------------------------------------------------

def _syncsafe(b):
    return (b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3]


def id3_title(tag):
    """"Artist - Title" (or the title) from an ID3v2.3/2.4 tag, or None."""
    if len(tag) < 10 or tag[:3] != b"ID3" or tag[3] not in (3, 4):
        return None
    end = min(len(tag), 10 + _syncsafe(tag[6:10]))
    texts, pos = {}, 10
    while pos + 10 <= end and tag[pos:pos + 4].isalnum():
        size = _syncsafe(tag[pos + 4:pos + 8]) if tag[3] == 4 else int.from_bytes(tag[pos + 4:pos + 8], "big")
        body = tag[pos + 10:pos + 10 + size]
        if tag[pos:pos + 4] in (b"TIT2", b"TPE1") and body:
            codec = {0: "latin-1", 1: "utf-16", 2: "utf-16-be", 3: "utf-8"}.get(body[0], "latin-1")
            texts[tag[pos:pos + 4]] = body[1:].decode(codec, "replace").split("\0")[0].strip()
        pos += 10 + size
    title, artist = texts.get(b"TIT2"), texts.get(b"TPE1")
    return ("%s - %s" % (artist, title) if artist and title else title or artist) or None


def _leading_id3(data):
    """(length of the ID3 tags at the start of packed audio, the last tag)."""
    pos, last = 0, None
    while data[pos:pos + 3] == b"ID3" and pos + 10 <= len(data):
        size = 10 + _syncsafe(data[pos + 6:pos + 10]) + (10 if data[pos + 5] & 0x10 else 0)
        last = data[pos:pos + size]
        pos += size
    return pos, last


def ts_id3_tags(data):
    """The ID3 tags a transport stream carries in its metadata streams."""
    pmt_pids, id3_pids, payloads, current = set(), set(), [], {}
    for pos in range(0, len(data) - 187, 188):
        packet = data[pos:pos + 188]
        if packet[0] != 0x47:
            continue
        pid = ((packet[1] & 0x1F) << 8) | packet[2]
        start = packet[1] & 0x40
        body = 4 + (1 + packet[4] if packet[3] & 0x20 else 0)
        if not packet[3] & 0x10 or body >= 188:
            continue
        payload = packet[body:]
        if pid == 0 and start:
            table = payload[1 + payload[0]:]
            for i in range(8, 3 + ((table[1] & 0x0F) << 8 | table[2]) - 4, 4):
                if table[i] << 8 | table[i + 1]:
                    pmt_pids.add((table[i + 2] & 0x1F) << 8 | table[i + 3])
        elif pid in pmt_pids and start:
            table = payload[1 + payload[0]:]
            end = 3 + ((table[1] & 0x0F) << 8 | table[2]) - 4
            i = 12 + ((table[10] & 0x0F) << 8 | table[11])
            while i + 5 <= end:
                if table[i] == 0x15:
                    id3_pids.add((table[i + 1] & 0x1F) << 8 | table[i + 2])
                i += 5 + ((table[i + 3] & 0x0F) << 8 | table[i + 4])
        elif pid in id3_pids:
            if start:
                current[pid] = bytearray()
                payloads.append(current[pid])
            if pid in current:
                current[pid] += payload
    tags = []
    for pes in payloads:
        if pes[:3] == b"\0\0\1" and len(pes) > 9:
            tags.append(bytes(pes[9 + pes[8]:]))
    return tags


def segment_title(data):
    """The segment's audio bytes (leading ID3 left out) and its title or None."""
    skip, tag = _leading_id3(data)
    if tag is not None:
        return data[skip:], id3_title(tag)
    if data[:1] == b"\x47":
        titles = [t for t in map(id3_title, ts_id3_tags(data)) if t]
        return data, titles[-1] if titles else None
    return data, None


# --- following ------------------------------------------------------------

def follow(url, out, event, stop):
    """Writes the station's audio to `out` until its end, a failure or stop."""
    try:
        why = _follow(url, out, event, stop)
    except HlsError as e:
        why = str(e)
    except (OSError, ValueError) as e:    # the decoder went away, or a broken playlist
        why = "stopped: %s" % e
    event("end", why)


def _follow(url, out, event, stop):
    media_url, text = media_playlist_of(url)
    done = None          # sequence number of the last segment written
    failures, title, init_written, playing = 0, None, None, False
    while not stop.is_set():
        sequence, uris, init, target, ended = segments_of(text, media_url)
        if done is None:
            done = sequence - 1 if ended else sequence + len(uris) - LIVE_START_SEGMENTS - 1
        done = max(done, sequence - 1)    # fell behind a live window: go on from its start
        for number, uri in enumerate(uris, sequence):
            if number <= done:
                continue
            if stop.is_set():
                return "stopped"
            try:
                if init and init != init_written:
                    out.write(_get(init, MAX_SEGMENT)[0])
                    init_written = init
                data, _ = _get(uri, MAX_SEGMENT)
            except HlsError as e:
                failures += 1
                if failures > ATTEMPTS:
                    raise
                event("retry", "%d %d %s" % (failures, ATTEMPTS, e))
                break
            failures = 0
            audio, found = segment_title(data)
            if found and found != title:
                title = found
                event("title", title)
            out.write(audio)
            out.flush()
            done = number
            if not playing:
                playing = True
                event("playing")
        else:
            if ended:
                return "end of the playlist"
        if stop.wait(target / 2):
            break
        try:
            text = _get(media_url, MAX_PLAYLIST)[0].decode("utf-8", "replace")
        except HlsError as e:
            failures += 1
            if failures > ATTEMPTS:
                raise
            event("retry", "%d %d %s" % (failures, ATTEMPTS, e))
    return "stopped"
