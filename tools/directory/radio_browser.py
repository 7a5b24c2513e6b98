"""A client of the Radio Browser API: its servers (given, or found the way
the API asks: DNS, reverse names, shuffled), requests bounded in time
across failover to the next server, and answers read as untrusted JSON,
lists item by item, so that no answer can take more memory or time than
the caller allows."""

import http.client
import ipaddress
import json
import random
import socket
import ssl
import threading
import time
from urllib.parse import quote, urlencode, urlsplit

USER_AGENT = "Oruvel/0.2"
DISCOVERY_NAME = "all.api.radio-browser.info"
MAX_ITEM_BYTES = 128 * 1024      # one record of a list (a station is about 2 KB)
MAX_OBJECT_BYTES = 256 * 1024    # an answer that is one object (a click)
READ_BYTES = 65536


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

    def _each_server(self, path, params, deadline, read):
        """read(body) on the answer to GET path?params from the first server
        that gives one; UpstreamError with every server's failure when none
        does."""
        deadline = deadline or Deadline(self.budget)
        target = path + ("?" + urlencode(params) if params else "")
        failures = []
        for server in self._server_list(deadline):
            left = deadline.left()
            if left <= 0.05:
                failures.append("%s: no time left" % server)
                break
            try:
                answer = _fetch(server, target, min(left, self.budget / 2), read)
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

    def get_object(self, path, params=None, deadline=None):
        """The answer, a JSON object of at most MAX_OBJECT_BYTES."""
        return self._each_server(path, params, deadline, _read_object)

    def get_items(self, path, params=None, deadline=None, keep=lambda item: item, count=None):
        """(kept, read): keep(item) of each object of the JSON list answered,
        those that are not None, read item by item and no further than
        `count` items; `read` is how many were read."""
        return self._each_server(path, params, deadline, lambda body: _read_items(body, keep, count))

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

    def search(self, params, deadline=None, keep=lambda item: item):
        """(kept, read) of the stations found, at most params["limit"] read."""
        return self.get_items("/json/stations/search", params, deadline, keep, params.get("limit"))

    def click(self, uuid, deadline=None):
        """Counts a play and answers the station's current stream address."""
        return self.get_object("/json/url/" + quote(uuid, safe=""), None, deadline)

    def top_tags(self, count, deadline=None):
        params = {"order": "stationcount", "reverse": "true", "hidebroken": "true", "limit": count}
        return self.get_items("/json/tags", params, deadline, count=count)[0]


def _bounded(work, seconds):
    """work() in a thread of its own, given up after `seconds`: name
    lookups know no time-out of their own (the thread ends with the
    resolver's own time-out; it holds no socket of ours)."""
    result = {}

    def run():
        try:
            result["value"] = work()
        except UpstreamError as e:
            result["error"] = e
        except Exception as e:   # whatever the resolver throws
            result["error"] = UpstreamError("%s: %s" % (type(e).__name__, e))

    thread = threading.Thread(target=run, daemon=True)
    thread.start()
    thread.join(seconds)
    if thread.is_alive():
        raise UpstreamError("no answer within %.1f s" % seconds)
    if "error" in result:
        raise result["error"]
    return result["value"]


def _address(host, port, seconds):
    """The first address of host (a name is looked up within `seconds`)."""
    try:
        ipaddress.ip_address(host)
        return host, port
    except ValueError:
        pass
    infos = _bounded(lambda: socket.getaddrinfo(host, port, type=socket.SOCK_STREAM), seconds)
    if not infos:
        raise UpstreamError("%s has no address" % host)
    return infos[0][4][:2]


class _Body:
    """An answer's body, read within the request's deadline."""

    def __init__(self, response, sock, end):
        self._response, self._sock, self._end = response, sock, end

    def read(self):
        left = self._end - time.monotonic()
        if left <= 0:
            raise TimeoutError()
        self._sock.settimeout(left)
        return self._response.read1(READ_BYTES)


