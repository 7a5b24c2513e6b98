"""Favourites in and out of the plug-in's favourites file.

Import reads a playlist as players save them and stations publish them
(M3U with or without its header, PLS however its keys are written, XSPF;
ASX only to say why nothing of it can be played) and appends each stream
the plug-in can play as a favourite record, under an id the directory
tunes in to that address. Export writes the favourites as an extended M3U
that any player opens."""

import html
import os
import re
import sqlite3
import sys
import xml.etree.ElementTree as ElementTree
from urllib.parse import parse_qs, urlsplit

import page_writer as pw
from http_front import PLAYLIST_PATH
import station_folding
import station_state

MAX_PLAYLIST_BYTES = 1 << 20
MAX_FAVOURITES_BYTES = 8 << 20    # what the plug-in reads of the file
PIECE_BYTES = 511                 # the plug-in reads the file in pieces of at most this
NAME_LINE = '<station name="%s"\n'
URL_LINE = 'url="http://%s' + PLAYLIST_PATH + '?id=%s&amp;filename=playlist.pls"/>\n'
DEFAULT_HOST = "localhost:8370"   # the plug-in's directory host unless it was built with another
HOST = re.compile(r"^[A-Za-z0-9.\-]+(:[0-9]{1,5})?$|^\[[0-9A-Fa-f:.]+\](:[0-9]{1,5})?$")
PLAIN_ID = re.compile(r"^[A-Za-z0-9._~-]{1,15}$")   # an id the plug-in keeps whole
# The longest name whose line stays one piece of the plug-in's reader.
MAX_NAME_BYTES = PIECE_BYTES - len((NAME_LINE % "").encode())


class FavouritesError(Exception):
    """Nothing was changed; the text says why."""


# --- reading playlists -------------------------------------------------------

def read_playlist(data):
    """[(title or None, address as written)] of a playlist's entries, and
    the name of its format; FavouritesError when it is none we read or
    cannot be played at all."""
    text = _decode(data).lstrip()
    head = text[:512].lower()
    if head.startswith("[playlist]") or re.search(r"^\s*file\d+\s*=", text, re.I | re.M):
        return _pls(text), "PLS"
    if head.startswith("<"):
        if re.search(r"<asx\b", head):
            return _asx(text), "ASX"
        if re.search(r"<playlist\b", head):
            return _xspf(text), "XSPF"
        raise FavouritesError("a document of a kind this program does not read (M3U, PLS, XSPF, ASX)")
    if re.search(r"^#EXT-X-", text, re.M):
        raise FavouritesError("an HLS playlist: segments of one stream, which the receiver cannot play")
    return _m3u(text), "M3U"


def _decode(data):
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("latin-1")   # older players save in the system's 8-bit charset


def _m3u(text):
    entries, title = [], None
    for line in text.splitlines():
        line = line.strip()
        if line.upper().startswith("#EXTINF:"):
            title = _extinf_title(line[len("#EXTINF:"):])
        elif line and not line.startswith("#"):
            entries.append((title, line))
            title = None
    return entries


def _extinf_title(rest):
    """The title after the first comma outside quoted attributes."""
    quoted = False
    for i, c in enumerate(rest):
        if c == '"':
            quoted = not quoted
        elif c == "," and not quoted:
            return rest[i + 1:]
    return None


def _pls(text):
    files, titles = {}, {}
    for line in text.splitlines():
        key, eq, value = line.partition("=")
        found = re.fullmatch(r"\s*(file|title)(\d+)\s*", key, re.I)
        if eq and found:
            (files if found.group(1).lower() == "file" else titles)[int(found.group(2))] = value.strip()
    return [(titles.get(n), files[n]) for n in sorted(files)]


def _xspf(text):
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError as e:
        raise FavouritesError("not a well-formed XSPF playlist: %s" % e) from None
    local = lambda element: element.tag.rpartition("}")[2]
    entries = []
    for track in root.iter():
        if local(track) != "track":
            continue
        fields = {}
        for child in track:
            fields.setdefault(local(child), (child.text or "").strip())
        if "location" in fields:
            entries.append((fields.get("title") or None, fields["location"]))
    return entries


def _asx(text):
    """Each reference of each entry, with the entry's title. ASX files are
    often no well-formed XML, so they are read loosely."""
    entries = []
    blocks = re.findall(r"<entry\b.*?</entry>", text, re.I | re.S) or [text]
    for block in blocks:
        title = re.search(r"<title>(.*?)</title>", block, re.I | re.S)
        for href in re.findall(r"<ref\b[^>]*?href\s*=\s*[\"']([^\"']*)", block, re.I):
            entries.append((html.unescape(title.group(1)).strip() if title else None, html.unescape(href)))
    return entries


