"""A Radio Browser API server of our own on loopback, serving the shapes the
directory reads: station search, click, tags. Switches make it hostile:
`mode` "stall" (holds every request until stopped or released), "500",
a raw `answer` (bytes) for every request; it records every request and
counts clicks, and stop() leaves its port refusing."""

import json
import threading
from collections import Counter
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, unquote, urlsplit


def station(uuid, name, tags, clicks=0, codec="MP3", bitrate=128, url=None, **fields):
    """A catalogue record with the fields the directory uses; any of them
    can be replaced or, with the value `...`, left out."""
    url = "http://streams.example/%s" % uuid if url is None else url
    record = {"changeuuid": "c-" + uuid, "stationuuid": uuid, "name": name, "url": url,
              "url_resolved": url, "tags": tags,
              "codec": codec, "bitrate": bitrate, "hls": 0, "lastcheckok": 1, "clickcount": clicks,
              "votes": 1, "country": "Nowhere", "countrycode": "NW"}
    record.update(fields)
    return {k: v for k, v in record.items() if v is not ...}


def _text(value):
    return value if isinstance(value, str) else ""


class FakeRadioBrowser:
    def __init__(self, stations=()):
        self.stations = list(stations)
        self.mode = "normal"
        self.answer = None
        self.requests = []                 # (path with query, User-Agent)
        self.clicks = Counter()
        self._release = threading.Event()
        fake = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"

            def log_message(self, *args):
                pass

            def do_GET(self):
                fake.requests.append((self.path, self.headers.get("User-Agent")))
                if fake.mode == "stall":
                    fake._release.wait()
                    return
                if fake.mode == "500":
                    return self._send(500, b"<html>server error</html>")
                if fake.answer is not None:
                    return self._send(200, fake.answer)
                body = fake._route(urlsplit(self.path))
                self._send(200 if body is not None else 404, json.dumps(body).encode())

            def _send(self, code, body):
                self.send_response(code)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        self._server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self._server.daemon_threads = True
        self.url = "http://127.0.0.1:%d" % self._server.server_address[1]
        threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.05},
                         daemon=True).start()

    def stop(self):
        self._release.set()
        self._server.shutdown()
        self._server.server_close()

    def paths(self, prefix):
        return [p for p, _ in self.requests if p.startswith(prefix)]

    def _route(self, url):
        q = {k: v[0] for k, v in parse_qs(url.query).items()}
        if url.path == "/json/stations/search":
            return self._search(q)
        if url.path.startswith("/json/url/"):
            uuid = unquote(url.path[len("/json/url/"):])
            found = [s for s in self.stations if isinstance(s, dict) and s.get("stationuuid") == uuid]
            if not found:
                return None   # 404
            self.clicks[uuid] += 1
            s = found[0]
            return {"ok": True, "message": "retrieved station url", "stationuuid": uuid,
                    "name": s.get("name"), "url": s.get("click_url", s.get("url_resolved"))}
        if url.path == "/json/tags":
            counts = Counter(t.strip() for s in self.stations if isinstance(s, dict)
                             for t in _text(s.get("tags")).split(",") if t.strip())
            return [{"name": n, "stationcount": c} for n, c in counts.most_common(int(q.get("limit", 100)))]
        return None

    def _search(self, q):
        tag = q.get("tag", "").lower()
        found = [s for s in self.stations if not isinstance(s, dict)   # junk goes to every answer
                 or (not tag or tag in [t.strip().lower() for t in _text(s.get("tags")).split(",")])
                 and (not q.get("codec") or _text(s.get("codec")).lower() == q["codec"].lower())
                 and (q.get("hidebroken") != "true" or s.get("lastcheckok") != 0)
                 and (q.get("is_https") != "false" or not _text(s.get("url_resolved")).startswith("https"))]
        if q.get("order") == "clickcount":
            found.sort(key=lambda s: s.get("clickcount") if isinstance(s, dict) and isinstance(s.get("clickcount"), int) else 0,
                       reverse=q.get("reverse") == "true")
        offset = int(q.get("offset", 0))
        return found[offset:offset + int(q.get("limit", 100000))]
