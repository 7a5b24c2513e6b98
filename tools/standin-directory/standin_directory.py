#!/usr/bin/env python3
"""Stand-in internet radio station directory on loopback.

Serves the station page of a genre, the tune-in playlist of a station and
live ICY streams of MP3 audio, from a catalogue file, with faults to order.
Run with --help for everything; README.md has an example.
"""

import argparse
import os
import select
import signal
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import quote, unquote_to_bytes

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import catalogue as cat  # noqa: E402
import faults  # noqa: E402
from icy_stream import IcyBody  # noqa: E402
from mp3_frames import AudioLibrary, LoopReader  # noqa: E402

DEFAULT_CATALOGUE = os.path.join(HERE, "catalogue.txt")
DEFAULT_AUDIO_DIR = os.path.join(
    os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache"),
    "oruvel-standin")
PAGE_PATH = "/sbin/newxml.phtml"
PLAYLIST_PATH = "/sbin/tunein-station.pls"
STREAM_PREFIX = "/stream/"


def parse_query(query):
    """Query keys to percent-decoded bytes; the first occurrence of a key
    wins and "+" stays a plus."""
    params = {}
    for part in query.split("&"):
        key, eq, value = part.partition("=")
        if eq and key not in params:
            params[key] = unquote_to_bytes(value)
    return params


def log_escape(data):
    return data.replace(b"\\", b"\\\\").replace(b"\n", b"\\n").replace(b"\t", b"\\t")


class RequestLog:
    """One line per request: raw path and query, TAB, the decoded genre
    (station page) or id (playlist), written and flushed at once."""

    def __init__(self, path):
        self._file = open(path, "ab") if path else None
        self._lock = threading.Lock()

    def write(self, raw_path, value):
        if not self._file:
            return
        line = log_escape(raw_path.encode("latin-1", "replace")) + b"\t" + log_escape(value) + b"\n"
        with self._lock:
            self._file.write(line)
            self._file.flush()


