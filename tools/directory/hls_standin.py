"""The stand-in's HLS stations (flag format=hls, hls=live or vod):

  live  /hls/ID/master.m3u8 names a video variant first (it is not there:
        a client must pick the audio one) and the audio-only variant
        live.m3u8: a sliding window of packed-audio segments cut from the
        AAC tone, each with an ID3 tag carrying the title of its time,
        growing by one segment every SEGMENT_SECONDS (times --speed).
  vod   /hls/ID/vod.m3u8 lists the MPEG-TS segments make_audio.sh renders
        (hls-128-N.ts) and ends: no titles, so the station's name stands.
"""

import os
import time

SEGMENT_SECONDS = 2.0
LIVE_WINDOW = 4
HLS_PREFIX = "/hls/"
TONE_FILE = "sine-128.aac"
PLAYLIST_TYPE = "application/vnd.apple.mpegurl"


def entry_path(station):
    kind = "master.m3u8" if station.flag("hls") == "live" else "vod.m3u8"
    return "%s%s/%s" % (HLS_PREFIX, station.id, kind)


def adts_frames(data):
    frames, pos = [], 0
    while pos + 7 <= len(data) and data[pos] == 0xFF and data[pos + 1] & 0xF0 == 0xF0:
        length = ((data[pos + 3] & 0x03) << 11) | (data[pos + 4] << 3) | (data[pos + 5] >> 5)
        if length < 7:
            break
        frames.append(data[pos:pos + length])
        pos += length
    return frames


def id3_tag(title):
    """An ID3v2.4 tag with the title as TIT2 (UTF-8)."""
    text = b"\x03" + title.encode("utf-8")
    frame = b"TIT2" + _syncsafe(len(text)) + b"\0\0" + text
    return b"ID3\x04\0\0" + _syncsafe(len(frame)) + frame


def _syncsafe(n):
    return bytes(((n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F))


def _ts_segments(audio_dir):
    names = []
    while os.path.exists(os.path.join(audio_dir, "hls-128-%d.ts" % len(names))):
        names.append("hls-128-%d.ts" % len(names))
    return names


class HlsStandIn:
    def __init__(self, audio_dir, speed, title_seconds):
        self._dir = audio_dir or ""
        self._speed = speed or 1.0
        self._title_seconds = title_seconds
        self._started = time.monotonic()
        with_tone = os.path.join(self._dir, TONE_FILE)
        frames = adts_frames(open(with_tone, "rb").read()) if os.path.exists(with_tone) else []
        per_segment = int(SEGMENT_SECONDS * 44100 / 1024)   # the tone is 44.1 kHz
        self._pieces = [b"".join(frames[i:i + per_segment]) for i in range(0, len(frames), per_segment)]

    def missing(self, station):
        if station.flag("hls") == "live":
            return None if self._pieces else "no %s in %s: run make_audio.sh" % (TONE_FILE, self._dir)
        return None if _ts_segments(self._dir) else "no hls-128-*.ts in %s: run make_audio.sh" % self._dir

    def answer(self, station, name):
        """(status, body, content type) for /hls/ID/name."""
        if name == "master.m3u8" and station.flag("hls") == "live":
            return 200, (
                "#EXTM3U\n"
                '#EXT-X-STREAM-INF:BANDWIDTH=900000,CODECS="avc1.42e01e,mp4a.40.2",RESOLUTION=640x360\n'
                "video.m3u8\n"
                '#EXT-X-STREAM-INF:BANDWIDTH=140000,CODECS="mp4a.40.2"\n'
                "live.m3u8\n").encode(), PLAYLIST_TYPE
        if name == "live.m3u8" and self._pieces:
            newest = int((time.monotonic() - self._started) * self._speed / SEGMENT_SECONDS) + LIVE_WINDOW
            first = newest - LIVE_WINDOW + 1
            lines = ["#EXTM3U", "#EXT-X-VERSION:3", "#EXT-X-TARGETDURATION:%d" % SEGMENT_SECONDS,
                     "#EXT-X-MEDIA-SEQUENCE:%d" % first]
            for n in range(first, newest + 1):
                lines += ["#EXTINF:%.3f," % SEGMENT_SECONDS, "live-%d.aac" % n]
            return 200, ("\n".join(lines) + "\n").encode(), PLAYLIST_TYPE
        if name.startswith("live-") and name.endswith(".aac") and name[5:-4].isdigit() and self._pieces:
            n = int(name[5:-4])
            title = station.title(int(n * SEGMENT_SECONDS // self._title_seconds))
            return 200, id3_tag(title) + self._pieces[n % len(self._pieces)], "audio/aac"
        segments = _ts_segments(self._dir) if station.flag("hls") == "vod" else []
        if name == "vod.m3u8" and segments:
            lines = ["#EXTM3U", "#EXT-X-VERSION:3", "#EXT-X-PLAYLIST-TYPE:VOD",
                     "#EXT-X-TARGETDURATION:%d" % SEGMENT_SECONDS, "#EXT-X-MEDIA-SEQUENCE:0"]
            for segment in segments:
                lines += ["#EXTINF:%.3f," % SEGMENT_SECONDS, segment]
            return 200, ("\n".join(lines + ["#EXT-X-ENDLIST"]) + "\n").encode(), PLAYLIST_TYPE
        if name in segments:
            with open(os.path.join(self._dir, name), "rb") as f:
                return 200, f.read(), "video/mp2t"
        return 404, b"not found\n", "text/plain"
