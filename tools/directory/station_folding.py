"""One page line per station: the catalogue keeps one broadcaster's
streams (codecs, bitrates, mirrors) as separate records, which a listener
cannot tell apart. Records with the same name (trimmed, case-folded) in the
same country, or with the same stream address, are one station; its line
plays the variant the client plays best, and the others stay behind it for
the tune-in to fall back on.

A variant is a dict with the keys uuid, name (as the page shows it),
fold_name (the catalogue's name as name_key gives it, cut to a bound),
url, codec, bitrate, plays, country and tags, as the online source reads
them from the catalogue."""

from urllib.parse import urlsplit

import page_writer as pw

KEPT_VARIANTS = 4        # per station: the best, and a few to fall back on
# Names compared for reading alike are cut here first, well within the room
# a page line leaves for a name, so a label added to tell them apart stays.
COMPARED_NAME_BYTES = 250


def variant_rank(variant, codecs):
    """Sort key of a station's variants, best first: the client's first
    codec, then the highest bitrate, then the most played."""
    return (codecs.index(variant["codec"]), -variant["bitrate"], -variant["plays"])


def name_key(name):
    return " ".join(name.split()).casefold()


def address_key(url):
    """One stream reached as http or https, with or without a final slash,
    in any case of its host, is one address."""
    parts = urlsplit(url)
    return "%s%s?%s" % (parts.netloc.lower(), parts.path.rstrip("/"), parts.query)


class Station:
    """`name`: that of its most played variant (the first met), the name
    listeners know it by."""
    __slots__ = ("name", "variants", "plays", "merged_into", "order")

    def __init__(self, name, order):
        self.name, self.variants, self.plays, self.merged_into, self.order = name, [], 0, None, order

    @property
    def best(self):
        return self.variants[0]


class Folder:
    """Variants added one at a time, in the catalogue's order (most played
    first); memory grows with the stations, not with their variants."""

    def __init__(self, codecs, kept=KEPT_VARIANTS):
        self.codecs = list(codecs)
        self.kept = kept
        self._stations = []
        self._by_key = {}       # ("name", name, country) or ("url", address) -> Station
        self._count = 0

    def __len__(self):
        return self._count

    def add(self, variant):
        keys = [("url", address_key(variant["url"]))]
        name = variant["fold_name"]
        if name:
            keys.append(("name", name, variant["country"]))
        found = []
        for key in keys:
            station = self._find(key)
            if station is not None and station not in found:
                found.append(station)
        if found:
            station = found[0]
            for other in found[1:]:   # the variant joins two stations: they were one
                self._merge(station, other)
        else:
            station = Station(variant["name"], len(self._stations))
            self._stations.append(station)
            self._count += 1
        self._take(station, [variant], variant["plays"])
        for key in keys:
            self._by_key[key] = station

    def stations(self):
        """The stations, most played first (all their variants' plays
        together), each with its variants best first."""
        alive = [s for s in self._stations if s.merged_into is None]
        alive.sort(key=lambda s: (-s.plays, s.order))
        return alive

    def _find(self, key):
        station = self._by_key.get(key)
        while station is not None and station.merged_into is not None:
            station = station.merged_into
        return station

    def _merge(self, into, other):
        other.merged_into = into
        if other.order < into.order:
            into.name, into.order = other.name, other.order
        self._take(into, other.variants, other.plays)
        other.variants = []
        self._count -= 1

    def _take(self, station, variants, plays):
        station.variants.extend(variants)
        station.variants.sort(key=lambda v: variant_rank(v, self.codecs))
        del station.variants[self.kept:]
        station.plays += plays


def page_names(stations):
    """The name each station's line shows. Stations that would still read
    the same on the page get their country code, else their bitrate, in
    brackets (both, and then a number, as long as that is not enough)."""
    shown = [pw.clean_text(s.name) for s in stations]
    alike = {}
    for i, name in enumerate(shown):
        alike.setdefault(pw.cut_utf8(name, COMPARED_NAME_BYTES).casefold(), []).append(i)
    for same in alike.values():
        if len(same) < 2:
            continue
        labels = None
        for label in (_country, _bitrate, lambda v: "%s %s" % (_country(v), _bitrate(v))):
            labels = [label(stations[i].best).strip() for i in same]
            if len(set(labels)) == len(labels):
                break
        else:
            labels = ["%s #%d" % (text, n) for n, text in enumerate(labels, 1)]
        for i, label in zip(same, labels):
            shown[i] = "%s (%s)" % (pw.cut_utf8(shown[i], COMPARED_NAME_BYTES), label)
    return shown


def _country(variant):
    return variant["country"] or "?"


def _bitrate(variant):
    return "%d kbit/s" % variant["bitrate"] if variant["bitrate"] else "? kbit/s"
