#!/usr/bin/env python3
"""A radio server for the ripper's tests: `icy_test_server.py DIR` writes its
port to DIR/port; /NAME plays the plan DIR/NAME.json and appends the audio
it sends to DIR/NAME.sent. Plan keys: status_line, content_type, headers,
metaint, segments [[title, bytes], ...], forever (the last title goes on),
rate (bytes a second), drops and stalls (positions where a connection
closes or goes quiet, once each), redirect (a Location), audio_file (its
bytes are the audio instead of a pattern), title_charset (the titles'
encoding, utf-8 by default), repeat (every connection plays the plan from
its start). The position carries over between connections, as a live
station's does; once a plan is played, later connections get 404."""
import json
import os
import socketserver
import sys
import threading
import time

DIR = sys.argv[1]
STATE = {}  # name -> [position, {cut position: "drop" or "stall"} not yet used]
LOCK = threading.Lock()


def audio(plan, start, count):
    if "audio_file" in plan:
        with open(plan["audio_file"], "rb") as f:
            f.seek(start)
            return f.read(count)
    return bytes((p * 131 + (p >> 7)) & 0xFF for p in range(start, start + count))


def meta_block(title, charset):
    text = ("StreamTitle='%s';StreamUrl='';" % title).encode(charset)
    blocks = (len(text) + 15) // 16
    return bytes([blocks]) + text.ljust(blocks * 16, b"\0")


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        name = self.rfile.readline().split()[1].decode().lstrip("/")
        while self.rfile.readline().strip():
            pass
        try:
            with open(os.path.join(DIR, name + ".json")) as f:
                plan = json.load(f)
        except OSError:
            plan = {"status_line": "HTTP/1.0 404 Not Found"}
        if "redirect" in plan:
            self.wfile.write(("HTTP/1.0 302 Found\r\nLocation: %s\r\n\r\n" % plan["redirect"]).encode())
            return
        segments, forever, metaint = plan.get("segments", []), plan.get("forever"), plan.get("metaint", 0)
        ends = [sum(size for _, size in segments[:i + 1]) for i in range(len(segments))] or [0]
        with LOCK:
            cuts = dict([(p, "drop") for p in plan.get("drops", [])] + [(p, "stall") for p in plan.get("stalls", [])])
            state = STATE.setdefault(name, [0, cuts])
            if plan.get("repeat"):
                state[0] = 0
        status = plan.get("status_line", "HTTP/1.0 200 OK")
        if state[0] and state[0] >= ends[-1] and not forever:
            status = "HTTP/1.0 404 Not Found"
        head = [status, "Content-Type: " + plan.get("content_type", "audio/mpeg")]
        head += ["icy-metaint: %d" % metaint] if metaint else []
        head += ["%s: %s" % item for item in plan.get("headers", {}).items()]
        self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode())
        if " 200 " not in status + " ":
            return
        rate = plan.get("rate", 0)
        pos, until_meta, last_title = state[0], metaint, None
        with open(os.path.join(DIR, name + ".sent"), "ab") as sent:
            try:
                while forever or pos < ends[-1]:
                    n = min([rate // 10 or 1 if rate else 4096] + [p - pos for p in state[1] if p > pos]
                            + ([until_meta] if metaint else []) + ([] if forever else [ends[-1] - pos]))
                    data = audio(plan, pos, n)
                    self.wfile.write(data)
                    self.wfile.flush()
                    sent.write(data)
                    sent.flush()
                    pos += n
                    with LOCK:
                        state[0] = pos
                        cut = state[1].pop(pos, None)
                    if cut:
                        time.sleep(30 if cut == "stall" else 0)
                        return
                    until_meta -= n
                    if metaint and until_meta == 0:
                        title = next((t for (t, _), end in zip(segments, ends) if pos < end), segments[-1][0])
                        self.wfile.write(meta_block(title, plan.get("title_charset", "utf-8")) if title != last_title else b"\0")
                        last_title, until_meta = title, metaint
                    time.sleep(n / rate if rate else 0)
            except OSError:
                pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


if __name__ == "__main__":
    import signal
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    server = Server(("127.0.0.1", 0), Handler)
    with open(os.path.join(DIR, "port.tmp"), "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(os.path.join(DIR, "port.tmp"), os.path.join(DIR, "port"))
    server.serve_forever()