class Directory(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64      # many players and downloads may connect at once

    def __init__(self, options, catalogue):
        super().__init__(("127.0.0.1", options.port), Handler)
        self.options = options
        self.catalogue = catalogue
        self.audio = AudioLibrary(options.audio_dir)
        self.stopping = threading.Event()
        self.request_log = RequestLog(options.request_log)
        self.address = "127.0.0.1:%d" % self.server_address[1]
        self._pages = {}
        self._pages_lock = threading.Lock()
        # Bound but never listening: connections to it are refused.
        self._refusing = socket.socket()
        self._refusing.bind(("127.0.0.1", 0))
        self.refused_address = "127.0.0.1:%d" % self._refusing.getsockname()[1]

    def page_for(self, genre):
        key = cat.genre_key(genre)
        with self._pages_lock:
            page = self._pages.get(key)
            if page is None:
                page = cat.station_page(self.catalogue.stations_of(genre))
                self._pages[key] = page
            return page

    def server_close(self):
        super().server_close()
        refusing = getattr(self, "_refusing", None)   # absent when the bind failed
        if refusing:
            refusing.close()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "StandInDirectory/1.0"
    timeout = 60

    def log_message(self, fmt, *args):
        if self.server.options.verbose:
            sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))

    def do_GET(self):
        try:
            self._route()
        except OSError:   # the client went away (or was cut off) mid-answer
            self.close_connection = True

    def _route(self):
        srv = self.server
        opts = srv.options
        path, _, query = self.path.partition("?")
        params = parse_query(query)
        key = {PAGE_PATH: "genre", PLAYLIST_PATH: "id"}.get(path)
        srv.request_log.write(self.path, params.get(key, b"") if key else b"")
        if opts.slow_ms > 0 and srv.stopping.wait(opts.slow_ms / 1000.0):
            return
        if path == PAGE_PATH:
            self._station_page(params)
        elif path == PLAYLIST_PATH:
            self._playlist(params)
        elif path.startswith(STREAM_PREFIX):
            self._stream(path[len(STREAM_PREFIX):])
        else:
            self._answer(404, b"not found\n", "text/plain")

    # --- answers -----------------------------------------------------------

    def _head(self, status_line, headers):
        lines = [status_line.encode()] + [
            ("%s: " % k).encode() + (v if isinstance(v, bytes) else str(v).encode("utf-8"))
            for k, v in headers]
        self.wfile.write(b"\r\n".join(lines) + b"\r\n\r\n")

    def _answer(self, code, body, content_type, extra=()):
        reason = self.responses.get(code, ("Error",))[0]
        headers = [("Server", self.server_version), ("Content-Type", content_type),
                   ("Content-Length", len(body)), ("Connection", "close")] + list(extra)
        self._head("HTTP/1.0 %d %s" % (code, reason), headers)
        self.wfile.write(body)

    def _redirect(self, target):
        self._answer(302, b"moved\n", "text/plain",
                     [("Location", "http://%s%s" % (self.server.address, target))])

    def _reset(self):
        """Abort the connection: the peer sees a reset, not an orderly end."""
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()
        self.close_connection = True

    def _cut_off(self):
        if self.server.options.drop_reset:
            self._reset()
        else:
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True

    # --- station page --------------------------------------------------------

    def _station_page(self, params):
        srv = self.server
        opts = srv.options
        if opts.page_status:
            self._answer(opts.page_status, b"<html><body>server error</body></html>\n", "text/html")
            return
        if "genre" not in params:
            self._answer(200, cat.genre_list_page(srv.catalogue), "text/xml; charset=UTF-8")
            return
        genre = params["genre"].decode("utf-8", "surrogateescape")
        body = faults.page_body(opts.page_mode, genre, srv.catalogue.stations_of(genre),
                                srv.page_for(genre), opts.long_line_bytes)
        if opts.drop_page_after is None or opts.drop_page_after >= len(body):
            self._answer(200, body, "text/xml; charset=UTF-8")
            return
        # No length announced: the cut looks like the end of the page.
        self._head("HTTP/1.0 200 OK", [("Server", self.server_version),
                                       ("Content-Type", "text/xml; charset=UTF-8"),
                                       ("Connection", "close")])
        self.wfile.write(body[:opts.drop_page_after])
        self._cut_off()

    # --- tune-in playlist ---------------------------------------------------

    def _playlist(self, params):
        srv = self.server
        opts = srv.options
        if opts.playlist_redirect_loop:
            self._redirect(self.path)
            return
        sid = params.get("id", b"").decode("utf-8", "surrogateescape")
        station = srv.catalogue.station(sid)
        if station is None:
            self._answer(404, b"station not found\n", "text/plain")
            return
        if station.flag("plsredirect") is not None:
            self._redirect("%s?id=%s" % (PLAYLIST_PATH, quote(station.flag("plsredirect"), safe="")))
            return
        base = "http://%s" % (srv.refused_address if "refused" in station.flags else srv.address)
        url = base + station.stream_path()
        suffix = station.flag("urlsuffix", "")
        if "nofile" in station.flags:
            entries = []
        elif opts.big_playlist:
            entries = [("%s?n=%d%s" % (url, n, suffix), "%s (%d)" % (station.name, n))
                       for n in range(1, opts.big_playlist + 1)]
        else:
            entries = [(url + suffix, station.name), (url + "?mirror=2" + suffix, station.name)]
        self._answer(200, cat.playlist(entries), "audio/x-scpls")

    # --- streams ------------------------------------------------------------

    def _stream(self, quoted_id):
        srv = self.server
        opts = srv.options
        if opts.redirect_loop:
            self._redirect(self.path)
            return
        station = srv.catalogue.station(unquote_to_bytes(quoted_id).decode("utf-8", "surrogateescape"))
        if station is None or "dead" in station.flags:
            self._answer(404, b"stream not found\n", "text/plain")
            return
        if "reset" in station.flags:
            self._reset()
            return
        if station.flag("redirect") is not None:
            self._redirect(STREAM_PREFIX + quote(station.flag("redirect"), safe=""))
            return
        wants_meta = (self.headers.get("Icy-MetaData", "").strip() == "1"
                      and "nometa" not in station.flags and opts.metaint > 0)
        icy = "icy" in station.flags
        headers = [("Content-Type", "audio/mpeg"),
                   ("icy-name", station.name.encode("utf-8")),
                   ("icy-genre", station.flag("genre", station.genre).encode("utf-8")),
                   ("icy-br", station.kbps),
                   ("icy-url", "http://%s/" % srv.address),
                   ("icy-pub", "1")]
        if wants_meta:
            headers.append(("icy-metaint", opts.metaint))
        if not icy:
            headers += [("Cache-Control", "no-cache"), ("Connection", "close")]
        self._head("ICY 200 OK" if icy else "HTTP/1.0 200 OK", headers)
        body = IcyBody(LoopReader(srv.audio.loop_for(station.kbps)), station.kbps * 125,
                       opts.title_seconds, station.title, opts.metaint if wants_meta else None)
        self._pump(body, station.kbps * 125)

    def _pump(self, body, bytes_per_second):
        """Send the body paced at the bitrate (times --speed) until the
        client goes, the server stops or a fault ends it."""
        srv = self.server
        opts = srv.options
        rate = bytes_per_second * opts.speed
        paced = rate > 0
        chunk = max(256, min(4096, int(rate / 20))) if paced else 16384
        burst = bytes_per_second * opts.burst_seconds
        drop_at, stall_at = opts.drop_stream_after, opts.stall_stream_after
        sent = 0
        start = time.monotonic()
        while not srv.stopping.is_set():
            if paced:
                wait = start + max(0, body.audio_sent - burst) / rate - time.monotonic()
                if wait > 0 and srv.stopping.wait(wait):
                    break
            piece = body.next_piece(chunk)
            limit = min(x for x in (drop_at, stall_at, sent + len(piece)) if x is not None)
            if limit < sent + len(piece):
                self.wfile.write(piece[:limit - sent])
                if limit == drop_at:
                    self._cut_off()
                else:
                    self._hold_open()
                return
            self.wfile.write(piece)
            sent += len(piece)

    def _hold_open(self):
        """A stalled stream: send nothing more, but keep the connection until
        the client closes it or the server stops."""
        self.close_connection = True
        while not self.server.stopping.wait(0.1):
            readable, _, _ = select.select([self.connection], [], [], 0)
            if readable and not self.connection.recv(4096):
                return