def _fetch(server, target, seconds, read):
    """read(body) on the answer of one server, all within `seconds`: at the
    deadline a watchdog shuts the socket, whatever it is waiting for
    (the connection, a handshake, trickled headers, a slow body), and the
    socket is closed before this returns."""
    end = time.monotonic() + seconds
    parts = urlsplit(server)
    https = parts.scheme == "https"
    host, port = parts.hostname, parts.port or (443 if https else 80)
    sock = response = watchdog = None
    connection = http.client.HTTPConnection(host, port, timeout=seconds)
    try:
        address = _address(host, port, seconds)
        sock = socket.socket(socket.AF_INET6 if ":" in address[0] else socket.AF_INET, socket.SOCK_STREAM)
        watchdog = threading.Timer(max(0.0, end - time.monotonic()), _shut, (sock,))
        watchdog.daemon = True
        watchdog.start()
        sock.settimeout(max(0.01, end - time.monotonic()))
        sock.connect(address)
        if https:
            sock = ssl.create_default_context().wrap_socket(sock, server_hostname=host)
        connection.sock = sock
        connection.request("GET", parts.path.rstrip("/") + target,
                           headers={"User-Agent": USER_AGENT, "Accept": "application/json"})
        response = connection.getresponse()
        if response.status != 200:
            raise (Refused if 400 <= response.status < 500 else UpstreamError)("HTTP status %d" % response.status)
        return read(_Body(response, sock, end))
    except (TimeoutError, socket.timeout):
        raise UpstreamError("no answer within %.1f s" % seconds) from None
    except (OSError, http.client.HTTPException, ValueError) as e:
        if time.monotonic() >= end:
            raise UpstreamError("no answer within %.1f s" % seconds) from None
        raise UpstreamError("%s: %s" % (type(e).__name__, e) if str(e) else type(e).__name__) from None
    finally:
        if watchdog:
            watchdog.cancel()
        if response is not None:
            response.close()
        connection.close()
        if sock is not None:
            sock.close()


def _shut(sock):
    try:
        sock.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass   # not connected yet, or already closed: the close ends it


def _read_object(body):
    data = bytearray()
    while True:
        piece = body.read()
        if not piece:
            break
        data += piece
        if len(data) > MAX_OBJECT_BYTES:
            raise UpstreamError("the answer is too long")
    try:
        answer = json.loads(data.decode("utf-8"))
    except (UnicodeDecodeError, ValueError, RecursionError):
        raise UpstreamError("the answer is not JSON") from None
    if not isinstance(answer, dict):
        raise UpstreamError("the answer is no object")
    return answer


_DECODER = json.JSONDecoder()
_WHITESPACE = b" \t\r\n"


def _read_items(body, keep, count):
    """(kept, read) of a JSON list read item by item: only one item's text
    and the items kept are ever held; items that are no object are read
    and dropped."""
    buf = bytearray()
    at_end = False

    def fill():
        nonlocal at_end
        piece = body.read()
        if piece:
            buf.extend(piece)
        else:
            at_end = True

    def skip_space():
        while True:
            n = 0
            while n < len(buf) and buf[n] in _WHITESPACE:
                n += 1
            del buf[:n]
            if buf or at_end:
                return
            fill()

    skip_space()
    if buf[:1] != b"[":
        raise UpstreamError("the answer is no list" if buf[:1] == b"{" else "the answer is not JSON")
    del buf[:1]
    kept, read, first = [], 0, True
    while count is None or read < count:
        skip_space()
        if buf[:1] == b"]":
            return kept, read
        if not first:
            if buf[:1] != b",":
                raise UpstreamError("the answer is not JSON")
            del buf[:1]
            skip_space()
        first = False
        item, used = _next_item(buf, fill, lambda: at_end)
        del buf[:used]
        read += 1
        if isinstance(item, dict):
            item = keep(item)
            if item is not None:
                kept.append(item)
    return kept, read


def _next_item(buf, fill, at_end):
    """(value, bytes used) of the JSON value at the start of buf, reading
    more while it is incomplete, up to MAX_ITEM_BYTES. A small window is
    parsed first, so a short item costs little however much is buffered."""
    tried = 0
    while True:
        if len(buf) > tried:
            tried, window = len(buf), 4096
            while True:
                text = buf[:window].decode("utf-8", "surrogateescape")
                try:
                    value, end = _DECODER.raw_decode(text)
                    if end < len(text) or at_end() or isinstance(value, (dict, list, str)):
                        return value, len(text[:end].encode("utf-8", "surrogateescape"))
                except (ValueError, RecursionError):
                    pass   # incomplete so far (a number may go on in what is still to come)
                if window >= min(len(buf), MAX_ITEM_BYTES + 16):
                    break
                window *= 2
        if at_end():
            raise UpstreamError("the answer is not JSON")
        if len(buf) > MAX_ITEM_BYTES:
            raise UpstreamError("an item of the answer is longer than %d bytes" % MAX_ITEM_BYTES)
        fill()
