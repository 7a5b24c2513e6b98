"""MPEG audio Layer III frames for the stand-in streams.

Two sources of frames, both endless and frame-aligned:
  * silent frames built here (valid header, zeroed side information and
    main data, which every decoder plays as silence) at any bitrate;
  * the frames of an MP3 file rendered by make_audio.sh, looped.
"""

import os
import threading

# Layer III bitrates (kbit/s) by bitrate index 1..14.
MPEG1_BITRATES = (32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320)
MPEG2_BITRATES = (8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160)
MPEG1_RATES = (44100, 48000, 32000)
MPEG2_RATES = (22050, 24000, 16000)

SYNC_BYTE = 0xFF


def frame_format(kbps):
    """(mpeg1, sample_rate, bitrate_index, real_kbps) for a station bitrate.

    MPEG-1 at 44.1 kHz where the bitrate exists there, MPEG-2 at 22.05 kHz for
    the low ones only it has (8, 16, 24, 144), else the nearest MPEG-1 rate.
    """
    if kbps in MPEG1_BITRATES:
        return True, 44100, MPEG1_BITRATES.index(kbps) + 1, kbps
    if kbps in MPEG2_BITRATES:
        return False, 22050, MPEG2_BITRATES.index(kbps) + 1, kbps
    nearest = min(MPEG1_BITRATES, key=lambda b: (abs(b - kbps), b))
    return True, 44100, MPEG1_BITRATES.index(nearest) + 1, nearest


def frame_header(mpeg1, rate_index, bitrate_index, padded):
    version = 0b11 if mpeg1 else 0b10
    b1 = 0xE0 | (version << 3) | (0b01 << 1) | 1          # Layer III, no CRC
    b2 = (bitrate_index << 4) | (rate_index << 2) | (0x02 if padded else 0)
    b3 = 0b11 << 6                                          # mono
    return bytes((SYNC_BYTE, b1, b2, b3))


def silent_loop(kbps):
    """Silent mono frames for one full padding cycle, so looping them keeps
    the average bitrate exact. Returns (bytes, real_kbps)."""
    mpeg1, rate, index, real = frame_format(kbps)
    coefficient = 144000 if mpeg1 else 72000
    rate_index = (MPEG1_RATES if mpeg1 else MPEG2_RATES).index(rate)
    base, remainder = divmod(coefficient * real, rate)
    # 44100 = 900 * 49 and 22050 = 450 * 49 divide the numerators' factors
    # so that 49 frames always close the padding cycle.
    frames = []
    carry = 0
    for _ in range(49):
        carry += remainder
        padded = carry >= rate
        if padded:
            carry -= rate
        size = base + (1 if padded else 0)
        header = frame_header(mpeg1, rate_index, index, padded)
        frames.append(header + bytes(size - len(header)))
    return b"".join(frames), real


def parse_header(data, pos):
    """Frame length at data[pos:] if a valid Layer III header stands there."""
    if pos + 4 > len(data) or data[pos] != SYNC_BYTE or (data[pos + 1] & 0xE0) != 0xE0:
        return None
    version = (data[pos + 1] >> 3) & 3
    layer = (data[pos + 1] >> 1) & 3
    bitrate_index = data[pos + 2] >> 4
    rate_index = (data[pos + 2] >> 2) & 3
    padded = (data[pos + 2] >> 1) & 1
    if version == 0b01 or layer != 0b01 or bitrate_index in (0, 15) or rate_index == 3:
        return None
    if version == 0b11:
        kbps, rate, coefficient = MPEG1_BITRATES[bitrate_index - 1], MPEG1_RATES[rate_index], 144000
    else:
        kbps = MPEG2_BITRATES[bitrate_index - 1]
        rate = MPEG2_RATES[rate_index] // (2 if version == 0 else 1)
        coefficient = 72000
    return coefficient * kbps // rate + padded


def side_info_size(data, pos):
    mpeg1 = ((data[pos + 1] >> 3) & 3) == 0b11
    mono = (data[pos + 3] >> 6) == 0b11
    if mpeg1:
        return 17 if mono else 32
    return 9 if mono else 17


def split_frames(data):
    """The audio frames of an MP3 file: ID3 tags, encoder info frames
    ("Xing"/"Info") and stray bytes left out."""
    pos = 0
    if data[:3] == b"ID3" and len(data) >= 10:
        size = 0
        for b in data[6:10]:
            size = (size << 7) | (b & 0x7F)
        pos = 10 + size
    frames = []
    while pos < len(data):
        length = parse_header(data, pos)
        if not length or pos + length > len(data):
            pos += 1
            continue
        # Only trust a header that the next frame (or the end) confirms.
        after = pos + length
        if after < len(data) and data[after:after + 3] != b"TAG" and parse_header(data, after) is None:
            pos += 1
            continue
        frame = data[pos:after]
        info_at = 4 + side_info_size(data, pos)
        if frame[info_at:info_at + 4] not in (b"Xing", b"Info"):
            frames.append(frame)
        pos = after
    return frames


class AudioLibrary:
    """Frame loops by bitrate: the rendered file tone-<kbps>.mp3 in the audio
    folder when there is one, silent frames otherwise."""

    def __init__(self, audio_dir):
        self._dir = audio_dir
        self._loops = {}
        self._lock = threading.Lock()

    def loop_for(self, kbps):
        with self._lock:
            loop = self._loops.get(kbps)
            if loop is None:
                loop = self._load(kbps) or silent_loop(kbps)[0]
                self._loops[kbps] = loop
            return loop

    def _load(self, kbps):
        if not self._dir:
            return None
        path = os.path.join(self._dir, "tone-%d.mp3" % kbps)
        try:
            with open(path, "rb") as f:
                frames = split_frames(f.read())
        except OSError:
            return None
        return b"".join(frames) if frames else None


class LoopReader:
    """Endless bytes from a frame loop, starting at its first frame."""

    def __init__(self, loop):
        self._loop = loop
        self._pos = 0

    def read(self, count):
        out = bytearray()
        while len(out) < count:
            take = min(count - len(out), len(self._loop) - self._pos)
            out += self._loop[self._pos:self._pos + take]
            self._pos = (self._pos + take) % len(self._loop)
        return bytes(out)
