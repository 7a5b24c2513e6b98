"""The directory's HTTP front: the listening server, request parsing, the
request log and the answer helpers both sources use.

A source supplies a handler class derived from Handler (its `_route`
answers a request) and, when it needs state of its own, a server class
derived from DirectoryServer."""

import os
import re
import signal
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote_to_bytes

PAGE_PATH = "/sbin/newxml.phtml"
PLAYLIST_PATH = "/sbin/tunein-station.pls"
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


def log_escape(data):
    return data.replace(b"\\", b"\\\\").replace(b"\n", b"\\n").replace(b"\t", b"\\t")


class RequestLog:
    """One line per request: raw path and query, TAB, the decoded genre
    (station page) or id (playlist), and, when the answer has one, TAB and
    the reason for it; written and flushed at once."""

    def __init__(self, path):
        self._file = open(path, "ab") if path else None
        self._lock = threading.Lock()

    def write(self, raw_path, value, reason=None):
        if not self._file:
            return
        line = log_escape(raw_path.encode("latin-1", "replace")) + b"\t" + log_escape(value)
        if reason is not None:
            line += b"\t" + log_escape(reason.encode("utf-8", "replace"))
        with self._lock:
            self._file.write(line + b"\n")
            self._file.flush()


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


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "OruvelDirectory/1.0"
    timeout = 60

    def log_message(self, fmt, *args):
        if self.server.options.verbose:
            sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))

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
