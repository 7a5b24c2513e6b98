"""The directory's HTTP front: the listening server, request parsing, the
request log and the answer helpers both sources use.

A source supplies a handler class derived from Handler (its `_route`
answers a request) and, when it needs state of its own, a server class
derived from DirectoryServer.

One thread serves each connection, so a stream can last for hours beside
quick pages. The connections are tracked: one whose request has not all
come within REQUEST_SECONDS is dropped, and near the descriptor limit the
oldest unfinished ones make room, so slow or idle clients cannot lock out
the quick ones."""

import collections
import errno
import os
import re
import resource
import signal
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote_to_bytes

REQUEST_SECONDS = 5.0     # the longest a client may take to send its whole request
SPARE_DESCRIPTORS = 64    # kept free for the database, the log and upstream sockets

PAGE_PATH = "/sbin/newxml.phtml"
PLAYLIST_PATH = "/sbin/tunein-station.pls"
RELAY_PREFIX = "/relay/"   # the relay of a station: RELAY_PREFIX + its id
QUERY_KEYS = {PAGE_PATH: "genre", PLAYLIST_PATH: "id"}
HOST_HEADER = re.compile(r"^[A-Za-z0-9.-]+:[0-9]{1,5}$")


def parse_query(query):
    """Query keys to percent-decoded bytes; the first occurrence of a key
    wins and "+" stays a plus."""
    params = {}
    for part in query.split("&"):
        key, eq, value = part.partition("=")
        if eq and key not in params:
            params[key] = unquote_to_bytes(value)
    return params


_NAMED_ESCAPES = {"\\": "\\\\", "\n": "\\n", "\t": "\\t", "\r": "\\r"}


def log_escape(data):
    """Bytes or text as one field of a log line in valid UTF-8: backslash,
    newline, TAB and CR as \\\\, \\n, \\t, \\r; other control characters,
    bytes that are no UTF-8 and lone surrogates as \\xHH of their bytes."""
    if isinstance(data, str):
        data = data.encode("utf-8", "surrogatepass")
    out = []
    for ch in data.decode("utf-8", "surrogateescape"):
        code = ord(ch)
        if ch in _NAMED_ESCAPES:
            out.append(_NAMED_ESCAPES[ch])
        elif 0xDC80 <= code <= 0xDCFF:          # a byte that was no UTF-8
            out.append("\\x%02x" % (code - 0xDC00))
        elif code < 0x20 or 0x7F <= code <= 0x9F or code in (0x2028, 0x2029):
            out.append("".join("\\x%02x" % b for b in ch.encode("utf-8")))
        else:
            out.append(ch)
    return "".join(out).encode("utf-8")


class RequestLog:
    """One line per request: raw path and query, TAB, the decoded genre
    (station page) or id (playlist), and, when the answer has one, TAB and
    the reason for it; each line one write to a file opened for appending,
    so programs sharing the log do not mix their lines. A log that cannot
    be written (a full disk) costs no answer: the first failure is told on
    standard error."""

    def __init__(self, path):
        self._fd = os.open(path, os.O_WRONLY | os.O_APPEND | os.O_CREAT | os.O_CLOEXEC, 0o644) if path else None
        self._failed = False

    def write(self, raw_path, value, reason=None):
        if self._fd is None:
            return
        line = log_escape(raw_path.encode("latin-1", "replace")) + b"\t" + log_escape(value)
        if reason is not None:
            line += b"\t" + log_escape(reason)
        try:
            os.write(self._fd, line + b"\n")
            self._failed = False
        except OSError as e:
            if not self._failed:
                self._failed = True
                sys.stderr.write("oruvel-directory: request log not written: %s\n" % e)


class ConnectionTracker:
    """The server's open connections in the order they came, each marked
    once its request has all come. Unfinished ones are dropped at their
    deadline; near the descriptor limit the oldest unfinished make room."""

    def __init__(self, request_seconds=REQUEST_SECONDS):
        self.request_seconds = request_seconds
        self.room = max(16, resource.getrlimit(resource.RLIMIT_NOFILE)[0] - SPARE_DESCRIPTORS)
        self._open = 0
        self._unfinished = collections.OrderedDict()   # socket -> when it came
        self._lock = threading.Lock()
        self._changed = threading.Condition(self._lock)
        self._stopped = False
        self._reaper = threading.Thread(target=self._reap, daemon=True)
        self._reaper.start()

    def came(self, sock):
        """A new connection; the oldest unfinished go while there is no room."""
        with self._lock:
            self._open += 1
            self._unfinished[sock] = time.monotonic()
            while self._open > self.room and next(iter(self._unfinished)) is not sock:
                self._drop_oldest()
            self._changed.notify()

    def finished_request(self, sock):
        with self._lock:
            self._unfinished.pop(sock, None)

    def went(self, sock):
        with self._lock:
            self._open -= 1
            self._unfinished.pop(sock, None)

    def make_room(self):
        """Descriptors ran out: the oldest unfinished connection goes."""
        with self._lock:
            return self._drop_oldest()

    def stop(self):
        with self._lock:
            self._stopped = True
            self._changed.notify()

    def _drop_oldest(self):
        if not self._unfinished:
            return False
        sock, _ = self._unfinished.popitem(last=False)
        _shut(sock)   # its thread reads the end, answers nothing and closes it
        return True

    def _reap(self):
        with self._lock:
            while not self._stopped:
                now = time.monotonic()
                while self._unfinished:
                    sock, came = next(iter(self._unfinished.items()))
                    if now - came < self.request_seconds:
                        break
                    self._drop_oldest()
                wait = (next(iter(self._unfinished.values())) + self.request_seconds - now
                        if self._unfinished else None)
                self._changed.wait(wait)


