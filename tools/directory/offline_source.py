"""The offline source: station pages, tune-in playlists and live ICY streams
of MP3 audio from the catalogue file, with faults to order."""

import os
import select
import sqlite3
import socket
import threading
import time
from urllib.parse import quote, unquote_to_bytes

import catalogue as cat
import faults
import page_writer as pw
from http_front import PAGE_PATH, PLAYLIST_PATH, RELAY_PREFIX, DirectoryServer, Handler
import audio_formats
import hls_standin
import station_state
import plan_stream
import relay
from icy_stream import IcyBody
from mp3_frames import AudioLibrary, LoopReader

STREAM_PREFIX = "/stream/"


class OfflineDirectory(DirectoryServer):
    def __init__(self, options, catalogue):
        super().__init__(options, OfflineHandler)
        self.catalogue = catalogue
        self.audio = AudioLibrary(options.audio_dir)
        self.hls = hls_standin.HlsStandIn(options.audio_dir, options.speed, options.title_seconds)
        self._pages = {}
        self._pages_lock = threading.Lock()
        self._state = None
        # Bound but never listening: connections to it are refused.
        self._refusing = socket.socket()
        self._refusing.bind(("127.0.0.1", 0))
        self.refused_address = "127.0.0.1:%d" % self._refusing.getsockname()[1]

    def page_for(self, genre):
        key = cat.genre_key(genre)
        with self._pages_lock:
            page = self._pages.get(key)
            if page is None:
                page = cat.station_page(self.catalogue.page_stations(genre), self.offer)
                self._pages[key] = page
            return page

    def offer(self, station):
        """(type, bitrate) the page lists the station with, None to leave it
        out: its own when the client decodes it, else the relay's MP3."""
        if not self.relayed(station):
            codec, hls = audio_formats.listing_of(station)
            return (pw.MIME_TYPES[codec], None) if not hls and codec in self.options.codecs else None
        return "audio/mpeg", self.options.relay.bitrate

    def relayed(self, station):
        codec, hls = audio_formats.listing_of(station)
        return bool(self.options.relay) and (hls or codec not in self.options.codecs
                                             and codec in pw.RELAYED_CODECS)

    def source_address(self, station):
        """Where the relay fetches the station: from this server, over loopback."""
        host = self.server_address[0]
        base = "http://%s:%d" % ("127.0.0.1" if host in ("0.0.0.0", "") else host, self.server_address[1])
        if station.flag("format") == "hls":
            return base + hls_standin.entry_path(station)
        return base + station.stream_path()

    def imported(self, sid):
        """(name, address) of a favourite imported into the state database,
        or None; the database is looked at only when it exists."""
        path = os.path.join(self.options.state, station_state.DATABASE_NAME)
        if not sid or not os.path.exists(path):
            return None
        with self._pages_lock:
            if self._state is None:
                try:
                    self._state = station_state.StationState(os.path.dirname(path))
                except station_state.StateError:
                    return None
        try:
            return self._state.imported(sid)
        except sqlite3.Error:
            return None

    def server_close(self):
        super().server_close()
        refusing = getattr(self, "_refusing", None)   # absent when the bind failed
        if refusing:
            refusing.close()


