"""The Radio Browser source: a genre's page from the catalogue's stations
with that tag, a station's tune-in playlist from the API's click
endpoint, and the most used tags as a genre file. Pages are kept in the
state database and served from there while fresh, and stale ones while the
API cannot be reached; when nothing can be had, an empty page or playlist
at once, with the reason in the request log."""

import contextlib
import threading
import time

import page_writer as pw
import relay
import station_folding
from http_front import PAGE_PATH, PLAYLIST_PATH, RELAY_PREFIX, DirectoryServer, Handler
from radio_browser import Deadline, Refused, UpstreamError

SEARCH_ROUNDS = 3            # pages of search results asked for at most
MAX_UUID = 64


class RadioBrowserSource:
    """`api`: a RadioBrowser client; `state`: a StationState; `codecs`: the
    catalogue's codec names offered, upper case; `relay_bitrate`: stations
    in other codecs and HLS ones are listed as the relay's MP3 (None: left out)."""

    def __init__(self, api, state, codecs, limit=500, http_only=False, cache_seconds=600,
                 retry_after=15, relay_bitrate=None):
        self.api = api
        self.state = state
        self.codecs = list(codecs)
        self.limit = limit
        self.http_only = http_only
        self.cache_seconds = cache_seconds
        self.retry_after = retry_after
        self.relay_bitrate = relay_bitrate
        self._failed_at = None       # when the API last failed us, and why
        self._failure = ""
        self._genre_locks = {}       # key -> [lock, requests using it]
        self._locks_lock = threading.Lock()

    # --- the API's state ---------------------------------------------------

    def _ask(self, work):
        """(work(deadline), None), or (None, why not): after a failure the API
        is left alone for retry_after seconds; a refusal is no failure."""
        failed_at = self._failed_at
        if failed_at is not None and time.monotonic() - failed_at < self.retry_after:
            return None, "the API failed %.0f s ago, not asked: %s" % (
                time.monotonic() - failed_at, self._failure)
        try:
            result = work(Deadline(self.api.budget))
        except Refused as e:
            return None, str(e)
        except UpstreamError as e:
            self._failed_at, self._failure = time.monotonic(), str(e)
            return None, str(e)
        self._failed_at = None
        return result, None

    # --- genre pages -------------------------------------------------------

    @contextlib.contextmanager
    def _genre_lock(self, key):
        """One question at a time per genre; the lock goes when no request
        uses it, so hostile genres leave nothing behind."""
        with self._locks_lock:
            entry = self._genre_locks.setdefault(key, [threading.Lock(), 0])
            entry[1] += 1
        try:
            with entry[0]:
                yield
        finally:
            with self._locks_lock:
                entry[1] -= 1
                if not entry[1]:
                    del self._genre_locks[key]

    def genre_locks(self):
        with self._locks_lock:
            return len(self._genre_locks)

    def genre_page(self, genre):
        """(page bytes, reason)."""
        tag = genre.strip()
        if not tag:
            return pw.station_page([]), "empty genre"
        if len(tag.encode("utf-8", "surrogateescape")) > pw.GENRE_BYTES:
            return pw.station_page([]), "empty: the genre is longer than %d bytes, not asked" % pw.GENRE_BYTES
        key = "%s|%s|%d|%s%s" % (tag.lower(), ",".join(self.codecs), self.limit,
                                 "http" if self.http_only else "any",
                                 "|relay%d" % self.relay_bitrate if self.relay_bitrate else "")
        # Whoever waits for the same genre gets the answer kept.
        with self._genre_lock(key):
            kept = self.state.page(key)
            if kept and time.time() - kept[2] < self.cache_seconds:
                return kept[0], "cached: %d stations" % kept[1]
            found, why_not = self._ask(lambda deadline: self._stations_for(tag, deadline))
            if found is None:
                if kept:
                    return kept[0], "stale: %d stations from %.0f s ago; %s" % (
                        kept[1], time.time() - kept[2], why_not)
                return pw.station_page([]), "empty: " + why_not
            stations, how = found
            body, note = self._page(stations)
            if stations:   # an empty answer is asked again next time, and not kept
                note = self.state.store_page(key, body, len(stations)) or note
            return body, _noted("fresh: %d stations%s from %s" % (len(stations), how, self.api.last_server), note)

    def _stations_for(self, text, deadline):
        """(stations, how found): those tagged with the text, else, for a
        station's name typed as the genre, those whose names hold it."""
        stations = self._stations({"tag": text.lower(), "tagExact": "true"},
                                  lambda item: self._tagged(item, text), deadline)
        if stations:
            return stations, ""
        return self._stations({"name": text}, lambda item: self._named(item, text), deadline), " by name"

    def _stations(self, params, wanted, deadline):
        """The folded stations of the catalogue's answers to a search that
        the page may list, most played first; more pages of results are
        asked for while the local checks leave fewer than the limit."""
        params = dict(params, hidebroken="true", order="clickcount", reverse="true")
        if len(self.codecs) == 1 and not self.relay_bitrate:
            params["codec"] = self.codecs[0]
            batch = self.limit
        else:
            batch = self.limit + self.limit // 4 + 10
        if self.http_only:
            params["is_https"] = "false"
        folder, seen, offset = station_folding.Folder(self.codecs), set(), 0
        for round_ in range(SEARCH_ROUNDS):
            try:
                found, read = self.api.search(dict(params, limit=batch, offset=offset), deadline,
                                              keep=lambda item: self._usable(item) if wanted(item) else None)
            except UpstreamError:
                if round_ == 0:
                    raise
                break   # what the first pages gave will do
            for variant in found:
                if variant["uuid"] not in seen:
                    seen.add(variant["uuid"])
                    folder.add(variant)
            if len(folder) >= self.limit or read < batch:
                break
            offset += read
        return folder.stations()[:self.limit]

    @staticmethod
    def _tagged(item, tag):
        tags = item.get("tags")
        tags = tags if isinstance(tags, str) else ""
        return tag.lower() in (t.strip().lower() for t in tags.split(","))

    @staticmethod
    def _named(item, text):
        name = item.get("name")
        return isinstance(name, str) and text.casefold() in name.casefold()

    def _usable(self, item):
        """The fields the page needs from one catalogue record, or None when
        the station is not to be listed."""
        uuid = item.get("stationuuid")
        if not isinstance(uuid, str) or not 0 < len(uuid) <= MAX_UUID or not uuid.isprintable():
            return None
        codec = item.get("codec")
        codec = codec.strip().upper() if isinstance(codec, str) else ""
        hls = bool(pw.number(item.get("hls")))
        relayed = None if codec in self.codecs and not hls else ("hls" if hls else "codec")
        if relayed and not (self.relay_bitrate and (hls or codec in pw.RELAYED_CODECS)) or (
                "lastcheckok" in item and item["lastcheckok"] is not None
                and not pw.number(item["lastcheckok"])):
            return None
        tags = item.get("tags")
        address = (lambda v: pw.relay_source_address(v)) if relayed else (
            lambda v: pw.stream_address(v, self.http_only))
        url = address(item.get("url_resolved")) or address(item.get("url"))
        name = pw.cut_utf8(pw.clean_text(item.get("name")), pw.PIECE_BYTES)
        if not url or not name:
            return None
        country = item.get("countrycode")
        country = country.strip().upper() if isinstance(country, str) and country.strip().isalpha() else ""
        return {"uuid": uuid, "name": name, "url": url, "codec": codec, "relayed": relayed,
                "fold_name": station_folding.name_key(item["name"])[:pw.PIECE_BYTES],
                "tags": tags[:pw.PIECE_BYTES] if isinstance(tags, str) else "", "country": country[:3],
                "bitrate": self.relay_bitrate if relayed else pw.number(item.get("bitrate")),
                "plays": pw.number(item.get("clickcount"))}

    def _page(self, stations):
        """(page, why its ids were not stored or None)."""
        ids, note = self.state.ids_for_stations([[(v["uuid"], v["name"], v["url"]) for v in s.variants]
                                                 for s in stations])
        self.state.mark_relayed([(v["uuid"], v["relayed"]) for s in stations for v in s.variants])
        return pw.station_page(
            pw.station_line(name, "audio/mpeg" if s.best["relayed"] else pw.MIME_TYPES[s.best["codec"]], sid,
                            s.best["bitrate"], s.best["tags"], s.plays)
            for s, sid, name in zip(stations, ids, station_folding.page_names(stations))), note

    # --- tune-in -----------------------------------------------------------

    def playlist(self, sid, relay_base=None):
        """(playlist bytes, reason); relay_base: the relay's address on this
        program (http://HOST/relay/), for the variants listed as relayed."""
        variants = self.state.variants(sid) or [self.state.station(sid)]
        if variants[0] is None:
            imported = self.state.imported(sid)
            if imported:
                return pw.tune_in_playlist(imported[1], imported[0]), "imported address"
            return pw.tune_in_playlist(None, ""), "unknown id"
        answer, why = self._ask(lambda deadline: self._click(sid, variants, relay_base, deadline))
        if answer:
            (uuid, name, _), url, listed = answer
            _, note = self.state.ids_for([(uuid, name, url)])   # its address now is its last known one
            return pw.tune_in_playlist(listed(url), name), _noted(
                "clicked" + ("" if uuid == variants[0][0] else " the variant " + uuid), note)
        uuid, name, last_url = variants[0]
        address, listed = self._through_relay(sid, uuid, relay_base)
        last_url = address(last_url)
        if last_url:
            return pw.tune_in_playlist(listed(last_url), name), "last known address; " + why
        return pw.tune_in_playlist(None, ""), "no address; " + why

    def _through_relay(self, sid, uuid, relay_base):
        """(the address check for the record, what the listener is given for
        an address): the address itself, or, for a record listed as relayed,
        the relay on this program, which is told what to fetch."""
        kind = self.relay_bitrate and relay_base and self.state.relay_kind(uuid)
        if not kind:
            return (lambda v: pw.stream_address(v, self.http_only)), (lambda url: url)

        def listed(url):
            self.state.remember_relay_source(sid, url, kind == "hls")
            return relay_base + sid
        return pw.relay_source_address, listed

    def _click(self, sid, variants, relay_base, deadline):
        """(variant, its address now, what the listener is given for it) of
        the first variant whose click gives a usable address; the API counts
        the play. Refused when every
        variant was refused or gave none, an UpstreamError when the API
        failed as well."""
        failures, failed = [], False
        for variant in variants:
            try:
                answer = self.api.click(variant[0], deadline)
            except Refused as e:
                failures.append(str(e))
                continue
            except UpstreamError as e:
                failures.append(str(e))
                failed = True
                if deadline.left() <= 0.05:
                    break
                continue
            address, listed = self._through_relay(sid, variant[0], relay_base)
            url = address(answer.get("url"))
            if url:
                return variant, url, listed
            failures.append("the click answer has no usable address")
        raise (UpstreamError if failed else Refused)("; ".join(failures))

    # --- genres ------------------------------------------------------------

    def genre_names(self, count):
        """The `count` most used tags that can be genre names; UpstreamError
        when the API gives none."""
        names, seen = [], set()
        for tag in self.api.top_tags(count * 2 + 10):
            name = pw.genre_name(tag.get("name"))
            if name and name.lower() not in seen:
                seen.add(name.lower())
                names.append(name)
        return names[:count]