def write_address_file(path, address):
    tmp = "%s.tmp.%d" % (path, os.getpid())
    with open(tmp, "w") as f:
        f.write(address + "\n")
    os.replace(tmp, path)


HELP_EPILOG = """\
paths served:
  /sbin/newxml.phtml?genre=G       station page of genre G (matched without
                                   regard to case; unknown genre: a page with
                                   no stations; no genre key: the genre list)
  /sbin/tunein-station.pls?id=N    .pls playlist (CRLF) with File1, File2 on
                                   the station's stream; unknown id: 404
  /stream/ID                       live stream: MP3 at the station's bitrate,
                                   metadata every --metaint bytes when the
                                   request carries "Icy-MetaData: 1"

request log (--request-log): one line per request, the raw path and query,
a TAB, and the percent-decoded genre (station page) or id (playlist), with
backslash, newline and TAB written as \\\\, \\n and \\t.

titles: "Artist N - Song N" (or the station's titles= list) change after every
--title-seconds of audio, i.e. every title-seconds/speed seconds of wall time.

audio: tone-<kbps>.mp3 files in --audio-dir (made by make_audio.sh) are
looped frame by frame; without one, silent MP3 frames of the bitrate.

faults apply to every request of their kind: --slow-ms (all requests);
  --page-status, --page-mode, --drop-page-after (station pages);
  --big-playlist, --playlist-redirect-loop (playlists); --drop-stream-after,
  --stall-stream-after, --redirect-loop (streams); --drop-reset (both drops).
Per station, the catalogue marks streams dead, reset, refused, redirecting,
ICY-status or metadata-less, and playlists without File lines or redirecting
(flags listed in catalogue.py; the genre "Oddities" holds one of each).
SIGTERM or SIGINT stops the server; it exits with 0.
"""


