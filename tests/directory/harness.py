"""oruvel-directory run from outside, read over raw HTTP and the plug-in's way."""

import ctypes
import os
import pathlib
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

PROGRAM = os.environ["DIRECTORY_PROGRAM"]
PAGE, PLS = "/sbin/newxml.phtml?genre=", "/sbin/tunein-station.pls?id="


def temp_dir(test, prefix):
    """A fresh folder that is gone when `test` ends."""
    path = tempfile.mkdtemp(prefix=prefix)
    test.addCleanup(shutil.rmtree, path, ignore_errors=True)
    return path


def dies_with_test(files=None):
    """A preexec_fn: the child is killed when the test process ends, however
    it ends (a failure, a time-out, SIGKILL); `files`: its descriptor limit."""
    parent = os.getpid()

    def preexec():
        if files:
            resource.setrlimit(resource.RLIMIT_NOFILE, (files, files))
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)   # PR_SET_PDEATHSIG
        if os.getppid() != parent:   # the test ended before the line above
            os._exit(1)
    return preexec


class Directory:
    """oruvel-directory on a free loopback port, logging requests into `dir`;
    `prefix`: a command it runs under, `files`: its descriptor limit."""

    def __init__(self, *options, prefix=(), files=None):
        self.dir = tempfile.TemporaryDirectory(prefix="directory-test-")
        self.log, address = (os.path.join(self.dir.name, n) for n in ("requests.log", "address"))
        self.proc = subprocess.Popen([*prefix, sys.executable, PROGRAM, "--port", "0", "--address-file", address,
                                      "--request-log", self.log, *options], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     preexec_fn=dies_with_test(files),
                                     env=dict(os.environ, XDG_STATE_HOME=self.dir.name))   # no user's database
        while not os.path.exists(address):
            if self.proc.poll() is not None:
                raise AssertionError("oruvel-directory ended: " + self.proc.stderr.read().decode())
            time.sleep(0.01)
        self.address = pathlib.Path(address).read_text().strip()
        self.port = int(self.address.split(":")[1])

    def requests(self):
        return pathlib.Path(self.log).read_bytes().splitlines()

    def stop(self):   # SIGTERM: (exit status, seconds it took)
        start = time.monotonic()
        self.proc.terminate()
        with self.proc.stdout, self.proc.stderr, self.dir:
            return self.proc.wait(5), time.monotonic() - start


def get(server, path, headers=()):
    sock = socket.create_connection(("127.0.0.1", server.port), timeout=15)
    sock.sendall(("GET %s HTTP/1.0\r\n%s\r\n" % (path, "".join("%s: %s\r\n" % h for h in headers))).encode("latin-1"))
    r = type("Response", (), {"sock": sock, "file": sock.makefile("rb")})()
    r.status_line = r.file.readline().decode().rstrip("\r\n")
    lines = iter(lambda: r.file.readline() or b"\r\n", b"\r\n")   # a cut connection ends the headers too
    r.headers = dict((k.lower(), v.strip()) for k, _, v in (l.decode().partition(":") for l in lines))
    return r


def fetch(server, path, headers=()):
    r = get(server, path, headers)
    with r.sock, r.file:
        return int(r.status_line.split()[1]), r.headers, r.file.read()


def file_urls(body):
    """What the plug-in's grep File | sed s/^.*http/http/ pipeline keeps."""
    run = subprocess.run("grep File | sed s/^.*http/http/", shell=True, input=body, capture_output=True, timeout=10)
    return run.stdout.decode().replace("\r", "").split("\n")[:-1]


def read_page(body):
    """Stations as the plug-in reads a page: 511-byte pieces, a key's first
    value in the piece up to the next quote; `whole`: the line came in one piece."""
    stations, start = [], 0
    while start < len(body):
        end = body.find(b"\n", start, start + 511)
        end = end + 1 if end >= 0 else min(len(body), start + 511)
        piece, start = body[start:end], end
        if b"name=" in piece:
            found = {k: piece[piece.find(k + b"=") + len(k) + 2:] for k in (b"name", b"id", b"br", b"genre", b"mt", b"lc")
                     if k + b"=" in piece}   # values must be valid UTF-8
            stations.append({k.decode(): (v[:v.find(b'"')] if b'"' in v else v.rstrip(b"\r\n")).decode("utf-8")
                             for k, v in found.items()})
            stations[-1]["whole"] = piece.endswith(b"\n")
    return stations