def stream_or_reason(address):
    """(the address as the plug-in keeps it, None), (None, why it is left
    out), or (None, None) with a directory's tune-in address, whose id is
    taken as it stands (see tune_in_id)."""
    parts = urlsplit(address.strip())
    scheme = parts.scheme.lower()
    if scheme not in ("http", "https"):
        return None, ("a %s:// address, not http or https" % scheme if scheme and "://" in address
                      else "not an http or https address")
    if tune_in_id(address):
        return None, None
    path = parts.path.lower()
    if path.endswith(".m3u8"):
        return None, "an HLS stream, which the receiver cannot play"
    if path.endswith(pw.PLAYLIST_PATHS):
        return None, "a playlist, not a stream: import that playlist itself"
    kept = pw.stream_address(address)
    if kept:
        return kept, None
    if not parts.netloc:
        return None, "no host in the address"
    return None, "longer than the %d bytes the plug-in keeps" % pw.MAX_URL_BYTES


def tune_in_id(address):
    """The station id of a directory's tune-in address (as the export
    writes for ids without a known stream), or None."""
    parts = urlsplit(address.strip())
    if parts.path != PLAYLIST_PATH:
        return None
    ids = parse_qs(parts.query).get("id")
    return ids[0] if ids and PLAIN_ID.match(ids[0]) else None


# --- the favourites file -----------------------------------------------------

def read_favourites(data):
    """[(name, id, tune-in address)] as the plug-in reads the file: in
    pieces of at most 511 bytes, a name line, then the url line."""
    pieces, start = [], 0
    while start < len(data):
        end = data.find(b"\n", start, start + PIECE_BYTES)
        end = end + 1 if end >= 0 else min(len(data), start + PIECE_BYTES)
        pieces.append(data[start:end].decode("utf-8", "replace"))
        start = end
    records, i = [], 0
    while i < len(pieces):
        piece, i = pieces[i], i + 1
        if "name=" not in piece:
            continue
        name = _quoted(piece, "name=")
        url_line = pieces[i] if i < len(pieces) else piece
        i += 1
        if "url=" in url_line:
            address = _quoted(url_line, "url=").partition("&")[0]
            records.append((name, _ampersand(url_line, "id="), address))
        else:
            records.append((name, "", ""))
    return records


def _quoted(piece, key):
    value = piece[piece.find(key) + len(key) + 1:]
    return value.partition('"')[0] if '"' in value else value.rstrip("\r\n")


def _ampersand(piece, key):
    if key not in piece:
        return ""
    value = piece[piece.find(key) + len(key):]
    return value.partition("&")[0] if "&" in value else value.partition('"')[0].rstrip("\r\n")


def favourite_record(name, sid, host):
    """The record the yellow key writes, or None when the plug-in would
    read it back as another name or another id."""
    record = (NAME_LINE % name) + (URL_LINE % (host, sid))
    if read_favourites(record.encode()) != [(name, sid, "http://%s%s?id=%s" % (host, PLAYLIST_PATH, sid))]:
        return None
    return record


def favourite_name(title, address):
    """The playlist's title, else the address's host and path, on one line
    within one piece of the reader."""
    name = pw.plain_text(title)
    if not name:
        parts = urlsplit(address)
        name = pw.plain_text(parts.netloc + parts.path.rstrip("/"))
    return pw.cut_utf8(name, MAX_NAME_BYTES)


def _host_of(records):
    """The directory host of the file's last record the plug-in wrote."""
    for _, _, address in reversed(records):
        host = _own_host(address, None)
        if host:
            return host
    return DEFAULT_HOST


def _own_host(address, default):
    host = urlsplit(address.strip()).netloc
    return host if HOST.match(host) else default


def _read(path, bound, what):
    try:
        with open(path, "rb") as f:
            data = f.read(bound + 1)
    except OSError as e:
        raise FavouritesError("cannot read the %s %s: %s" % (what, path, e.strerror or e)) from None
    if len(data) > bound:
        raise FavouritesError("the %s %s is longer than %d bytes" % (what, path, bound))
    return data


