"""Starts the stand-in directory for a test and talks raw HTTP to it."""

import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

SCRIPT = os.environ.get("STANDIN_SCRIPT") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "standin-directory",
    "standin_directory.py")


class StandIn:
    """A running server on a free loopback port; stop() checks that SIGTERM
    ends it promptly with status 0."""

    def __init__(self, *options):
        self.dir = tempfile.TemporaryDirectory(prefix="standin-test-")
        self.address_file = os.path.join(self.dir.name, "address")
        self.log_file = os.path.join(self.dir.name, "requests.log")
        args = [sys.executable, SCRIPT, "--port", "0", "--address-file", self.address_file,
                "--request-log", self.log_file]
        if "--audio-dir" not in options:
            args += ["--audio-dir", ""]
        self.proc = subprocess.Popen(args + list(options), stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not os.path.exists(self.address_file):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("stand-in did not start: %s" % self.proc.stderr.read())
            time.sleep(0.01)
        with open(self.address_file) as f:
            self.address_line = f.read()
        host, port = self.address_line.strip().split(":")
        self.host, self.port = host, int(port)

    @property
    def address(self):
        return "%s:%d" % (self.host, self.port)

    def request_log(self):
        with open(self.log_file, "rb") as f:
            return f.read().splitlines()

    def stop(self, timeout=5):
        """SIGTERM; returns (exit code, seconds it took)."""
        start = time.monotonic()
        self.proc.send_signal(signal.SIGTERM)
        try:
            code = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            code = None
        self.proc.stdout.close()
        self.proc.stderr.close()
        self.dir.cleanup()
        return code, time.monotonic() - start


class Response:
    def __init__(self, sock):
        self.sock = sock
        self.rest = b""
        head = b""
        while b"\r\n\r\n" not in head:
            data = sock.recv(4096)
            if not data:
                break
            head += data
        head, _, self.rest = head.partition(b"\r\n\r\n")
        lines = head.decode("utf-8", "replace").split("\r\n")
        self.status_line = lines[0]
        parts = self.status_line.split(" ")
        self.status = int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else 0
        self.headers = {}
        for line in lines[1:]:
            key, _, value = line.partition(":")
            self.headers[key.strip().lower()] = value.strip()

    def read(self, count=None):
        """count bytes of body (fewer at the end), or everything."""
        out = self.rest
        while count is None or len(out) < count:
            data = self.sock.recv(65536)
            if not data:
                break
            out += data
        if count is None:
            self.rest = b""
            return out
        self.rest = out[count:]
        return out[:count]

    def close(self):
        self.sock.close()


def get(server, path, headers=(), timeout=5):
    sock = socket.create_connection((server.host, server.port), timeout=timeout)
    request = "GET %s HTTP/1.0\r\nHost: %s\r\n" % (path, server.address)
    request += "".join("%s: %s\r\n" % h for h in headers) + "\r\n"
    try:
        sock.sendall(request.encode("latin-1"))
        return Response(sock)
    except OSError:
        sock.close()
        raise


def fetch(server, path, headers=()):
    """(status, headers, whole body)"""
    r = get(server, path, headers)
    try:
        return r.status, r.headers, r.read()
    finally:
        r.close()
