"""Starts the stand-in directory for a test and talks raw HTTP to it."""

import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

SCRIPT = os.environ.get("STANDIN_SCRIPT") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "../../tools/standin-directory/standin_directory.py")


class StandIn:
    """The server on a free loopback port, silent audio unless told otherwise."""

    def __init__(self, *options):
        self.dir = tempfile.TemporaryDirectory(prefix="standin-test-")
        self.address_file = os.path.join(self.dir.name, "address")
        self.log_file = os.path.join(self.dir.name, "requests.log")
        args = [sys.executable, SCRIPT, "--port", "0", "--address-file", self.address_file,
                "--request-log", self.log_file, "--audio-dir", "", *options]
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not os.path.exists(self.address_file):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("stand-in did not start: %s" % self.proc.stderr.read())
            time.sleep(0.01)
        with open(self.address_file) as f:
            self.address_line = f.read()
        self.address = self.address_line.strip()
        self.port = int(self.address.split(":")[1])

    def request_log(self):
        with open(self.log_file, "rb") as f:
            return f.read().splitlines()

    def stop(self):
        """SIGTERM; (exit code or None when it hung, seconds it took)."""
        start = time.monotonic()
        self.proc.send_signal(signal.SIGTERM)
        try:
            code = self.proc.wait(5)
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
        self.file = sock.makefile("rb")
        self.status_line = self.file.readline().decode().rstrip("\r\n")
        self.status = int(self.status_line.split(" ")[1])
        self.headers = {}
        for line in iter(self.file.readline, b"\r\n"):
            key, _, value = line.decode("utf-8").partition(":")
            self.headers[key.lower()] = value.strip()

    def read(self, count=-1):
        return self.file.read(count)

    def close(self):
        self.file.close()
        self.sock.close()


def get(server, path, headers=(), timeout=5):
    sock = socket.create_connection(("127.0.0.1", server.port), timeout=timeout)
    try:
        head = "".join("%s: %s\r\n" % h for h in headers)
        sock.sendall(("GET %s HTTP/1.0\r\n%s\r\n" % (path, head)).encode("latin-1"))
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