def _append(path, data):
    """Appends to PATH as the yellow key does (a save of the plug-in's at the
    same time is not lost); a write cut short is taken out again, so PATH
    holds what it held before."""
    fd = os.open(path, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
    try:
        size = os.lseek(fd, 0, os.SEEK_END)
        try:
            done = 0
            while done < len(data):
                done += os.write(fd, data[done:])
            os.fsync(fd)
        except OSError:
            os.ftruncate(fd, size)
            raise
    finally:
        os.close(fd)


# --- the two commands --------------------------------------------------------

def import_favourites(playlist, path, state_dir, host=None, report=sys.stderr):
    """Appends the playlist's playable streams to the favourites file;
    (imported, left out: [(address, why)])."""
    entries, kind = read_playlist(_read(playlist, MAX_PLAYLIST_BYTES, "playlist"))
    try:
        old = _read(path, MAX_FAVOURITES_BYTES, "favourites file")
    except FavouritesError:
        if os.path.exists(path):
            raise
        old = b""
    records = read_favourites(old)
    host = host or _host_of(records)
    try:
        state = station_state.StationState(state_dir)
    except station_state.StateError as e:
        raise FavouritesError("cannot use the database %s" % e) from None
    try:
        held = set()
        for _, sid, address in records:
            held.add(("id", sid))
            known = state.last_address(sid)
            for a in (known, address):
                if a:
                    held.add(("url", station_folding.address_key(a)))
        wanted, left_out = [], []
        for title, address in entries:
            stream, why = stream_or_reason(address)
            sid = tune_in_id(address) if not stream and not why else None
            key = ("id", sid) if sid else ("url", station_folding.address_key(stream or ""))
            if not why and key in held:
                why = "already among the favourites"
            if why:
                left_out.append((address, why))
                continue
            held.add(key)
            # A directory's tune-in address keeps its host: exported and imported again, it reads the same.
            wanted.append((favourite_name(title, address), stream, sid, _own_host(address, host) if sid else host))
        ids = iter(state.import_addresses([(name, stream) for name, stream, _, _ in wanted if stream]))
        added = []
        for name, stream, sid, record_host in wanted:
            sid = sid or next(ids)
            record = favourite_record(name, sid, record_host)
            if record is None:
                left_out.append((stream or sid, "the plug-in would read it back differently"))
            else:
                added.append(record)
    except (station_state.StateError, sqlite3.Error) as e:
        raise FavouritesError("the database %s: %s" % (state.path, e)) from None
    finally:
        state.close()
    for address, why in left_out:
        report.write("left out: %s: %s\n" % (address, why))
    if added:
        separator = b"\n" if old and not old.endswith(b"\n") else b""
        try:
            _append(path, separator + "".join(added).encode("utf-8"))
        except OSError as e:
            raise FavouritesError("cannot write %s: %s" % (path, e.strerror or e)) from None
    elif entries and all(why != "already among the favourites" for _, why in left_out):
        raise FavouritesError("nothing to import: no entry of this %s playlist can be played" % kind)
    elif not entries:
        raise FavouritesError("nothing to import: the %s playlist has no entries" % kind)
    return len(added), left_out


def export_favourites(path, state_dir):
    """The favourites as an extended M3U: each id's last known address,
    else the directory's tune-in address for it."""
    records = read_favourites(_read(path, MAX_FAVOURITES_BYTES, "favourites file"))
    state = None
    if os.path.exists(os.path.join(state_dir, station_state.DATABASE_NAME)):
        try:
            state = station_state.StationState(state_dir)
        except station_state.StateError as e:
            raise FavouritesError("cannot use the database %s" % e) from None
    lines = ["#EXTM3U"]
    try:
        for name, sid, address in records:
            known = state.last_address(sid) if state and sid else None
            url = known or (address if sid else None)
            if url:
                lines += ["#EXTINF:-1," + name, url]
    except sqlite3.Error as e:
        raise FavouritesError("the database %s: %s" % (state.path, e)) from None
    finally:
        if state:
            state.close()
    return "\n".join(lines) + "\n"


def add_options(parser):
    group = parser.add_argument_group("favourites (each a run of its own, with --state)")
    group.add_argument("--import-favourites", metavar="FILE",
                       help="append the streams of an M3U, PLS or XSPF playlist to the favourites "
                            "file --favourites PATH, and exit")
    group.add_argument("--favourites", metavar="PATH", help="the plug-in's favourites file to import into")
    group.add_argument("--directory-host", metavar="HOST:PORT",
                       help="the directory host in imported records (default: that of the file's "
                            "last record, else %s)" % DEFAULT_HOST)
    group.add_argument("--export-favourites", metavar="PATH",
                       help="write the favourites file PATH to standard output as an extended M3U, "
                            "and exit")


def check_options(parser, opts, given):
    """Refuses favourite options that make no run; True for a favourites run."""
    importing, exporting = "import_favourites" in given, "export_favourites" in given
    if importing and exporting:
        parser.error("--import-favourites and --export-favourites are two runs: give one")
    if importing != ("favourites" in given):
        parser.error("--import-favourites FILE goes with --favourites PATH")
    if "directory_host" in given and (not importing or not HOST.match(opts.directory_host)):
        parser.error("--directory-host takes HOST or HOST:PORT, for --import-favourites")
    return importing or exporting


def run(opts, state_dir):
    """The favourites run the options ask for: 0, 1 when it failed (nothing
    changed)."""
    try:
        if getattr(opts, "export_favourites", None):
            sys.stdout.write(export_favourites(opts.export_favourites, state_dir))
            return 0
        added, _ = import_favourites(opts.import_favourites, opts.favourites, state_dir,
                                     getattr(opts, "directory_host", None))
    except FavouritesError as e:
        sys.stderr.write("oruvel-directory: %s\n" % e)
        return 1
    print("%d stations added to %s" % (added, opts.favourites))
    return 0
