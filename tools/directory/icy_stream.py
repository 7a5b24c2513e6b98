"""The body of an ICY stream: audio bytes with a metadata block after every
`metaint` audio bytes. Titles follow the audio position, so a listener
hears (and a test sees) title k change to k+1 after exactly
k * title_seconds seconds of audio, however fast the bytes are sent."""

MAX_BLOCK = 255 * 16


def metadata_block(title, url=""):
    """Length byte L and L*16 bytes "StreamTitle='...';StreamUrl='...';"
    padded with NULs; an over-long title is cut at a character boundary.
    A title given as bytes (another charset than UTF-8) is sent as it is."""
    def text(t):
        raw = t if isinstance(t, bytes) else t.encode("utf-8")
        return b"StreamTitle='" + raw + ("';StreamUrl='%s';" % url).encode("utf-8")
    body = text(title)
    while len(body) > MAX_BLOCK:
        title = title[:-1]
        body = text(title)
    blocks = (len(body) + 15) // 16
    return bytes((blocks,)) + body + bytes(blocks * 16 - len(body))


class IcyBody:
    """Produces the stream body piece by piece.

    audio: object with read(n) -> n bytes; title_at(index) -> title text;
    metaint None sends plain audio."""

    def __init__(self, audio, bytes_per_second, title_seconds, title_at, metaint=None):
        self._audio = audio
        self._title_bytes = max(1, int(bytes_per_second * title_seconds))
        self._title_at = title_at
        self._metaint = metaint
        self._until_meta = metaint
        self._last_title = None
        self.audio_sent = 0

    def current_title(self):
        return self._title_at(self.audio_sent // self._title_bytes)

    def next_piece(self, max_audio):
        """Up to max_audio audio bytes, followed by a metadata block when the
        interval is reached there."""
        if not self._metaint:
            self.audio_sent += max_audio
            return self._audio.read(max_audio)
        take = min(max_audio, self._until_meta)
        piece = self._audio.read(take)
        self.audio_sent += take
        self._until_meta -= take
        if self._until_meta == 0:
            self._until_meta = self._metaint
            title = self.current_title()
            if title == self._last_title:
                piece += b"\0"
            else:
                piece += metadata_block(title)
                self._last_title = title
        return piece
