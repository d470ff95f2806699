#!/usr/bin/env python3
"""Writes the program's icon and the link label's cursor from their text art.

    make_icons.py OUTDIR

reads mainicon.txt and handpoint.txt next to this script and writes
OUTDIR/mainicon.ico (one 32x32 image, 16 colours) and OUTDIR/handpoint.cur
(one 32x32 image, 2 colours, hot spot at the tip of the finger).

Art files: 32 lines of 32 characters, one character per pixel, top row first.
Icon: a hexadecimal digit is an index into the standard 16-colour palette,
"." is transparent. Cursor: "X" black, "o" white, "." transparent,
"~" inverts the screen. A line starting with ";" is a comment, and a cursor
file names its hot spot in one comment line, "; hotspot X Y".
"""
import os
import struct
import sys

SIZE = 32

# The standard 16-colour palette (red, green, blue), in index order.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
PALETTE2 = [(0, 0, 0), (255, 255, 255)]

# Cursor pixels as (colour index, mask bit): a set mask bit shows the screen,
# inverted where the colour index is 1.
CURSOR_PIXELS = {"X": (0, 0), "o": (1, 0), ".": (0, 1), "~": (1, 1)}


class ArtError(Exception):
    pass


def read_art(path):
    """The art's pixel rows and its comment lines."""
    rows, comments = [], []
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if line.startswith(";"):
                comments.append(line[1:].strip())
                continue
            if len(line) != SIZE:
                raise ArtError(f"{path}:{number}: {len(line)} characters, not {SIZE}")
            rows.append(line)
    if len(rows) != SIZE:
        raise ArtError(f"{path}: {len(rows)} rows, not {SIZE}")
    return rows, comments


def pack_rows(rows, bits):
    """Bottom-up DIB rows of `bits` per pixel, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        value, count, line = 0, 0, bytearray()
        for pixel in row:
            value = (value << bits) | pixel
            count += bits
            if count == 8:
                line.append(value)
                value, count = 0, 0
        assert count == 0
        line.extend(b"\0" * (-len(line) % 4))
        out += line
    return bytes(out)


def image(colours, mask, bits, palette):
    """BITMAPINFOHEADER (height doubled for the mask), palette, XOR bits, AND mask."""
    xor = pack_rows(colours, bits)
    and_ = pack_rows(mask, 1)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, bits, 0,
                         len(xor) + len(and_), 0, 0, len(palette), 0)
    quads = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + quads + xor + and_


def directory(kind, colour_count, field1, field2, data):
    """ICONDIR with one entry; for a cursor field1/field2 are the hot spot."""
    return (struct.pack("<HHH", 0, kind, 1) +
            struct.pack("<BBBBHHII", SIZE, SIZE, colour_count, 0, field1, field2, len(data), 22) +
            data)


def make_icon(rows):
    colours, mask = [], []
    for y, row in enumerate(rows):
        crow, mrow = [], []
        for x, ch in enumerate(row):
            if ch == ".":
                crow.append(0)
                mrow.append(1)
            elif ch in "0123456789abcdefABCDEF":
                crow.append(int(ch, 16))
                mrow.append(0)
            else:
                raise ArtError(f"icon pixel {x},{y}: unknown character {ch!r}")
        colours.append(crow)
        mask.append(mrow)
    return directory(1, 16, 1, 4, image(colours, mask, 4, PALETTE16))


def make_cursor(rows, comments):
    hotspot = None
    for comment in comments:
        words = comment.split()
        if len(words) == 3 and words[0] == "hotspot":
            hotspot = (int(words[1]), int(words[2]))
    if hotspot is None or not all(0 <= v < SIZE for v in hotspot):
        raise ArtError("cursor: no valid '; hotspot X Y' line")
    colours, mask = [], []
    for y, row in enumerate(rows):
        try:
            pixels = [CURSOR_PIXELS[ch] for ch in row]
        except KeyError as e:
            raise ArtError(f"cursor row {y}: unknown character {e.args[0]!r}") from None
        colours.append([c for c, _ in pixels])
        mask.append([m for _, m in pixels])
    return directory(2, 2, hotspot[0], hotspot[1], image(colours, mask, 1, PALETTE2))


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icons.py OUTDIR\n")
        return 2
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = argv[1]
    try:
        icon = make_icon(read_art(os.path.join(here, "mainicon.txt"))[0])
        cursor = make_cursor(*read_art(os.path.join(here, "handpoint.txt")))
    except (ArtError, OSError) as e:
        sys.stderr.write(f"make_icons.py: {e}\n")
        return 1
    os.makedirs(outdir, exist_ok=True)
    for name, data in (("mainicon.ico", icon), ("handpoint.cur", cursor)):
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
