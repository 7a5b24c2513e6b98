"""A client of the Radio Browser API: its servers (given, or found the way
the API asks: DNS, reverse names, shuffled), requests bounded in time
across failover to the next server, and answers read as untrusted JSON."""

import functools
import http.client
import json
import random
import socket
import threading
import time
from urllib.parse import quote, urlencode, urlsplit

USER_AGENT = "Oruvel/0.2"
DISCOVERY_NAME = "all.api.radio-browser.info"
MAX_ANSWER_BYTES = 32 * 1024 * 1024


class UpstreamError(Exception):
    """No usable answer; the text says why, for the request log."""


class Refused(UpstreamError):
    """The API answered that it has nothing for this request (a client
    error such as 404): no other server would answer otherwise."""


def discover_servers(lookup=socket.getaddrinfo, reverse=socket.gethostbyaddr, shuffle=random.shuffle):
    """https addresses of the API's servers: the discovery name's addresses
    turned back into names, shuffled. `lookup` and `reverse` are the
    resolver's two questions, so a caller can answer them without DNS."""
    try:
        addresses = {info[4][0] for info in lookup(DISCOVERY_NAME, 443, proto=socket.IPPROTO_TCP)}
    except OSError as e:
        raise UpstreamError("no Radio Browser server found: %s: %s" % (DISCOVERY_NAME, e)) from None
    names = set()
    for address in addresses:
        try:
            names.add(reverse(address)[0].rstrip("."))
        except OSError:
            continue   # an address without a name cannot be reached over https by name
    servers = ["https://" + name for name in sorted(names)]
    if not servers:
        raise UpstreamError("no Radio Browser server found: no address of %s has a name" % DISCOVERY_NAME)
    shuffle(servers)
    return servers


class Deadline:
    def __init__(self, seconds):
        self.end = time.monotonic() + seconds

    def left(self):
        return self.end - time.monotonic()


class RadioBrowser:
    """`servers`: base addresses in the order to try, or None to discover
    them. Each request gets `budget` seconds all told; one server at most
    half of that, so a stalled server leaves time for the next."""

    def __init__(self, servers=None, budget=8.0, discover=discover_servers):
        self._servers = list(servers) if servers else None
        self._discover = discover if not servers else None
        self.budget = budget
        self._lock = threading.Lock()
        self.last_server = None

    def get_json(self, path, params=None, deadline=None, expect=list):
        """The parsed answer to GET path?params, a list or an object as
        `expect` says, from the first server that gives one; UpstreamError
        with every server's failure when none does."""
        deadline = deadline or Deadline(self.budget)
        target = path + ("?" + urlencode(params) if params else "")
        failures = []
        for server in self._server_list(deadline):
            left = deadline.left()
            if left <= 0.05:
                failures.append("%s: no time left" % server)
                break
            seconds = min(left, self.budget / 2)
            try:
                answer = _bounded(functools.partial(_fetch_json, server, target, seconds), seconds)
                if not isinstance(answer, expect):
                    raise UpstreamError("the answer is no " + ("list" if expect is list else "object"))
            except Refused as e:
                raise Refused("%s: %s" % (server, e)) from None
            except UpstreamError as e:
                failures.append("%s: %s" % (server, e))
                self._demote(server)
                continue
            self.last_server = server
            return answer
        if self._discover:
            with self._lock:
                self._servers = None   # all failed: ask DNS again next time
        raise UpstreamError("; ".join(failures) or "no server to ask")

    def _server_list(self, deadline):
        with self._lock:
            if self._servers:
                return list(self._servers)
        found = _bounded(self._discover, max(0.1, deadline.left() / 2))
        with self._lock:
            self._servers = found
            return list(found)

    def _demote(self, server):
        """A failed server goes to the end of the list."""
        with self._lock:
            if self._servers and server in self._servers:
                self._servers.remove(server)
                self._servers.append(server)

    # --- the endpoints Oruvel uses ------------------------------------------

    def search(self, params, deadline=None):
        return _list_of_objects(self.get_json("/json/stations/search", params, deadline))

    def click(self, uuid, deadline=None):
        """Counts a play and answers the station's current stream address."""
        return self.get_json("/json/url/" + quote(uuid, safe=""), None, deadline, expect=dict)

    def top_tags(self, count, deadline=None):
        params = {"order": "stationcount", "reverse": "true", "hidebroken": "true", "limit": count}
        return _list_of_objects(self.get_json("/json/tags", params, deadline))


def _list_of_objects(answer):
    return [item for item in answer if isinstance(item, dict)]


def _bounded(work, seconds):
    """work() in a thread of its own, given up after `seconds`: name
    lookups and TLS handshakes know no time-out of their own."""
    result = {}

    def run():
        try:
            result["value"] = work()
        except UpstreamError as e:
            result["error"] = e
        except Exception as e:   # whatever the network or the answer throws
            result["error"] = UpstreamError("%s: %s" % (type(e).__name__, e))

    thread = threading.Thread(target=run, daemon=True)
    thread.start()
    thread.join(seconds)
    if thread.is_alive():
        raise UpstreamError("no answer within %.1f s" % seconds)
    if "error" in result:
        raise result["error"]
    return result["value"]


def _fetch_json(server, target, seconds):
    end = time.monotonic() + seconds
    parts = urlsplit(server)
    connection_class = http.client.HTTPSConnection if parts.scheme == "https" else http.client.HTTPConnection
    connection = connection_class(parts.hostname, parts.port, timeout=seconds)
    response = None
    try:
        connection.request("GET", parts.path.rstrip("/") + target,
                           headers={"User-Agent": USER_AGENT, "Accept": "application/json"})
        sock = connection.sock   # the response keeps reading from it after the connection lets go
        response = connection.getresponse()
        if response.status != 200:
            raise (Refused if 400 <= response.status < 500 else UpstreamError)("HTTP status %d" % response.status)
        body = bytearray()
        while True:
            left = end - time.monotonic()
            if left <= 0:
                raise TimeoutError()
            sock.settimeout(left)
            piece = response.read1(65536)
            if not piece:
                break
            body += piece
            if len(body) > MAX_ANSWER_BYTES:
                raise UpstreamError("the answer is too long")
    except TimeoutError:
        raise UpstreamError("no answer within %.1f s" % seconds) from None
    except (OSError, http.client.HTTPException) as e:
        raise UpstreamError("%s: %s" % (type(e).__name__, e) if str(e) else type(e).__name__) from None
    finally:
        if response is not None:
            response.close()
        connection.close()
    try:
        return json.loads(body.decode("utf-8"))
    except (UnicodeDecodeError, ValueError, RecursionError):
        raise UpstreamError("the answer is not JSON") from None
