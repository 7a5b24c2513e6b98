"""Streams played to a plan, for trying a client against exact titles,
drops and stalls: with --plans DIR, /plan/NAME plays DIR/NAME.json and
appends the audio it sends to DIR/NAME.sent.

Plan keys: status_line, content_type, headers, metaint, segments [[title,
bytes], ...], forever (the last title goes on), rate (bytes a second),
drops and stalls (audio positions where a connection closes or goes quiet,
once each; at 0, before any audio), redirect (a Location), audio_file (its bytes are the audio
instead of a pattern), title_charset (utf-8 by default), repeat (every
connection plays from the start). Otherwise the position carries over
between connections, as a live station's does, and once the plan is
played later connections get 404."""

import json
import os
import threading

from icy_stream import IcyBody

PLAN_PREFIX = "/plan/"
_state = {}  # (dir, name) -> [position, {position: "drop" or "stall"} not yet met]
_lock = threading.Lock()


class _Audio:
    def __init__(self, plan, start):
        self._data = None
        if plan.get("audio_file"):  # read once: a plan's audio file is a short sample
            with open(plan["audio_file"], "rb") as f:
                self._data = f.read()
        self.pos = start

    def read(self, count):
        start, self.pos = self.pos, self.pos + count
        if self._data is not None:
            return self._data[start:start + count]
        return bytes((p * 131 + (p >> 7)) & 0xFF for p in range(start, start + count))


def play(handler, name):
    """Answers handler's request for the plan `name`."""
    folder = handler.server.options.plans
    try:
        with open(os.path.join(folder, name + ".json")) as f:
            plan = json.load(f)
    except (OSError, ValueError):
        plan = {"status_line": "HTTP/1.0 404 Not Found"}
    if "redirect" in plan:
        handler._head("HTTP/1.0 302 Found", [("Location", plan["redirect"])])
        return
    segments, forever, metaint = plan.get("segments", []), plan.get("forever"), plan.get("metaint", 0)
    ends = [sum(size for _, size in segments[:i + 1]) for i in range(len(segments))] or [0]
    with _lock:
        cuts = dict([(p, "drop") for p in plan.get("drops", [])] + [(p, "stall") for p in plan.get("stalls", [])])
        state = _state.setdefault((folder, name), [0, cuts])
        if plan.get("repeat"):
            state[0] = 0
        start = state[0]
    status = plan.get("status_line", "HTTP/1.0 200 OK")
    if start and start >= ends[-1] and not forever:
        status = "HTTP/1.0 404 Not Found"
    headers = [("Content-Type", plan.get("content_type", "audio/mpeg"))]
    headers += [("icy-metaint", metaint)] if metaint else []
    handler._head(status, headers + list(plan.get("headers", {}).items()))
    if " 200 " not in status + " ":
        return
    charset = plan.get("title_charset", "utf-8")
    title_at = lambda pos: next((t for (t, _), end in zip(segments, ends) if pos < end), segments[-1][0])
    body = IcyBody(_Audio(plan, start), 1, 1, lambda pos: title_at(pos).encode(charset), metaint)
    body.audio_sent = start
    rate = plan.get("rate", 0)
    with _lock:
        cut = state[1].pop(start, None) if start == 0 else None
    if cut == "stall":
        handler._hold_open()
    if cut:
        return
    with open(os.path.join(folder, name + ".sent"), "ab") as sent:
        while forever or body.audio_sent < ends[-1]:
            pos = body.audio_sent
            n = min([rate // 10 or 1 if rate else 4096] + [p - pos for p in state[1] if p > pos]
                    + ([] if forever else [ends[-1] - pos]))
            piece = body.next_piece(n)
            handler.wfile.write(piece)
            handler.wfile.flush()
            sent.write(piece[:body.audio_sent - pos])
            sent.flush()
            with _lock:
                state[0] = body.audio_sent
                cut = state[1].pop(body.audio_sent, None)
            if cut == "stall":
                handler._hold_open()
            if cut:
                return
            if rate and handler.server.stopping.wait(n / rate):
                return
