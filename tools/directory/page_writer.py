"""The one writer of the directory format: station pages, tune-in
playlists and genre lists, for both sources.

Catalogue text we do not control (Radio Browser) is written so the plug-in
reads back exactly what is meant. The plug-in reads a page in pieces of at most 511 bytes (a piece ends after
a newline), takes the first occurrence of a key anywhere in a piece, cuts a
value at the next double quote and decodes no entity. So a value is
written as the user should read it: `&` stays `&`, a double quote becomes
a single quote, line breaks and other control characters become blanks,
no value holds a key the reader looks for, and each station's line, its
newline included, fits one piece. Genre files are read the same way in
pieces of 255 bytes into names of at most 63 bytes.

The offline catalogue's own text is written with XML entities instead, as
directories of old did, so the plug-in's reading of them can be tried.
"""

import re
from urllib.parse import quote, urlsplit


PAGE_HEAD = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
             '<stationlist>\n'
             '<tunein base="/sbin/tunein-station.pls"></tunein>\n')
PAGE_TAIL = '</stationlist>\n'
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


def entity(text):
    """Text in XML's way: the offline catalogue's pages."""
    return (text.replace("&", "&amp;").replace("<", "&lt;")
            .replace(">", "&gt;").replace('"', "&quot;"))


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
    a host name in its IDNA form, other bytes outside printable ASCII
    percent-encoded, and "http" only at the start, because the plug-in keeps
    what follows the last "http" of the playlist's File line: later ones
    are written in an equivalent form (upper case in the host name, %68 in
    the user name and the path)."""
    if not isinstance(value, str):
        return None
    text = value.strip()
    scheme, sep, rest = text.partition("://")
    scheme = scheme.lower()
    if not sep or scheme not in (("http",) if http_only else ("http", "https")):
        return None
    authority = re.match(r"[^/?#]*", rest).group()
    if authority.startswith((":", "@")):
        return None
    user, at, host_port = authority.rpartition("@")
    host, port = _host_and_port(host_port)
    if not host:
        return None
    user = quote(user, safe="!$&'()*+,;=%:~").replace("http", "%68ttp") + at
    path = quote(rest[len(authority):], safe="/?#[]@!$&'()*+,;=%:~").replace("http", "%68ttp")
    url = "%s://%s%s%s%s" % (scheme, user, host.replace("http", "HTTP"), port, path)
    if urlsplit(url).path.lower().endswith(PLAYLIST_PATHS) or len(url.encode()) > MAX_URL_BYTES:
        return None
    return url


def _host_and_port(host_port):
    """(host as players resolve it, ":port" or ""); ("", "") when unusable."""
    if host_port.startswith("["):   # an IPv6 literal
        host, bracket, port = host_port.partition("]")
        host += bracket
    else:
        host, _, port = host_port.partition(":")
        port = ":" + port if _ else ""
    if port and not re.fullmatch(r":[0-9]{1,5}", port):
        return "", ""
    if host.startswith("[") and not re.fullmatch(r"\[[0-9A-Fa-f:.]+\]", host):
        return "", ""
    try:
        host = host.encode("idna").decode("ascii")
    except UnicodeError:
        return "", ""
    if not re.fullmatch(r"[A-Za-z0-9._~!$&'()*+,;=\[\]:-]+", host):
        return "", ""
    return host, port


def station_element(attributes):
    """One station element, without its newline: `attributes` are (key,
    value) pairs in order, each value already written the source's way."""
    return "<station %s></station>" % " ".join('%s="%s"' % a for a in attributes)


def station_line(name, mime, sid, bitrate, genre, plays):
    """One catalogue station on one line, within one piece of the reader,
    newline included; the name is shortened when the line would not fit."""
    genre = cut_utf8(clean_text(genre), GENRE_BYTES)
    name = clean_text(name)

    def line(n):
        return station_element([("name", n), ("mt", mime), ("id", sid), ("br", number(bitrate)),
                                ("genre", genre), ("lc", number(plays))]) + "\n"

    room = PIECE_BYTES - len(line("").encode("utf-8"))
    return line(cut_utf8(name, room))


def station_page(lines):
    """The page around station lines (each with its newline)."""
    return (PAGE_HEAD + "".join(lines) + PAGE_TAIL).encode("utf-8")


def playlist(entries):
    """A .pls playlist with CRLF line ends; entries are (url, title) pairs."""
    out = ["[playlist]", "numberofentries=%d" % len(entries)]
    for n, (url, title) in enumerate(entries, 1):
        out += ["File%d=%s" % (n, url), "Title%d=%s" % (n, title), "Length%d=-1" % n]
    out.append("Version=2")
    return ("\r\n".join(out) + "\r\n").encode("utf-8")


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


def genre_file(names, standalone=False):
    """A genre list of names already written the source's way."""
    lines = ['<?xml version="1.0" encoding="UTF-8"%s?>\n<genrelist>\n' % (' standalone="yes"' if standalone else "")]
    lines += ['<genre name="%s"></genre>\n' % n for n in names]
    lines.append("</genrelist>\n")
    return "".join(lines).encode("utf-8")