def parse_options(argv):
    p = argparse.ArgumentParser(
        prog="standin_directory.py",
        description="Stand-in internet radio station directory on 127.0.0.1: station pages, "
                    "tune-in playlists and ICY streams from a catalogue file.",
        epilog=HELP_EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--port", type=int, default=8370,
                   help="port to listen on (0: a free one; default 8370, the build's directory host)")
    p.add_argument("--address-file", metavar="FILE", help='write "127.0.0.1:PORT" and a newline here once '
                                          "listening (atomically)")
    p.add_argument("--request-log", metavar="FILE", help="append one line per request to this file")
    p.add_argument("--catalogue", metavar="FILE", default=DEFAULT_CATALOGUE,
                   help="catalogue file (default: catalogue.txt next to this script)")
    p.add_argument("--audio-dir", metavar="DIR", default=DEFAULT_AUDIO_DIR,
                   help="folder with tone-<kbps>.mp3 loops (default %(default)s; "
                        "'' for silent frames only)")
    p.add_argument("--metaint", type=int, metavar="BYTES", default=8192,
                   help="audio bytes between metadata blocks (default 8192; 0: never send metadata)")
    p.add_argument("--speed", type=float, metavar="F", default=1.0,
                   help="send streams this many times faster than their bitrate (0: unpaced)")
    p.add_argument("--burst-seconds", type=float, metavar="S", default=1.0,
                   help="seconds of audio sent at once when a stream starts (default 1)")
    p.add_argument("--title-seconds", type=float, metavar="S", default=20.0,
                   help="seconds of audio per title (default 20)")
    p.add_argument("--slow-ms", type=int, metavar="N", default=0, help="wait this long before answering any request")
    p.add_argument("--page-status", type=int, metavar="CODE", default=0,
                   help="answer station pages with this HTTP status (e.g. 500) instead of the page")
    p.add_argument("--page-mode", choices=faults.PAGE_MODES, default="normal",
                   help="normal; truncated (the page ends inside a station line); binary (bytes "
                        "that are no page); longlines (station lines of many kilobytes, and all "
                        "stations on one line)")
    p.add_argument("--long-line-bytes", type=int, metavar="BYTES", default=8192,
                   help="length of the padding in longlines mode (default 8192)")
    p.add_argument("--drop-page-after", type=int, metavar="BYTES",
                   help="close the connection after this many bytes of a station page (no "
                        "Content-Length is sent then)")
    p.add_argument("--drop-stream-after", type=int, metavar="BYTES",
                   help="close a stream after this many body bytes (audio and metadata)")
    p.add_argument("--stall-stream-after", type=int, metavar="BYTES",
                   help="stop sending a stream after this many body bytes, keeping the connection open")
    p.add_argument("--drop-reset", action="store_true",
                   help="the drops above reset the connection instead of closing it "
                        "(wget retries after a reset)")
    p.add_argument("--big-playlist", type=int, default=0, metavar="N",
                   help="tune-in playlists carry N File lines")
    p.add_argument("--redirect-loop", action="store_true", help="streams redirect to themselves")
    p.add_argument("--playlist-redirect-loop", action="store_true",
                   help="tune-in playlists redirect to themselves")
    p.add_argument("--verbose", action="store_true", help="log each request to standard error")
    opts = p.parse_args(argv)
    for name in ("drop_page_after", "drop_stream_after", "stall_stream_after"):
        if getattr(opts, name) is not None and getattr(opts, name) < 0:
            p.error("--%s must not be negative" % name.replace("_", "-"))
    if opts.metaint < 0 or opts.big_playlist < 0 or opts.title_seconds <= 0:
        p.error("--metaint and --big-playlist must not be negative, --title-seconds must be positive")
    return opts


def main(argv):
    opts = parse_options(argv)
    stop = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())
    try:
        catalogue = cat.Catalogue.load(opts.catalogue)
    except (OSError, UnicodeDecodeError, cat.CatalogueError) as e:
        sys.stderr.write("standin_directory: cannot read the catalogue: %s\n" % e)
        return 2
    try:
        server = Directory(opts, catalogue)
    except OSError as e:
        sys.stderr.write("standin_directory: cannot listen on 127.0.0.1:%d: %s\n" % (opts.port, e))
        return 2
    if opts.address_file:
        try:
            write_address_file(opts.address_file, server.address)
        except OSError as e:
            sys.stderr.write("standin_directory: cannot write the address file: %s\n" % e)
            server.server_close()
            return 2
    threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True).start()
    try:
        print(server.address, flush=True)
    except OSError:
        pass   # nobody reads standard output; the address file has it
    while not stop.wait(0.2):
        pass
    server.stopping.set()
    server.shutdown()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
