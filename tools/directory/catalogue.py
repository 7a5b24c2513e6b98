"""The stand-in directory's catalogue: genres and their stations, read from
a small text file, and the pages and playlists made from it.

File format (UTF-8, one record a line, fields separated by "|"):
  # comment                      blank lines and comments are skipped
  genre|NAME                     starts a genre; the stations below belong to it
  ID|KBPS|NAME[|FLAG...]         a station of the current genre
  generate|COUNT|FIRST_ID|KBPS,KBPS,...|NAME PATTERN
                                 COUNT stations with ids FIRST_ID.. and the
                                 bitrates in turn; "{n}" in the pattern is
                                 the station's number (1..COUNT)
Names are plain text; the page writes &, <, > and " as entities.
Station flags:
  genre=TEXT      the genre attribute on the page (default: the genre name)
  titles=A;B;C    the stream titles in turn (default "Artist N - Song N")
  listeners=N     the lc attribute (default: made from the id)
  icy             the stream answers "ICY 200 OK" instead of HTTP/1.0
  nometa          the stream never sends metadata
  dead            the stream answers 404
  reset           the stream connection is reset before any answer
  refused         the playlist points at a port where nothing listens
  nofile          the playlist has no File lines
  redirect=ID     the stream redirects (302) to the stream of station ID
  plsredirect=ID  the playlist redirects (302) to the playlist of station ID
  urlsuffix=TEXT  appended verbatim to the stream URLs in the playlist
"""

import zlib
from urllib.parse import quote

import page_writer as pw
from page_writer import entity


class CatalogueError(Exception):
    pass


class Station:
    def __init__(self, sid, kbps, name, genre, flags=None):
        self.id = sid
        self.kbps = kbps
        self.name = name
        self.genre = genre
        self.flags = flags or {}

    def flag(self, key, default=None):
        return self.flags.get(key, default)

    def title(self, index):
        """The index-th title (0-based) of the station's schedule."""
        titles = self.flags.get("titles")
        if titles:
            names = titles.split(";")
            return names[index % len(names)]
        return "Artist %d - Song %d" % (index + 1, index + 1)

    def listeners(self):
        value = self.flags.get("listeners")
        if value is not None:
            return value
        return str(zlib.crc32(self.id.encode()) % 900 + 3)

    def stream_path(self):
        return "/stream/" + quote(self.id, safe="")


def genre_key(name):
    return name.casefold()


class Catalogue:
    def __init__(self):
        self.genres = []          # genre names in file order
        self._stations = {}       # genre key -> [Station]
        self._by_id = {}          # id -> Station

    def stations_of(self, genre):
        return self._stations.get(genre_key(genre), [])

    def station(self, sid):
        return self._by_id.get(sid)

    def page_stations(self, genre):
        """The stations of the genre; when there is no such genre, those
        whose names hold the text (a station's name typed as the genre),
        most listened to first."""
        stations = self.stations_of(genre)
        text = genre.strip().casefold()
        if stations or not text:
            return stations
        named = [s for s in self._by_id.values() if text in s.name.casefold()]
        return sorted(named, key=lambda s: -int(s.listeners()) if s.listeners().isdigit() else 0)

    def all_stations(self):
        return self._by_id.values()

    def _add(self, station, where):
        if station.id in self._by_id:
            raise CatalogueError("%s: station id %r used twice" % (where, station.id))
        self._by_id[station.id] = station
        self._stations[genre_key(station.genre)].append(station)

    @classmethod
    def load(cls, path):
        with open(path, encoding="utf-8") as f:
            return cls.parse(f.read().splitlines(), path)

    @classmethod
    def parse(cls, lines, path="catalogue"):
        cat = cls()
        genre = None
        for number, raw in enumerate(lines, 1):
            line = raw.rstrip("\r")
            where = "%s:%d" % (path, number)
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            fields = line.split("|")
            if fields[0] == "genre":
                if len(fields) != 2 or not fields[1]:
                    raise CatalogueError(where + ": expected genre|NAME")
                genre = fields[1]
                if genre_key(genre) not in cat._stations:
                    cat.genres.append(genre)
                    cat._stations[genre_key(genre)] = []
                continue
            if genre is None:
                raise CatalogueError(where + ": a station before the first genre line")
            if fields[0] == "generate":
                cat._generate(fields, genre, where)
                continue
            if len(fields) < 3 or not fields[0]:
                raise CatalogueError(where + ": expected ID|KBPS|NAME[|FLAG...]")
            flags = {}
            for flag in fields[3:]:
                key, _, value = flag.partition("=")
                flags[key] = value
            cat._add(Station(fields[0], _kbps(fields[1], where), fields[2], genre, flags), where)
        return cat

    def _generate(self, fields, genre, where):
        if len(fields) != 5:
            raise CatalogueError(where + ": expected generate|COUNT|FIRST_ID|KBPS,...|PATTERN")
        try:
            count, first = int(fields[1]), int(fields[2])
        except ValueError:
            raise CatalogueError(where + ": COUNT and FIRST_ID must be numbers") from None
        rates = [_kbps(r, where) for r in fields[3].split(",")]
        for n in range(1, count + 1):
            name = fields[4].replace("{n}", str(n))
            self._add(Station(str(first + n - 1), rates[(n - 1) % len(rates)], name, genre), where)


def _kbps(text, where):
    try:
        value = int(text)
    except ValueError:
        value = 0
    if not 8 <= value <= 320:
        raise CatalogueError("%s: bitrate %r is not 8..320" % (where, text))
    return value


def page_attributes(st, name=None):
    """A station's attributes on its page line, written with entities."""
    return [("name", entity(st.name if name is None else name)), ("mt", "audio/mpeg"), ("id", entity(st.id)),
            ("br", st.kbps), ("genre", entity(st.flag("genre", st.genre))), ("ct", entity(st.title(0))),
            ("lc", st.listeners())]


def station_page(stations):
    """The directory's page for a genre: one station per line."""
    return pw.station_page(pw.station_element(page_attributes(st)) + "\n" for st in stations)


def genre_list_page(catalogue):
    return pw.genre_file([entity(g) for g in catalogue.genres], standalone=True)
