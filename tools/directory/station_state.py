"""The directory's memory across restarts, in one SQLite database: the
station ids it handed out (saved favourites carry them in their tune-in
address), each with the catalogue's uuid and the station's last known name
and stream address, and the genre pages last built."""

import base64
import hashlib
import os
import sqlite3
import threading
import time

DATABASE_NAME = "directory.sqlite3"
SCHEMA = """
CREATE TABLE IF NOT EXISTS stations (
  id TEXT PRIMARY KEY,        -- our id: "rb" and 13 letters or digits
  uuid TEXT UNIQUE NOT NULL,  -- the catalogue's id
  name TEXT NOT NULL,
  url TEXT NOT NULL,          -- the last known stream address
  seen REAL NOT NULL          -- when a page or a tune-in last met it
);
CREATE TABLE IF NOT EXISTS relayed (
  uuid TEXT PRIMARY KEY,      -- a catalogue record listed as the relay's MP3
  hls INTEGER NOT NULL        -- 1: its address is an HLS playlist
);
CREATE TABLE IF NOT EXISTS relay_sources (
  id TEXT PRIMARY KEY,        -- a station last tuned in through the relay
  url TEXT NOT NULL,          -- what the relay fetches for it
  hls INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS pages (
  key TEXT PRIMARY KEY,       -- the genre and the options that shaped the page
  body BLOB NOT NULL,
  stations INTEGER NOT NULL,
  built REAL NOT NULL
);
"""


class StateError(Exception):
    pass


def default_dir():
    base = os.environ.get("XDG_STATE_HOME") or os.path.join(os.path.expanduser("~"), ".local", "state")
    return os.path.join(base, "oruvel")


def station_id(uuid, attempt=0):
    """The id for a uuid: derived from it, so a new database hands out the
    same ids again; 15 characters, the width of the plug-in's id field,
    and nothing a URL or a shell treats specially."""
    seed = uuid if attempt == 0 else "%s#%d" % (uuid, attempt)
    digest = hashlib.sha1(seed.encode("utf-8", "surrogatepass")).digest()
    return "rb" + base64.b32encode(digest).decode("ascii").lower()[:13]


class StationState:
    def __init__(self, directory):
        self.path = os.path.join(directory, DATABASE_NAME)
        try:
            os.makedirs(directory, exist_ok=True)
            self._db = sqlite3.connect(self.path, timeout=5, check_same_thread=False,
                                       isolation_level=None)
            self._db.execute("PRAGMA journal_mode=WAL")
            self._db.executescript(SCHEMA)
        except (OSError, sqlite3.Error) as e:
            raise StateError("%s: %s" % (self.path, e)) from None
        self._lock = threading.Lock()

    def close(self):
        self._db.close()

    def ids_for(self, stations):
        """Ids for (uuid, name, url) triples, in their order; a uuid seen
        before keeps its id, and every name and address is remembered."""
        now = time.time()
        ids = []
        with self._lock, self._db:
            self._db.execute("BEGIN")
            known = {}
            uuids = [s[0] for s in stations]
            for start in range(0, len(uuids), 500):
                chunk = uuids[start:start + 500]
                known.update(self._db.execute(
                    "SELECT uuid, id FROM stations WHERE uuid IN (%s)" % ",".join("?" * len(chunk)),
                    chunk).fetchall())
            for uuid, name, url in stations:
                sid = known.get(uuid) or self._new_id(uuid)
                known[uuid] = sid
                self._db.execute(
                    "INSERT INTO stations (id, uuid, name, url, seen) VALUES (?, ?, ?, ?, ?) "
                    "ON CONFLICT(id) DO UPDATE SET name = excluded.name, url = excluded.url, "
                    "seen = excluded.seen", (sid, uuid, name, url, now))
                ids.append(sid)
        return ids

    def _new_id(self, uuid):
        for attempt in range(100):
            sid = station_id(uuid, attempt)
            if not self._db.execute("SELECT 1 FROM stations WHERE id = ?", (sid,)).fetchone():
                return sid
        raise StateError("no free station id for %s" % uuid)

    def station(self, sid):
        """(uuid, name, url) of an id handed out, or None."""
        with self._lock:
            return self._db.execute("SELECT uuid, name, url FROM stations WHERE id = ?",
                                    (sid,)).fetchone()

    def remember_address(self, sid, url):
        with self._lock:
            self._db.execute("UPDATE stations SET url = ?, seen = ? WHERE id = ?", (url, time.time(), sid))

    def mark_relayed(self, kinds):
        """(uuid, None | "codec" | "hls") pairs: how each record was last listed."""
        with self._lock, self._db:
            self._db.execute("BEGIN")
            for uuid, kind in kinds:
                if kind:
                    self._db.execute("INSERT OR REPLACE INTO relayed (uuid, hls) VALUES (?, ?)",
                                     (uuid, int(kind == "hls")))
                else:
                    self._db.execute("DELETE FROM relayed WHERE uuid = ?", (uuid,))

    def relay_kind(self, uuid):
        """None when the record was last listed as it is, else "codec" or "hls"."""
        with self._lock:
            row = self._db.execute("SELECT hls FROM relayed WHERE uuid = ?", (uuid,)).fetchone()
        return None if row is None else ("hls" if row[0] else "codec")

    def remember_relay_source(self, sid, url, hls):
        with self._lock:
            self._db.execute("INSERT OR REPLACE INTO relay_sources (id, url, hls) VALUES (?, ?, ?)",
                             (sid, url, int(hls)))

    def relay_source(self, sid):
        """(address, is HLS) the relay fetches for the station, or None."""
        with self._lock:
            row = self._db.execute("SELECT url, hls FROM relay_sources WHERE id = ?", (sid,)).fetchone()
        return None if row is None else (row[0], bool(row[1]))

    def page(self, key):
        """(body, stations, built) of the page last built for key, or None."""
        with self._lock:
            return self._db.execute("SELECT body, stations, built FROM pages WHERE key = ?",
                                    (key,)).fetchone()

    def store_page(self, key, body, stations):
        with self._lock:
            self._db.execute("INSERT OR REPLACE INTO pages (key, body, stations, built) VALUES (?, ?, ?, ?)",
                             (key, body, stations, time.time()))
