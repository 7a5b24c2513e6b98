"""Station pages, tune-in playlists and genre files for catalogue text we
do not control, written so the plug-in reads back exactly what is meant.

The plug-in reads a page in pieces of at most 511 bytes (a piece ends after
a newline), takes the first occurrence of a key anywhere in a piece, cuts a
value at the next double quote and decodes no entity. So a value is
written as the user should read it: `&` stays `&`, a double quote becomes
a single quote, line breaks and other control characters become blanks,
no value holds a key the reader looks for, and each station's line, its
newline included, fits one piece. Genre files are read the same way in
pieces of 255 bytes into names of at most 63 bytes.
"""

import re
from urllib.parse import quote, urlsplit

from catalogue import PAGE_HEAD, PAGE_TAIL, playlist

PIECE_BYTES = 511
GENRE_BYTES = 127          # the station's genre field
GENRE_NAME_BYTES = 63      # a genre file's name field
MAX_NUMBER = 99999         # bitrate and play count stay short numbers
# The longest stream address the plug-in keeps: its 256-byte play string
# holds a 23-character prefix, the address and the NUL.
MAX_URL_BYTES = 232

MIME_TYPES = {"MP3": "audio/mpeg", "AAC": "audio/aac", "AAC+": "audio/aacp",
              "OGG": "application/ogg", "FLAC": "audio/flac", "OPUS": "audio/ogg"}
PLAYLIST_PATHS = (".pls", ".m3u", ".m3u8", ".asx", ".xspf")

_BLANKS = re.compile(r"[\s\x00-\x1f\x7f-\x9f\u2028\u2029]+")
_KEYS = re.compile(r"(name|id|br|genre)=")
_SURROGATES = re.compile("[\ud800-\udfff]")


def plain_text(value):
    """Text on one line as the user should read it, safe for a reader that
    cuts at quotes."""
    if not isinstance(value, str):
        return ""
    text = _SURROGATES.sub("\ufffd", value)
    return _BLANKS.sub(" ", text).strip().replace('"', "'")


def clean_text(value):
    """Catalogue text as the user should read it, safe for a reader that
    cuts at quotes and searches for keys."""
    return _KEYS.sub(r"\1 =", plain_text(value))


def cut_utf8(text, max_bytes):
    """The longest start of `text` within max_bytes of UTF-8, cut between
    characters, without a blank left at its end."""
    data = text.encode("utf-8")
    if len(data) <= max_bytes:
        return text
    return data[:max_bytes].decode("utf-8", "ignore").rstrip()


def number(value):
    """A count or flag from the catalogue: an integer, true or false, a
    numeric text or a float; anything else (missing, null, words) is 0."""
    if isinstance(value, bool):
        return int(value)
    if isinstance(value, float):
        value = int(value) if value == value and abs(value) < 1e12 else 0
    elif isinstance(value, str):
        value = int(value.strip()) if value.strip().isdigit() else 0
    elif not isinstance(value, int):
        return 0
    return max(0, min(MAX_NUMBER, value))


def stream_address(value, http_only=False):
    """A stream address the plug-in can keep and hand on, or None.

    Only http and https (only http with http_only), not a playlist or HLS,
    bytes outside printable ASCII percent-encoded, and "http" only at the
    start, because the plug-in keeps what follows the last "http" of the
    playlist's File line: later ones are written in an equivalent form
    (upper case in the host, %68 in the path)."""
    if not isinstance(value, str):
        return None
    text = value.strip()
    scheme, sep, rest = text.partition("://")
    scheme = scheme.lower()
    if not sep or scheme not in (("http",) if http_only else ("http", "https")):
        return None
    rest = quote(rest, safe="/?#[]@!$&'()*+,;=%:~")
    host = re.match(r"[^/?#]*", rest).group()
    if not host or host.startswith((":", "@")):
        return None
    url = "%s://%s%s" % (scheme, host.replace("http", "HTTP"),
                         rest[len(host):].replace("http", "%68ttp"))
    path = urlsplit(url).path.lower()
    if path.endswith(PLAYLIST_PATHS) or len(url.encode()) > MAX_URL_BYTES:
        return None
    return url


def station_line(name, mime, sid, bitrate, genre, plays):
    """One station on one line, within one piece of the reader, newline
    included; the name is shortened when the line would not fit."""
    genre = cut_utf8(clean_text(genre), GENRE_BYTES)
    name = clean_text(name)

    def line(n):
        return '<station name="%s" mt="%s" id="%s" br="%d" genre="%s" lc="%d"></station>\n' % (
            n, mime, sid, number(bitrate), genre, number(plays))

    room = PIECE_BYTES - len(line("").encode("utf-8"))
    return line(cut_utf8(name, room))


def station_page(lines):
    return (PAGE_HEAD + "".join(lines) + PAGE_TAIL).encode("utf-8")


def tune_in_playlist(url, name):
    """A playlist with the one stream, or none: no line of an empty one
    holds "File", so the plug-in finds no address in it."""
    return playlist([(url, clean_text(name))] if url else [])


def genre_name(tag):
    """A tag as a genre file's name, or None when it cannot be one as it
    stands (the plug-in sends the name back to ask for the tag's page)."""
    if not isinstance(tag, str):
        return None
    name = tag.strip()
    if not name or clean_text(name) != name or len(name.encode("utf-8")) > GENRE_NAME_BYTES:
        return None
    return name


def genre_file(names):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>\n<genrelist>\n']
    lines += ['<genre name="%s"></genre>\n' % n for n in names]
    lines.append("</genrelist>\n")
    return "".join(lines).encode("utf-8")