def _shut(sock):
    try:
        sock.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass   # already gone


class DirectoryServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64      # many players and downloads may connect at once

    def __init__(self, options, handler):
        super().__init__((options.bind, options.port), handler)
        self.options = options
        self.stopping = threading.Event()
        self.request_log = RequestLog(options.request_log)
        self.address = "%s:%d" % (options.bind, self.server_address[1])
        self.connections = ConnectionTracker()

    def get_request(self):
        try:
            return super().get_request()
        except OSError as e:
            if e.errno in (errno.EMFILE, errno.ENFILE) and not self.connections.make_room():
                self.stopping.wait(0.05)   # nothing to drop: the connection waits in the backlog
            raise

    def process_request(self, request, client_address):
        self.connections.came(request)
        super().process_request(request, client_address)

    def shutdown_request(self, request):
        self.connections.went(request)
        super().shutdown_request(request)

    def server_close(self):
        super().server_close()
        if hasattr(self, "connections"):   # absent when the bind failed
            self.connections.stop()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "OruvelDirectory/1.0"
    timeout = 60

    def log_message(self, fmt, *args):
        if self.server.options.verbose:
            sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))

    def parse_request(self):
        complete = super().parse_request()   # the request line was read, now the headers are
        self.server.connections.finished_request(self.connection)
        return complete

    def do_GET(self):
        try:
            path, _, query = self.path.partition("?")
            self._route(path, parse_query(query))
        except OSError:   # the client went away (or was cut off) mid-answer
            self.close_connection = True

    def _route(self, path, params):
        raise NotImplementedError

    def _log(self, path, params, reason=None):
        key = QUERY_KEYS.get(path)
        self.server.request_log.write(self.path, params.get(key, b"") if key else b"", reason)

    def _head(self, status_line, headers):
        lines = [status_line.encode()] + [
            ("%s: " % k).encode() + (v if isinstance(v, bytes) else str(v).encode("utf-8"))
            for k, v in headers]
        self.wfile.write(b"\r\n".join(lines) + b"\r\n\r\n")

    def _answer(self, code, body, content_type, extra=(), reason=None):
        """reason: the status line's phrase, when the standard one says too little."""
        reason = reason or self.responses.get(code, ("Error",))[0]
        headers = [("Server", self.server_version), ("Content-Type", content_type),
                   ("Content-Length", len(body)), ("Connection", "close")] + list(extra)
        self._head("HTTP/1.0 %d %s" % (code, reason), headers)
        self.wfile.write(body)

    def _own_address(self):
        """The address the client reached us by, so that a receiver elsewhere
        on the network gets addresses it can reach too."""
        host = self.headers.get("Host", "").strip()
        return host if HOST_HEADER.match(host) else self.server.address

    def _redirect(self, target):
        self._answer(302, b"moved\n", "text/plain",
                     [("Location", "http://%s%s" % (self._own_address(), target))])

    def _reset(self):
        """Abort the connection: the peer sees a reset, not an orderly end."""
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()
        self.close_connection = True


def write_address_file(path, address):
    tmp = "%s.tmp.%d" % (path, os.getpid())
    with open(tmp, "w") as f:
        f.write(address + "\n")
    os.replace(tmp, path)


def serve(server):
    """Serves until SIGTERM or SIGINT, then stops every request; 0 or 2."""
    stop = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())
    if server.options.address_file:
        try:
            write_address_file(server.options.address_file, server.address)
        except OSError as e:
            sys.stderr.write("oruvel-directory: cannot write the address file: %s\n" % e)
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
    # Relays end their decoders when they see the stop; give them the time.
    relays = getattr(server.options, "relay", None)
    deadline = time.monotonic() + 4
    while relays and relays.in_use and time.monotonic() < deadline:
        time.sleep(0.02)
    return 0