class OfflineHandler(Handler):
    server_version = "StandInDirectory/1.0"

    def _route(self, path, params):
        srv = self.server
        opts = srv.options
        if opts.relay and path.startswith(RELAY_PREFIX):
            self._relay(unquote_to_bytes(path[len(RELAY_PREFIX):]).decode("utf-8", "surrogateescape"))
            return
        self._log(path, params)
        if opts.slow_ms > 0 and srv.stopping.wait(opts.slow_ms / 1000.0):
            return
        if path == PAGE_PATH:
            self._station_page(params)
        elif path == PLAYLIST_PATH:
            self._playlist(params)
        elif path.startswith(STREAM_PREFIX):
            self._stream(path[len(STREAM_PREFIX):])
        elif path.startswith(hls_standin.HLS_PREFIX):
            self._hls(*path[len(hls_standin.HLS_PREFIX):].partition("/")[::2])
        elif opts.plans and path.startswith(plan_stream.PLAN_PREFIX):
            plan_stream.play(self, path[len(plan_stream.PLAN_PREFIX):].replace("/", ""))
        else:
            self._answer(404, b"not found\n", "text/plain")

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
        body = faults.page_body(opts.page_mode, genre, lambda: srv.catalogue.page_stations(genre),
                                srv.page_for(genre), opts.long_line_bytes)
        if opts.trickle is not None:
            self._trickle(body, "text/xml; charset=UTF-8")
            return
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
            imported = srv.imported(sid)
            if imported:
                self._answer(200, pw.tune_in_playlist(imported[1], imported[0]), "audio/x-scpls")
            else:
                self._answer(404, b"station not found\n", "text/plain")
            return
        if station.flag("plsredirect") is not None:
            self._redirect("%s?id=%s" % (PLAYLIST_PATH, quote(station.flag("plsredirect"), safe="")))
            return
        base = "http://%s" % (srv.refused_address if "refused" in station.flags else self._own_address())
        url = base + station.stream_path()
        suffix = station.flag("urlsuffix", "")
        if "nofile" in station.flags:
            entries = []
        elif srv.relayed(station):
            entries = [(base + RELAY_PREFIX + quote(station.id, safe=""), station.name)]
        elif opts.big_playlist:
            entries = [("%s?n=%d%s" % (url, n, suffix), "%s (%d)" % (station.name, n))
                       for n in range(1, opts.big_playlist + 1)]
        else:
            entries = [(url + suffix, station.name), (url + "?mirror=2" + suffix, station.name)]
        if opts.trickle is not None:
            self._trickle(pw.playlist(entries), "audio/x-scpls")
            return
        self._answer(200, pw.playlist(entries), "audio/x-scpls")

    def _trickle(self, body, content_type):
        """--trickle: the body again and again without end, no length announced,
        a byte every N ms (0: as fast as it goes), until the client goes."""
        self._head("HTTP/1.0 200 OK", [("Server", self.server_version),
                                       ("Content-Type", content_type), ("Connection", "close")])
        ms = self.server.options.trickle
        while not self.server.stopping.is_set():
            if ms == 0:
                self.wfile.write(body)
                continue
            for i in range(len(body)):
                self.wfile.write(body[i:i + 1])
                if self.server.stopping.wait(ms / 1000.0):
                    return

    # --- streams ------------------------------------------------------------

    def _relay(self, sid):
        station = self.server.catalogue.station(sid)
        log = lambda reason: self.server.request_log.write(self.path, sid.encode("utf-8", "surrogateescape"),
                                                           reason)
        if station is None:
            self._answer(404, b"station not found\n", "text/plain")
            log("unknown id")
            return
        relay.serve(self, self.server.options.relay, self.server.source_address(station), station.name, log)

    def _hls(self, quoted_id, name):
        station = self.server.catalogue.station(unquote_to_bytes(quoted_id).decode("utf-8", "surrogateescape"))
        if station is None or station.flag("format") != "hls":
            self._answer(404, b"stream not found\n", "text/plain")
            return
        missing = self.server.hls.missing(station)
        if missing:
            self._answer(503, missing.encode() + b"\n", "text/plain")
            return
        self._answer(*self.server.hls.answer(station, name))

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
        source = audio_formats.source_for(station, opts.audio_dir, station.kbps * 125 * opts.title_seconds)
        if source.missing:
            self._answer(503, source.missing.encode() + b"\n", "text/plain")
            return
        wants_meta = (self.headers.get("Icy-MetaData", "").strip() == "1"
                      and "nometa" not in station.flags and opts.metaint > 0)
        icy = "icy" in station.flags
        headers = [("Content-Type", source.content_type),
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
        body = IcyBody(source.reader or LoopReader(srv.audio.loop_for(station.kbps)), station.kbps * 125,
                       opts.title_seconds, source.title_at, opts.metaint if wants_meta else None)
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
