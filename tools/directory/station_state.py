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
CREATE TABLE IF NOT EXISTS relayed (
  uuid TEXT PRIMARY KEY,      -- a catalogue record listed as the relay's MP3
  hls INTEGER NOT NULL        -- 1: its address is an HLS playlist
);
CREATE TABLE IF NOT EXISTS relay_sources (
  id TEXT PRIMARY KEY,        -- a station last tuned in through the relay
  url TEXT NOT NULL,          -- what the relay fetches for it
  hls INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS variants (
  uuid TEXT PRIMARY KEY,      -- a catalogue record folded into a station
  station TEXT NOT NULL,      -- the id the station's line carries
  rank INTEGER NOT NULL       -- 0 for the variant the line plays, then the fall-backs
);
CREATE INDEX IF NOT EXISTS variants_of_station ON variants (station, rank);
CREATE TABLE IF NOT EXISTS imported (
  id TEXT PRIMARY KEY,        -- "fv" and 13 letters or digits, from the address
  name TEXT NOT NULL,
  url TEXT NOT NULL           -- the stream address a playlist gave
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


def station_id(uuid, attempt=0, prefix="rb"):
    """The id for a uuid: derived from it, so a new database hands out the
    same ids again; 15 characters, the width of the plug-in's id field,
    and nothing a URL or a shell treats specially."""
    seed = uuid if attempt == 0 else "%s#%d" % (uuid, attempt)
    digest = hashlib.sha1(seed.encode("utf-8", "surrogatepass")).digest()
    return prefix + base64.b32encode(digest).decode("ascii").lower()[:13]


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
                ids[:] = self._own_ids(stations, now)

            why = self._write(store)
            if why:   # the ids from what the database and memory hold
                ids = self._ids_in_memory(stations, now)
            return ids, why

    def _own_ids(self, stations, now):
        """ids_for within a write."""
        known = dict(self._in_chunks(self._fetch, "SELECT uuid, id FROM stations WHERE uuid IN (%s)",
                                     [s[0] for s in stations]))
        ids = []
        for uuid, name, url in stations:
            sid = known.get(uuid) or self._new_id(uuid, lambda s: self._db.execute(
                "SELECT 1 FROM stations WHERE id = ?", (s,)).fetchone())
            known[uuid] = sid
            self._upsert(sid, uuid, name, url, now)
            ids.append(sid)
        return ids

    def _fetch(self, sql, args):
        """The rows of a query within a write: a failure fails the write."""
        return self._db.execute(sql, args).fetchall()

    @staticmethod
    def _in_chunks(fetch, query, values):
        """The rows of a statement whose one "IN (%s)" takes the values, run
        in chunks within SQLite's limit on parameters."""
        rows = []
        for start in range(0, len(values), 500):
            chunk = values[start:start + 500]
            rows += fetch(query % ",".join("?" * len(chunk)), chunk)
        return rows

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
    def _new_id(uuid, taken, prefix="rb"):
        for attempt in range(100):
            sid = station_id(uuid, attempt, prefix)
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

    # --- stations of several variants ------------------------------------------

    def ids_for_stations(self, stations):
        """(ids, why they were not stored or None) for stations of several
        variants, each a list of (uuid, name, url) triples, the variant the
        line plays first. A station keeps the id it was listed under as long
        as one of those variants is still among its own, whichever it plays;
        a new one takes its best variant's own id. The variants are
        remembered in their order for the tune-in (not when the write
        fails: each id then tunes in to its own record)."""
        now = time.time()
        flat = [v for station in stations for v in station]
        with self._lock:
            ids = []

            def store():
                own = iter(self._own_ids(flat, now))
                ids[:] = self._choose_ids(stations, [[next(own) for _ in s] for s in stations],
                                          self._fetch, lambda *row: self._upsert(*row, now))
                self._in_chunks(self._fetch, "DELETE FROM variants WHERE station IN (%s)", ids)
                self._db.executemany("INSERT OR REPLACE INTO variants (uuid, station, rank) VALUES (?, ?, ?)",
                                     [(v[0], sid, rank) for sid, variants in zip(ids, stations)
                                      for rank, v in enumerate(variants)])

            why = self._write(store)
            if why:
                own = iter(self._ids_in_memory(flat, now))
                ids = self._choose_ids(stations, [[next(own) for _ in s] for s in stations], self._read,
                                       lambda sid, *row: self._unsaved.__setitem__(sid, [*row, now]))
            return ids, why

    def _choose_ids(self, stations, owns, fetch, keep):
        """Each station's id from the ids its variants were listed under
        (`fetch` reads the database) and their own ids; `keep` stores a
        spare id's record."""
        by_uuid = dict(self._in_chunks(fetch, "SELECT uuid, station FROM variants WHERE uuid IN (%s)",
                                       [v[0] for station in stations for v in station]))
        listed = [[by_uuid[v[0]] for v in variants if v[0] in by_uuid] for variants in stations]
        # A station split in two: the part holding the variant whose own id
        # it was keeps it, else the part holding more of the variants listed
        # under it; the other part takes another.
        ids = [next((i for i in before if i in mine), None) for before, mine in zip(listed, owns)]
        taken = set(ids)
        claims = sorted((-before.count(sid), n, sid) for n, before in enumerate(listed) for sid in set(before))
        for _, n, sid in claims:
            if ids[n] is None and sid not in taken:
                ids[n] = sid
                taken.add(sid)
        for n, station in enumerate(stations):
            if ids[n] is None:
                ids[n] = next((i for i in owns[n] if i not in taken), None) or self._spare_id(station[0], fetch, keep)
                taken.add(ids[n])
        return ids

    def _spare_id(self, best, fetch, keep):
        """An id of a station's own when every id of its variants went to
        other stations; it is known by its variants alone."""
        uuid, name, url = best
        for attempt in range(1, 100):
            spare = "%s#spare%d" % (uuid, attempt)
            if not fetch("SELECT 1 FROM stations WHERE uuid = ?", (spare,)):
                sid = self._new_id(spare, lambda s: s in self._unsaved or fetch(
                    "SELECT 1 FROM stations WHERE id = ?", (s,)))
                keep(sid, spare, name, url)
                return sid
        raise StateError("no free station id for %s" % uuid)

    def variants(self, sid):
        """(uuid, name, url) of the variants of the station listed under
        sid, the one its line plays first; empty for an id never listed
        for a station of several."""
        with self._lock:
            return self._read("SELECT s.uuid, s.name, s.url FROM variants v JOIN stations s ON s.uuid = v.uuid "
                              "WHERE v.station = ? ORDER BY v.rank", (sid,))

    # --- imported favourites ------------------------------------------------------

    def import_addresses(self, entries):
        """Ids for (name, url) pairs of imported favourites, one per
        address however often it comes, derived from the address;
        StateError when they cannot be stored."""
        ids = []

        def store():
            ids.clear()
            for name, url in entries:
                sid = self._new_id(url, lambda s: (self._db.execute(
                    "SELECT url FROM imported WHERE id = ?", (s,)).fetchone() or (url,))[0] != url, prefix="fv")
                self._db.execute("INSERT OR REPLACE INTO imported (id, name, url) VALUES (?, ?, ?)",
                                 (sid, name, url))
                ids.append(sid)

        with self._lock:
            why = self._write(store)
        if why:
            raise StateError(why)
        return ids

    def imported(self, sid):
        """(name, url) of an imported favourite's id, or None."""
        with self._lock:
            rows = self._read("SELECT name, url FROM imported WHERE id = ?", (sid,))
            return rows[0] if rows else None

    def last_address(self, sid):
        """The last known stream address of any id handed out, or None."""
        known = self.imported(sid) or (self.variants(sid) or [self.station(sid)])[0]
        return known[-1] if known else None

    # --- the relay -----------------------------------------------------------

    def mark_relayed(self, kinds):
        """(uuid, None | "codec" | "hls") pairs: how each record was last
        listed; None, or why it was not stored."""
        def store():
            for uuid, kind in kinds:
                if kind:
                    self._db.execute("INSERT OR REPLACE INTO relayed (uuid, hls) VALUES (?, ?)",
                                     (uuid, int(kind == "hls")))
                else:
                    self._db.execute("DELETE FROM relayed WHERE uuid = ?", (uuid,))
        with self._lock:
            return self._write(store)

    def relay_kind(self, uuid):
        """None when the record was last listed as it is, else "codec" or "hls"."""
        with self._lock:
            rows = self._read("SELECT hls FROM relayed WHERE uuid = ?", (uuid,))
        return None if not rows else ("hls" if rows[0][0] else "codec")

    def remember_relay_source(self, sid, url, hls):
        with self._lock:
            return self._write(lambda: self._db.execute(
                "INSERT OR REPLACE INTO relay_sources (id, url, hls) VALUES (?, ?, ?)", (sid, url, int(hls))))

    def relay_source(self, sid):
        """(address, is HLS) the relay fetches for the station, or None."""
        with self._lock:
            rows = self._read("SELECT url, hls FROM relay_sources WHERE id = ?", (sid,))
        return None if not rows else (rows[0][0], bool(rows[0][1]))

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
