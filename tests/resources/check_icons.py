#!/usr/bin/env python3
"""Checks what resources/make_icons.py writes: the file layout that windres
and LoadIcon/LoadCursor read, and the pixels around the cursor's hot spot.

    check_icons.py PATH/TO/make_icons.py
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

GENERATOR = None

STANDARD16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def run(generator, outdir):
    return subprocess.run([sys.executable, generator, outdir], capture_output=True, text=True)


class Image:
    """One image of an ICO/CUR file, decoded independently of the generator."""

    def __init__(self, data):
        self.reserved, self.kind, self.count = struct.unpack_from("<HHH", data, 0)
        (self.width, self.height, self.colours, self.entry_reserved, self.field1, self.field2,
         self.size, self.offset) = struct.unpack_from("<BBBBHHII", data, 6)
        (self.header_size, self.bmp_width, self.bmp_height, self.planes, self.bits,
         self.compression, self.image_size, _, _, self.used, _) = struct.unpack_from(
            "<IiiHHIIiiII", data, self.offset)
        entries = self.used or (1 << self.bits)
        base = self.offset + self.header_size
        self.palette = [struct.unpack_from("<BBBB", data, base + 4 * i) for i in range(entries)]
        self.xor_offset = base + 4 * entries
        self.xor_stride = (self.bmp_width * self.bits + 31) // 32 * 4
        self.and_offset = self.xor_offset + self.xor_stride * self.width
        self.and_stride = (self.bmp_width + 31) // 32 * 4
        self.data = data

    def _bits(self, offset, stride, bits, x, y):
        row = offset + (self.width - 1 - y) * stride  # bottom-up
        pos = x * bits
        byte = self.data[row + pos // 8]
        return (byte >> (8 - bits - pos % 8)) & ((1 << bits) - 1)

    def colour(self, x, y):
        return self._bits(self.xor_offset, self.xor_stride, self.bits, x, y)

    def masked(self, x, y):
        return self._bits(self.and_offset, self.and_stride, 1, x, y) == 1

    def opaque(self, x, y):
        return not self.masked(x, y)


class GeneratedFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        result = run(GENERATOR, cls.tmp)
        if result.returncode != 0:
            raise AssertionError("generator failed: " + result.stderr)
        with open(os.path.join(cls.tmp, "mainicon.ico"), "rb") as f:
            cls.icon_bytes = f.read()
        with open(os.path.join(cls.tmp, "handpoint.cur"), "rb") as f:
            cls.cursor_bytes = f.read()
        cls.icon = Image(cls.icon_bytes)
        cls.cursor = Image(cls.cursor_bytes)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def check_layout(self, image, data, kind, bits):
        self.assertEqual((image.reserved, image.kind, image.count), (0, kind, 1))
        self.assertEqual((image.width, image.height, image.entry_reserved), (32, 32, 0))
        self.assertEqual(image.offset, 22)
        self.assertEqual(image.offset + image.size, len(data))
        self.assertEqual(image.header_size, 40)
        # The DIB's height covers the colour bits and the mask.
        self.assertEqual((image.bmp_width, image.bmp_height, image.planes), (32, 64, 1))
        self.assertEqual((image.bits, image.compression), (bits, 0))
        xor = image.xor_stride * 32
        mask = image.and_stride * 32
        self.assertEqual(image.image_size, xor + mask)
        self.assertEqual(image.size, 40 + 4 * len(image.palette) + xor + mask)

    def test_icon_is_one_32x32_image_in_16_colours(self):
        self.check_layout(self.icon, self.icon_bytes, 1, 4)
        self.assertEqual(self.icon.colours, 16)
        self.assertEqual((self.icon.field1, self.icon.field2), (1, 4))  # planes, bit count
        self.assertEqual(len(self.icon_bytes), 22 + 40 + 64 + 512 + 128)
        self.assertEqual([(r, g, b) for b, g, r, _ in self.icon.palette], STANDARD16)
        self.assertTrue(all(q[3] == 0 for q in self.icon.palette))

    def test_icon_is_drawn_and_transparent_at_the_corners(self):
        colours = {self.icon.colour(x, y) for y in range(32) for x in range(32) if self.icon.opaque(x, y)}
        self.assertGreaterEqual(len(colours), 4)
        for x, y in ((0, 0), (31, 0), (0, 31), (31, 31)):
            self.assertTrue(self.icon.masked(x, y), (x, y))
            # Transparent pixels carry black so that they show the screen.
            self.assertEqual(self.icon.colour(x, y), 0, (x, y))

    def test_cursor_is_one_32x32_image_in_2_colours_with_the_hot_spot_at_7_1(self):
        self.check_layout(self.cursor, self.cursor_bytes, 2, 1)
        self.assertEqual(self.cursor.colours, 2)
        self.assertEqual((self.cursor.field1, self.cursor.field2), (7, 1))
        self.assertEqual(len(self.cursor_bytes), 22 + 40 + 8 + 128 + 128)
        self.assertEqual([(r, g, b) for b, g, r, _ in self.cursor.palette], [(0, 0, 0), (255, 255, 255)])

    def test_hot_spot_is_the_top_of_the_finger(self):
        c = self.cursor
        self.assertTrue(c.opaque(7, 1))
        self.assertEqual(c.colour(7, 1), 0)  # the black outline
        # Nothing of the cursor is above the tip or in the row of the tip
        # outside the finger.
        self.assertFalse(any(c.opaque(x, 0) for x in range(32)))
        tip_row = [x for x in range(32) if c.opaque(x, 1)]
        self.assertTrue(min(tip_row) <= 7 <= max(tip_row))
        self.assertLessEqual(max(tip_row) - min(tip_row), 4)
        # A white finger runs down from the tip.
        self.assertTrue(all(c.opaque(7, y) and c.colour(7, y) == 1 for y in range(2, 8)))
        # The hand is below and right of the tip, mostly white inside.
        white = sum(1 for y in range(32) for x in range(32) if c.opaque(x, y) and c.colour(x, y) == 1)
        self.assertGreater(white, 150)


class BrokenArt(unittest.TestCase):
    """The generator refuses art that is not 32 x 32 or has unknown pixels."""

    def run_with(self, name, edit):
        with tempfile.TemporaryDirectory() as tmp:
            src = os.path.dirname(os.path.abspath(GENERATOR))
            for f in ("make_icons.py", "mainicon.txt", "handpoint.txt"):
                shutil.copy(os.path.join(src, f), tmp)
            path = os.path.join(tmp, name)
            with open(path) as f:
                lines = f.read().split("\n")
            with open(path, "w") as f:
                f.write("\n".join(edit(lines)))
            out = os.path.join(tmp, "out")
            result = run(os.path.join(tmp, "make_icons.py"), out)
            return result, os.path.exists(os.path.join(out, "handpoint.cur"))

    def test_short_line(self):
        def edit(lines):
            i = next(i for i, l in enumerate(lines) if l and not l.startswith(";"))
            lines[i] = lines[i][:-1]
            return lines
        result, written = self.run_with("mainicon.txt", edit)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("31 characters", result.stderr)
        self.assertFalse(written)

    def test_missing_row(self):
        result, written = self.run_with("handpoint.txt", lambda lines: lines[:-3] + lines[-2:])
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("31 rows", result.stderr)
        self.assertFalse(written)

    def test_unknown_pixel(self):
        def edit(lines):
            i = next(i for i, l in enumerate(lines) if l and not l.startswith(";"))
            lines[i] = "Z" + lines[i][1:]
            return lines
        result, written = self.run_with("handpoint.txt", edit)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("'Z'", result.stderr)
        self.assertFalse(written)

    def test_no_hot_spot(self):
        result, _ = self.run_with("handpoint.txt", lambda lines: [l for l in lines if "hotspot" not in l])
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("hotspot", result.stderr)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.stderr.write("usage: check_icons.py PATH/TO/make_icons.py\n")
        sys.exit(2)
    GENERATOR = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
