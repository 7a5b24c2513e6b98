"""The directory's memory across restarts, in one SQLite database: the
station ids it handed out (saved favourites carry them in their tune-in
address), each with the catalogue's uuid and the station's last known name
and stream address, and the genre pages last built.

Any number of directory programs may share the database: each write is one
immediate transaction, waiting its turn. A write that fails (a full disk,
a database held too long by another program) never costs an answer: new
ids and addresses are kept in memory, used from there and stored with the
next write that succeeds, and the caller gets the reason to log."""

import base64
import hashlib
import os
import sqlite3
import sys
import threading
import time

DATABASE_NAME = "directory.sqlite3"
MAX_PAGES = 10000            # the oldest pages go first
BUSY_SECONDS = 2             # the longest wait for another program's write
SCHEMA = """
CREATE TABLE IF NOT EXISTS stations (
  id TEXT PRIMARY KEY,        -- our id: "rb" and 13 letters or digits
  uuid TEXT UNIQUE NOT NULL,  -- the catalogue's id
  name TEXT NOT NULL,
  url TEXT NOT NULL,          -- the last known stream address
  seen REAL NOT NULL          -- when a page or a tune-in last met it
);
CREATE TABLE IF NOT EXISTS pages (
  key TEXT PRIMARY KEY,       -- the genre and the options that shaped the page
  body BLOB NOT NULL,
  stations INTEGER NOT NULL,
  built REAL NOT NULL
);
CREATE INDEX IF NOT EXISTS pages_built ON pages (built);
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
    def __init__(self, directory, max_pages=MAX_PAGES):
        self.path = os.path.join(directory, DATABASE_NAME)
        self.max_pages = max_pages
        deadline = time.monotonic() + 10
        while True:   # another program may be setting the same database up
            try:
                os.makedirs(directory, exist_ok=True)
                self._db = sqlite3.connect(self.path, timeout=BUSY_SECONDS, check_same_thread=False,
                                           isolation_level=None)
                self._db.execute("PRAGMA journal_mode=WAL")
                self._db.executescript(SCHEMA)
                break
            except sqlite3.OperationalError as e:
                if "locked" not in str(e) or time.monotonic() > deadline:
                    raise StateError("%s: %s" % (self.path, e)) from None
            except (OSError, sqlite3.Error) as e:
                raise StateError("%s: %s" % (self.path, e)) from None
        self._lock = threading.Lock()
        self._unsaved = {}           # id -> [uuid, name, url, seen]: not stored yet
        self._failure = None         # the last write failure told on standard error

    def close(self):
        """After a write under way: the ids memory still holds are stored
        if they can be, and the database closed; later writes stay in memory."""
        with self._lock:
            if self._db is None:
                return
            if self._unsaved:
                self._write(lambda: None)
            self._db.close()
            self._db = None

    # --- writing ------------------------------------------------------------

    def _write(self, work):
        """work() in one immediate transaction, with what memory holds
        unsaved; None, or why it failed (the unsaved stay in memory)."""
        if self._db is None:
            return "not stored: the directory is stopping"
        try:
            self._db.execute("BEGIN IMMEDIATE")
            try:
                for sid, (uuid, name, url, seen) in list(self._unsaved.items()):
                    self._upsert(sid, uuid, name, url, seen)
                work()
                self._db.execute("COMMIT")
            except BaseException:
                if self._db.in_transaction:   # SQLite may have rolled back already
                    self._db.execute("ROLLBACK")
                raise
        except sqlite3.Error as e:
            why = "not stored: %s" % e
            if why != self._failure:
                self._failure = why
                sys.stderr.write("oruvel-directory: %s: %s\n" % (self.path, why))
            return why
        self._unsaved.clear()
        self._failure = None
        return None

    def _upsert(self, sid, uuid, name, url, seen):
        self._db.execute(
            "INSERT INTO stations (id, uuid, name, url, seen) VALUES (?, ?, ?, ?, ?) "
            "ON CONFLICT(id) DO UPDATE SET name = excluded.name, url = excluded.url, "
            "seen = excluded.seen", (sid, uuid, name, url, seen))

    def _read(self, sql, args):
        if self._db is None:
            return []
        try:
            return self._db.execute(sql, args).fetchall()
        except sqlite3.Error as e:
            sys.stderr.write("oruvel-directory: %s: not read: %s\n" % (self.path, e))
            return []

    # --- ids ------------------------------------------------------------------

    def ids_for(self, stations):
        """(ids, why they were not stored or None) for (uuid, name, url)
        triples, in their order; a uuid seen before keeps its id, and every
        name and address is remembered."""
        now = time.time()
        with self._lock:
            ids = []

            def store():
                ids.clear()
                known = {}
                uuids = [s[0] for s in stations]
                for start in range(0, len(uuids), 500):
                    chunk = uuids[start:start + 500]
                    known.update(self._db.execute(
                        "SELECT uuid, id FROM stations WHERE uuid IN (%s)" % ",".join("?" * len(chunk)),
                        chunk).fetchall())
                for uuid, name, url in stations:
                    sid = known.get(uuid) or self._new_id(uuid, lambda s: self._db.execute(
                        "SELECT 1 FROM stations WHERE id = ?", (s,)).fetchone())
                    known[uuid] = sid
                    self._upsert(sid, uuid, name, url, now)
                    ids.append(sid)

            why = self._write(store)
            if why:   # the ids from what the database and memory hold
                ids = self._ids_in_memory(stations, now)
            return ids, why

    def _ids_in_memory(self, stations, now):
        by_uuid = {v[0]: sid for sid, v in self._unsaved.items()}
        ids = []
        for uuid, name, url in stations:
            sid = by_uuid.get(uuid)
            if sid is None:
                row = self._read("SELECT id FROM stations WHERE uuid = ?", (uuid,))
                sid = row[0][0] if row else self._new_id(uuid, lambda s: s in self._unsaved or self._read(
                    "SELECT 1 FROM stations WHERE id = ?", (s,)))
                by_uuid[uuid] = sid
            self._unsaved[sid] = [uuid, name, url, now]
            ids.append(sid)
        return ids

    @staticmethod
    def _new_id(uuid, taken):
        for attempt in range(100):
            sid = station_id(uuid, attempt)
            if not taken(sid):
                return sid
        raise StateError("no free station id for %s" % uuid)

    def station(self, sid):
        """(uuid, name, url) of an id handed out, or None."""
        with self._lock:
            if sid in self._unsaved:
                return tuple(self._unsaved[sid][:3])
            rows = self._read("SELECT uuid, name, url FROM stations WHERE id = ?", (sid,))
            return rows[0] if rows else None

    def remember_address(self, sid, url):
        """None, or why the address was kept in memory only."""
        with self._lock:
            if sid in self._unsaved:
                self._unsaved[sid][2:] = [url, time.time()]
                return self._write(lambda: None)
            rows = self._read("SELECT uuid, name FROM stations WHERE id = ?", (sid,))
            why = self._write(lambda: self._db.execute(
                "UPDATE stations SET url = ?, seen = ? WHERE id = ?", (url, time.time(), sid)))
            if why and rows:
                self._unsaved[sid] = [rows[0][0], rows[0][1], url, time.time()]
            return why

    # --- pages --------------------------------------------------------------

    def page(self, key):
        """(body, stations, built) of the page last built for key, or None."""
        with self._lock:
            rows = self._read("SELECT body, stations, built FROM pages WHERE key = ?", (key,))
            return rows[0] if rows else None

    def store_page(self, key, body, stations):
        """None, or why the page was not stored; the oldest pages go
        beyond max_pages."""
        def store():
            self._db.execute("INSERT OR REPLACE INTO pages (key, body, stations, built) VALUES (?, ?, ?, ?)",
                             (key, body, stations, time.time()))
            self._db.execute("DELETE FROM pages WHERE key IN (SELECT key FROM pages ORDER BY built DESC "
                             "LIMIT -1 OFFSET ?)", (self.max_pages,))
        with self._lock:
            return self._write(store)
