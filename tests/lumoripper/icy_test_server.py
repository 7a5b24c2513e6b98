#!/usr/bin/env python3
"""A small internet-radio server for the ripper's tests (stdlib only).

    icy_test_server.py LOGDIR

Prints its port on the first line of standard output. A request for
/NAME plays the plan in LOGDIR/NAME.json and appends every audio byte it
sends to LOGDIR/NAME.sent, so a test can compare what was recorded with
what went out. Plan keys (all optional):

  status_line  "HTTP/1.0 200 OK" (default) or "ICY 200 OK", "HTTP/1.0 404 Not Found"
  headers      extra header fields, e.g. {"icy-name": "Test FM"}
  content_type "audio/mpeg" (default)
  metaint      audio bytes between metadata blocks; 0 (default): none
  segments     [[title, bytes], ...] played in order
  forever      keep playing the last title after the segments
  rate         audio bytes per second (0: as fast as possible)
  drops        stream positions where a connection is closed (one each)
  stalls       stream positions where a connection goes quiet for 30 s
  after_end    what later connections get once the plan is played: "404"
  redirect     answer 302 with this Location instead of a stream

The stream position carries over from one connection to the next, as a
live station's would.
"""
import json
import os
import socket
import socketserver
import sys
import threading
import time

LOGDIR = sys.argv[1]
STATE = {}  # name -> {"pos": int, "drops": [...], "stalls": [...]}
LOCK = threading.Lock()


def audio_bytes(start, count):
    return bytes(((p * 131) + (p >> 7)) & 0xFF for p in range(start, start + count))


def title_at(segments, pos, forever):
    end = 0
    for title, size in segments:
        end += size
        if pos < end:
            return title
    return segments[-1][0] if (forever and segments) else None


def meta_block(title):
    if title is None:
        return b"\0"
    text = ("StreamTitle='%s';StreamUrl='';" % title).encode("utf-8")
    blocks = (len(text) + 15) // 16
    return bytes([blocks]) + text + b"\0" * (blocks * 16 - len(text))


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        request = self.rfile.readline().decode("latin-1").split()
        while self.rfile.readline().strip():
            pass
        if len(request) < 2:
            return
        name = request[1].lstrip("/").split("?")[0]
        try:
            with open(os.path.join(LOGDIR, name + ".json")) as f:
                plan = json.load(f)
        except OSError:
            self.wfile.write(b"HTTP/1.0 404 Not Found\r\n\r\nno such stream\r\n")
            return
        if "redirect" in plan:
            self.wfile.write(("HTTP/1.0 302 Found\r\nLocation: %s\r\n\r\n" % plan["redirect"]).encode())
            return
        segments = plan.get("segments", [])
        total = sum(size for _, size in segments)
        forever = plan.get("forever", False)
        with LOCK:
            state = STATE.setdefault(name, {"pos": 0, "drops": list(plan.get("drops", [])),
                                            "stalls": list(plan.get("stalls", []))})
            pos = state["pos"]
        if not forever and pos >= total and pos > 0:
            self.wfile.write(b"HTTP/1.0 404 Not Found\r\n\r\n")
            return
        status = plan.get("status_line", "HTTP/1.0 200 OK")
        metaint = plan.get("metaint", 0)
        head = [status, "Content-Type: " + plan.get("content_type", "audio/mpeg")]
        if metaint:
            head.append("icy-metaint: %d" % metaint)
        for key, value in plan.get("headers", {}).items():
            head.append("%s: %s" % (key, value))
        self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode("utf-8"))
        if not status.split()[1].startswith("2"):
            return
        rate = plan.get("rate", 0)
        chunk = max(1, rate // 10) if rate else 4096
        sent_log = open(os.path.join(LOGDIR, name + ".sent"), "ab")
        until_meta = metaint
        last_title = None
        try:
            while forever or pos < total:
                n = chunk if forever else min(chunk, total - pos)
                if metaint:
                    n = min(n, until_meta)
                with LOCK:
                    cut = [d for d in state["drops"] + state["stalls"] if d > pos]
                if cut:
                    n = min(n, min(cut) - pos)
                data = audio_bytes(pos, n)
                self.wfile.write(data)
                self.wfile.flush()
                sent_log.write(data)
                sent_log.flush()
                pos += n
                with LOCK:
                    state["pos"] = pos
                    drop = pos in state["drops"]
                    stall = pos in state["stalls"]
                    if drop:
                        state["drops"].remove(pos)
                    if stall:
                        state["stalls"].remove(pos)
                if drop:
                    return
                if stall:
                    time.sleep(30)
                    return
                if metaint:
                    until_meta -= n
                    if until_meta == 0:
                        title = title_at(segments, pos, forever)
                        if title is not None and title != last_title:
                            self.wfile.write(meta_block(title))
                            last_title = title
                        else:
                            self.wfile.write(b"\0")
                        until_meta = metaint
                if rate:
                    time.sleep(n / rate)
        except (BrokenPipeError, ConnectionResetError):
            pass
        finally:
            sent_log.close()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    server = Server(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    import signal
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    main()
