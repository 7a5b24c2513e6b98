"""Damaged station pages, for trying a reader's failure paths."""

import random
import zlib

import catalogue as cat
import page_writer as pw

PAGE_MODES = ("normal", "truncated", "binary", "longlines")


def page_body(mode, genre, stations, page, long_line_bytes):
    """The station page as sent in the given mode; `page` is the sound one,
    `stations()` the genre's stations (asked only where the mode needs them)."""
    if mode == "truncated":
        return truncated(page)
    if mode == "binary":
        return binary(genre)
    if mode == "longlines":
        return long_lines(stations(), long_line_bytes)
    return page


def truncated(page):
    """The page cut off in the middle of a station's name, about halfway."""
    at = page.find(b'name="', len(page) // 2)
    if at < 0:
        at = page.rfind(b'name="')
    if at < 0:
        return page[:len(page) // 2]
    return page[:at + 8]


def binary(genre):
    """Deterministic junk: NULs, bytes that are no UTF-8, lone CRs and
    unclosed attribute fragments, without a single sound station line."""
    rng = random.Random(zlib.crc32(genre.encode("utf-8", "surrogateescape")))
    pieces = [b"\x00\xff\xfe\x89PNG\r\n\x1a\n"]
    for _ in range(64):
        pieces.append(bytes(rng.randrange(256) for _ in range(rng.randrange(1, 200))))
        pieces.append(rng.choice([b'name="', b'br="', b'id="', b'genre="', b'\r', b'\x00',
                                  b'<station name="\xc3', b'br="99999999999999999999']))
    return b"".join(pieces)


def long_lines(stations, size):
    """Station lines of many kilobytes, in three shapes taken in turn
    (padding after the attributes, padding before the name, a name that long),
    and last every station again on one single line."""
    pad = "x" * size
    lines = []
    for n, st in enumerate(stations):
        shape = n % 3
        if shape == 0:
            attributes = cat.page_attributes(st) + [("pad", pad)]
        elif shape == 1:
            attributes = [("pad", pad)] + cat.page_attributes(st)
        else:
            attributes = cat.page_attributes(st, name=st.name + " " + pad)
        lines.append(pw.station_element(attributes) + "\n")
    lines.append("".join(pw.station_element(cat.page_attributes(st)) for st in stations) + "\n")
    return pw.station_page(lines)
