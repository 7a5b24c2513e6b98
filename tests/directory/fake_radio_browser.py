"""A Radio Browser API on loopback: search (most played first), click, tags; hostile with `mode`
"stall" (until stopped) or "500", or a raw `answer` to every request. It records requests and clicks."""

import json
import threading
from collections import Counter
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, unquote, urlsplit


def station(uuid, name, tags, clicks=0, codec="MP3", bitrate=128, url=None, **fields):   # a field given as ... is left out
    url = "http://streams.example/%s" % uuid if url is None else url
    record = dict(changeuuid="c-" + uuid, stationuuid=uuid, name=name, url=url, url_resolved=url, tags=tags,
                  codec=codec, bitrate=bitrate, hls=0, lastcheckok=1, clickcount=clicks, votes=1, country="Nowhere")
    record.update(fields)
    return {k: v for k, v in record.items() if v is not ...}


def _tags(s):   # junk records have none
    tags = s.get("tags") if isinstance(s, dict) else None
    return [t.strip() for t in tags.split(",") if t.strip()] if isinstance(tags, str) else []


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        fake = self.server.fake
        fake.requests.append((self.path, self.headers.get("User-Agent")))
        if fake.mode == "stall":
            return fake._release.wait()
        body = fake._route(urlsplit(self.path))
        code = 500 if fake.mode == "500" else 200 if fake.answer is not None or body is not None else 404
        body = fake.answer if fake.answer is not None else json.dumps(body).encode()
        self.send_response(code)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class FakeRadioBrowser:
    def __init__(self, stations=(), mode="normal", answer=None):
        self.stations, self.mode, self.answer = list(stations), mode, answer
        self.requests, self.clicks = [], Counter()   # requests: (path with query, User-Agent)
        self._release = threading.Event()
        self._server = ThreadingHTTPServer(("127.0.0.1", 0), _Handler)
        self._server.daemon_threads, self._server.fake = True, self
        self._server.handle_error = lambda *_: None   # a client that stops reading is no fault here
        self.url = "http://127.0.0.1:%d" % self._server.server_address[1]
        threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True).start()

    def stop(self):
        self._release.set()
        self._server.shutdown()
        self._server.server_close()

    def _route(self, url):
        q = {k: v[0] for k, v in parse_qs(url.query).items()}
        if url.path.startswith("/json/url/") and self.mode == "normal" and self.answer is None:
            uuid = unquote(url.path[len("/json/url/"):])
            found = [s for s in self.stations if isinstance(s, dict) and s.get("stationuuid") == uuid]
            if found:
                self.clicks[uuid] += 1
                return {"ok": True, "stationuuid": uuid, "url": found[0].get("click_url", found[0].get("url_resolved"))}
        if url.path == "/json/tags":
            counts = Counter(t for s in self.stations for t in _tags(s))
            return [{"name": n, "stationcount": c} for n, c in counts.most_common(int(q.get("limit", 100)))]
        if url.path == "/json/stations/search":   # the directory checks tags, codecs and health itself
            plays = lambda s: s.get("clickcount") if isinstance(s, dict) and isinstance(s.get("clickcount"), int) else 0
            named = lambda s: "name" not in q or q["name"].lower() in str(s.get("name") if isinstance(s, dict) else "").lower()
            found, offset = sorted(filter(named, self.stations), key=plays, reverse=True), int(q.get("offset", 0))
            return found[offset:offset + int(q.get("limit", 100000))]
        return None
