#!/usr/bin/env python3
"""Builds lcd/lcd_font.cc, the panel's 256-glyph 8x8 font in the code page
437 layout, from an 8x8 Linux console font with a Unicode table.

The default sources are FullGreek-VGA8 and, for the letters it lacks,
Uni2-VGA8 of Debian's console-setup-linux package (its copyright file:
"All console fonts are public domain by nature"). Get them without
installing the package:

    apt-get download console-setup-linux
    dpkg-deb -x console-setup-linux_*_all.deb /tmp/csl
    lcd/font/make_font.py --fonts /tmp/csl/usr/share/consolefonts

Each code is looked up by its Unicode character in the fonts in turn (with
a few look-alike fallbacks); glyph_overrides.txt beside this script
supplies the panel's own shapes and the signs the fonts lack. Codes 0, 32
and 255 are always blank. The script refuses to write a font with a glyph
missing or blank, or with two codes sharing one shape.
"""
import argparse
import gzip
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_FONT_DIR = "/usr/share/consolefonts"
FONT_FILES = ("FullGreek-VGA8.psf.gz", "Uni2-VGA8.psf.gz")
DEFAULT_OUT = os.path.join(HERE, "..", "lcd_font.cc")

# The graphic symbols that code page 437 shows at the control codes.
CONTROL_GLYPHS = ("\u0000☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼")
# Look-alikes to try when a font has no glyph for the exact character.
FALLBACKS = {"⌂": "△"}
BLANK_CODES = (0x00, 0x20, 0xFF)


def cp437_char(code):
    if code < 32:
        return CONTROL_GLYPHS[code]
    if code == 127:
        return "⌂"
    return bytes([code]).decode("cp437")


def load_psf(path):
    """Returns (glyph bytes, {codepoint: glyph index}) of an 8x8 psf font."""
    try:
        data = open(path, "rb").read()
    except OSError as err:
        sys.exit(f"{path}: {err.strerror}; unpack console-setup-linux and pass --fonts (see --help)")
    if path.endswith(".gz"):
        data = gzip.decompress(data)
    table = {}
    if data[:2] == b"\x36\x04":  # psf1
        mode, height = data[2], data[3]
        count = 512 if mode & 1 else 256
        width, size, start = 8, height, 4
        glyphs = data[start:start + count * size]
        rest = data[start + count * size:] if mode & 6 else b""
        index, pos, in_sequences = 0, 0, False
        while index < count and pos + 1 < len(rest):
            (u,) = struct.unpack_from("<H", rest, pos)
            pos += 2
            if u == 0xFFFF:
                index, in_sequences = index + 1, False
            elif u == 0xFFFE:
                in_sequences = True  # combining sequences follow: no single characters
            elif not in_sequences:
                table.setdefault(u, index)
    elif data[:4] == b"\x72\xb5\x4a\x86":  # psf2
        _, _, start, flags, count, size, height, width = struct.unpack_from("<8I", data)
        glyphs = data[start:start + count * size]
        rest = data[start + count * size:] if flags & 1 else b""
        index, pos = 0, 0
        while index < count and pos < len(rest):
            end = rest.index(b"\xff", pos)
            singles = rest[pos:end].split(b"\xfe")[0].decode("utf-8", "replace")
            for ch in singles:
                table.setdefault(ord(ch), index)
            pos, index = end + 1, index + 1
    else:
        sys.exit(f"{path}: not a console font (psf)")
    if width != 8 or height != 8 or size != 8:
        sys.exit(f"{path}: glyphs are {width}x{height}, an 8x8 font is needed")
    if not table:
        sys.exit(f"{path}: the font has no Unicode table")
    return glyphs, table


def load_overrides(path):
    """Parses glyph_overrides.txt into {code: 8 row bytes}."""
    overrides, code, rows = {}, None, []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.strip()
        if not line or line.startswith("#") and not set(line) <= set("#."):
            continue
        if line.startswith("code "):
            code, rows = int(line.split()[1], 16), []
            continue
        if code is None or len(line) != 8 or not set(line) <= set("#."):
            sys.exit(f"{path}:{number}: expected a row of eight '#' or '.'")
        rows.append(int(line.replace("#", "1").replace(".", "0"), 2))
        if len(rows) == 8:
            overrides[code], code = bytes(rows), None
    if code is not None:
        sys.exit(f"{path}: glyph 0x{code:02X} has fewer than eight rows")
    return overrides


def build(font_paths, overrides_path):
    fonts = [load_psf(path) for path in font_paths]
    overrides = load_overrides(overrides_path)
    font, missing = [], []
    for code in range(256):
        if code in BLANK_CODES:
            font.append(bytes(8))
            continue
        if code in overrides:
            font.append(overrides[code])
            continue
        ch = cp437_char(code)
        glyph = None
        for candidate in ch + FALLBACKS.get(ch, ""):
            for glyphs, table in fonts:
                if ord(candidate) in table:
                    index = table[ord(candidate)]
                    glyph = glyphs[index * 8:index * 8 + 8]
                    break
            if glyph is not None:
                break
        if glyph is None:
            missing.append(f"0x{code:02X} {ch}")
            glyph = bytes(8)
        font.append(glyph)
    if missing:
        sys.exit("no glyph for " + ", ".join(missing) + "; add them to " + overrides_path)
    blank = [f"0x{c:02X}" for c, g in enumerate(font) if c not in BLANK_CODES and not any(g)]
    if blank:
        sys.exit("blank glyphs: " + ", ".join(blank))
    seen, shared = {}, []
    for code, glyph in enumerate(font):
        if code in BLANK_CODES:
            continue
        if glyph in seen:
            shared.append(f"0x{seen[glyph]:02X}/0x{code:02X}")
        seen.setdefault(glyph, code)
    if shared:
        sys.exit("codes sharing one shape: " + ", ".join(shared) + "; draw one of each in " + overrides_path)
    return font


def write_source(font, out_path, font_paths):
    lines = [
        "// Generated by lcd/font/make_font.py from "
        + ", ".join(os.path.basename(p) for p in font_paths) + " and lcd/font/glyph_overrides.txt.",
        "// Do not edit by hand: change the overrides and run the script again.",
        '#include "lcd/lcd_font.h"',
        "",
        "const unsigned char lcd_font[256 * 8] = {",
    ]
    for code, glyph in enumerate(font):
        cells = ", ".join(f"0x{b:02X}" for b in glyph)
        ch = cp437_char(code)
        label = f"U+{ord(ch):04X}" if code not in BLANK_CODES else "blank"
        lines.append(f"    {cells},  // 0x{code:02X} {label}")
    lines.append("};")
    with open(out_path, "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--fonts", default=DEFAULT_FONT_DIR,
                        help="folder holding " + " and ".join(FONT_FILES))
    parser.add_argument("--overrides", default=os.path.join(HERE, "glyph_overrides.txt"))
    parser.add_argument("--out", default=DEFAULT_OUT, help="C++ file to write")
    args = parser.parse_args()
    font_paths = [os.path.join(args.fonts, name) for name in FONT_FILES]
    font = build(font_paths, args.overrides)
    write_source(font, args.out, font_paths)
    print("wrote " + os.path.normpath(args.out))


if __name__ == "__main__":
    main()
