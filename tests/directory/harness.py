"""oruvel-directory run from outside, and read over raw HTTP and through the
plug-in's own rules, for the directory's tests."""

import os
import subprocess
import sys
import tempfile
import time
import socket

PROGRAM = os.environ["DIRECTORY_PROGRAM"]
PAGE, PLS = "/sbin/newxml.phtml?genre=", "/sbin/tunein-station.pls?id="


class Directory:
    """oruvel-directory on a free loopback port, logging its requests into
    a fresh folder (`dir`), with the given options."""

    def __init__(self, *options):
        self.dir = tempfile.TemporaryDirectory(prefix="directory-test-")
        self.log = os.path.join(self.dir.name, "requests.log")
        address = os.path.join(self.dir.name, "address")
        self.proc = subprocess.Popen([sys.executable, PROGRAM, "--port", "0", "--address-file", address,
                                      "--request-log", self.log, *options],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        while not os.path.exists(address):
            if self.proc.poll() is not None:
                raise AssertionError("oruvel-directory ended: " + self.proc.stderr.read().decode())
            time.sleep(0.01)
        with open(address) as f:
            self.address_line = f.read()
        self.address = self.address_line.strip()
        self.port = int(self.address.split(":")[1])

    def requests(self):
        with open(self.log, "rb") as f:
            return f.read().splitlines()

    def stop(self):
        """SIGTERM: (exit status, seconds it took)."""
        start = time.monotonic()
        self.proc.terminate()
        code = self.proc.wait(5)
        self.proc.stdout.close()
        self.proc.stderr.close()
        self.dir.cleanup()
        return code, time.monotonic() - start


def get(server, path, headers=()):
    """An open response: .status_line, .headers, .file, .sock."""
    sock = socket.create_connection(("127.0.0.1", server.port), timeout=15)
    sock.sendall(("GET %s HTTP/1.0\r\n%s\r\n" % (path, "".join("%s: %s\r\n" % h for h in headers))).encode("latin-1"))
    r = type("Response", (), {"sock": sock, "file": sock.makefile("rb")})()
    r.status_line = r.file.readline().decode().rstrip("\r\n")
    r.headers = dict((k.lower(), v.strip()) for k, _, v in (l.decode().partition(":") for l in iter(r.file.readline, b"\r\n")))
    return r


def fetch(server, path, headers=()):
    """(status, headers, whole body)"""
    r = get(server, path, headers)
    with r.sock, r.file:
        return int(r.status_line.split()[1]), r.headers, r.file.read()


def file_urls(body):
    """What the plug-in's grep File | sed s/^.*http/http/ pipeline keeps."""
    run = subprocess.run("grep File | sed s/^.*http/http/", shell=True, input=body, capture_output=True, timeout=10)
    return run.stdout.decode().replace("\r", "").split("\n")[:-1]


def read_page(body):
    """The stations as the plug-in reads a page: pieces of at most 511
    bytes, each with "name=" a station; a key's first occurrence anywhere
    in the piece, its value from the character after the opening quote to
    the next double quote. Each station's `whole` tells that its line,
    newline and all, came in one piece."""
    stations, start = [], 0
    while start < len(body):
        end = body.find(b"\n", start, start + 511)
        end = end + 1 if end >= 0 else min(len(body), start + 511)
        piece, start = body[start:end], end
        if b"name=" not in piece:
            continue
        st = {"whole": piece.endswith(b"\n")}
        for key in ("name", "id", "br", "genre", "mt", "lc"):
            at = piece.find(key.encode() + b"=")
            if at >= 0:
                value = piece[at + len(key) + 2:]
                st[key] = value[:value.find(b'"')] if b'"' in value else value.rstrip(b"\r\n")
                st[key] = st[key].decode("utf-8")   # valid UTF-8, or the test fails here
        stations.append(st)
    return stations
