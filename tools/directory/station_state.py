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
        with self._lock, self._db:
            self._db.execute("BEGIN")
            return self._own_ids(stations)

    def _own_ids(self, stations):
        now = time.time()
        ids = []
        known = dict(self._select_in("SELECT uuid, id FROM stations WHERE uuid IN (%s)", [s[0] for s in stations]))
        for uuid, name, url in stations:
            sid = known.get(uuid) or self._new_id(uuid)
            known[uuid] = sid
            self._db.execute(
                "INSERT INTO stations (id, uuid, name, url, seen) VALUES (?, ?, ?, ?, ?) "
                "ON CONFLICT(id) DO UPDATE SET name = excluded.name, url = excluded.url, "
                "seen = excluded.seen", (sid, uuid, name, url, now))
            ids.append(sid)
        return ids

    def _select_in(self, query, values):
        """The rows of a query whose one "IN (%s)" takes the values, asked
        in chunks within SQLite's limit on parameters."""
        rows = []
        for start in range(0, len(values), 500):
            chunk = values[start:start + 500]
            rows += self._db.execute(query % ",".join("?" * len(chunk)), chunk).fetchall()
        return rows

    def ids_for_stations(self, stations):
        """Ids for stations of several variants, each a list of (uuid, name,
        url) triples, the variant the line plays first. A station keeps the
        id it was listed under as long as one of those variants is still
        among its own, whichever it plays; a new one takes its best
        variant's own id. The variants are remembered in their order for
        the tune-in."""
        with self._lock, self._db:
            self._db.execute("BEGIN")
            own = iter(self._own_ids([v for station in stations for v in station]))
            owns = [[next(own) for _ in variants] for variants in stations]
            by_uuid = dict(self._select_in("SELECT uuid, station FROM variants WHERE uuid IN (%s)",
                                           [v[0] for station in stations for v in station]))
            listed = [[by_uuid[v[0]] for v in variants if v[0] in by_uuid] for variants in stations]
            # A station split in two: the part holding the variant whose own
            # id it was keeps it, else the part holding more of the variants
            # listed under it; the other part takes another.
            ids = [next((i for i in before if i in mine), None) for before, mine in zip(listed, owns)]
            taken = set(ids)
            claims = sorted((-before.count(sid), n, sid) for n, before in enumerate(listed) for sid in set(before))
            for _, n, sid in claims:
                if ids[n] is None and sid not in taken:
                    ids[n] = sid
                    taken.add(sid)
            for n in range(len(ids)):
                if ids[n] is None:
                    ids[n] = next((i for i in owns[n] if i not in taken), None) or self._spare_id(stations[n][0][0])
                    taken.add(ids[n])
            for start in range(0, len(ids), 500):
                chunk = ids[start:start + 500]
                self._db.execute("DELETE FROM variants WHERE station IN (%s)" % ",".join("?" * len(chunk)), chunk)
            self._db.executemany("INSERT OR REPLACE INTO variants (uuid, station, rank) VALUES (?, ?, ?)",
                                 [(v[0], sid, rank) for sid, variants in zip(ids, stations)
                                  for rank, v in enumerate(variants)])
        return ids

    def _spare_id(self, uuid):
        """An id of a station's own when every id of its variants went to
        other stations; it is known by its variants alone."""
        for attempt in range(1, 100):
            spare = "%s#spare%d" % (uuid, attempt)
            if not self._db.execute("SELECT 1 FROM stations WHERE uuid = ?", (spare,)).fetchone():
                sid = self._new_id(spare)
                self._db.execute("INSERT INTO stations (id, uuid, name, url, seen) "
                                 "SELECT ?, ?, name, url, seen FROM stations WHERE uuid = ?", (sid, spare, uuid))
                return sid
        raise StateError("no free station id for %s" % uuid)

    def variants(self, sid):
        """(uuid, name, url) of the variants of the station listed under
        sid, the one its line plays first; empty for an id never listed
        for a station of several."""
        with self._lock:
            return self._db.execute(
                "SELECT s.uuid, s.name, s.url FROM variants v JOIN stations s ON s.uuid = v.uuid "
                "WHERE v.station = ? ORDER BY v.rank", (sid,)).fetchall()

    def import_addresses(self, entries):
        """Ids for (name, url) pairs of imported favourites, one per
        address however often it comes, derived from the address."""
        ids = []
        with self._lock, self._db:
            self._db.execute("BEGIN")
            for name, url in entries:
                for attempt in range(100):
                    sid = station_id(url, attempt, prefix="fv")
                    held = self._db.execute("SELECT url FROM imported WHERE id = ?", (sid,)).fetchone()
                    if held is None or held[0] == url:
                        break
                else:
                    raise StateError("no free station id for %s" % url)
                self._db.execute("INSERT OR REPLACE INTO imported (id, name, url) VALUES (?, ?, ?)",
                                 (sid, name, url))
                ids.append(sid)
        return ids

    def imported(self, sid):
        """(name, url) of an imported favourite's id, or None."""
        with self._lock:
            return self._db.execute("SELECT name, url FROM imported WHERE id = ?", (sid,)).fetchone()

    def last_address(self, sid):
        """The last known stream address of any id handed out, or None."""
        known = self.imported(sid) or (self.variants(sid) or [self.station(sid)])[0]
        return known[-1] if known else None

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

    def page(self, key):
        """(body, stations, built) of the page last built for key, or None."""
        with self._lock:
            return self._db.execute("SELECT body, stations, built FROM pages WHERE key = ?",
                                    (key,)).fetchone()

    def store_page(self, key, body, stations):
        with self._lock:
            self._db.execute("INSERT OR REPLACE INTO pages (key, body, stations, built) VALUES (?, ?, ?, ?)",
                             (key, body, stations, time.time()))