def _noted(reason, note):
    return reason + "; " + note if note else reason


class OnlineDirectory(DirectoryServer):
    def __init__(self, options, source):
        super().__init__(options, OnlineHandler)
        self.source = source

    def server_close(self):
        super().server_close()
        if hasattr(self, "source"):   # absent when the bind failed
            self.source.state.close()   # waits for a write under way, stores what memory still holds


class OnlineHandler(Handler):
    def _relay(self, sid):
        state = self.server.source.state
        known, source = state.station(sid), state.relay_source(sid)
        log = lambda reason: self.server.request_log.write(self.path, sid.encode(), reason)
        if not known or not source:
            self._answer(404, b"station not found\n", "text/plain")
            log("unknown id, or never tuned in")
            return
        relay.serve(self, self.server.options.relay, source[0], known[1], log, hls=source[1])

    def _route(self, path, params):
        source = self.server.source
        text = lambda key: params.get(key, b"").decode("utf-8", "replace")
        if path == PAGE_PATH:
            body, reason = source.genre_page(text("genre"))
            content_type = "text/xml; charset=UTF-8"
        elif path == PLAYLIST_PATH:
            body, reason = source.playlist(text("id"), "http://%s%s" % (self._own_address(), RELAY_PREFIX))
            content_type = "audio/x-scpls"
        elif path.startswith(RELAY_PREFIX) and self.server.options.relay:
            self._relay(path[len(RELAY_PREFIX):])
            return
        else:
            self._log(path, params)
            self._answer(404, b"not found\n", "text/plain")
            return
        self._log(path, params, reason)
        if self.server.options.verbose:
            self.log_message("%s: %s", self.path, reason)
        self._answer(200, body, content_type)
