#!/usr/bin/env python3
"""Runs quorvi-gallery under Wine, saves its window as build/artifacts/gallery.png
and checks the looks of the controls at known points of the picture."""
import os
import subprocess
import sys
import unittest

BUILD = os.environ["QUORVI_BUILD"]
WINE = os.environ["QUORVI_WINE"]
ARTIFACTS = os.path.join(BUILD, "artifacts")
SHOT = os.path.join(ARTIFACTS, "gallery.png")


def pixel(x, y):
    out = subprocess.run(["convert", SHOT, "-format", "%%[fx:int(255*p{%d,%d}.r)],%%[fx:int(255*p{%d,%d}.g)],"
                          "%%[fx:int(255*p{%d,%d}.b)]" % (x, y, x, y, x, y), "info:"],
                         check=True, capture_output=True, text=True, timeout=60).stdout
    return tuple(int(v) for v in out.strip().split(","))


def region(left, top, width, height):
    """(x, y, (r, g, b)) for every pixel of a rectangle of the screenshot."""
    out = subprocess.run(["convert", SHOT, "-crop", "%dx%d+%d+%d" % (width, height, left, top), "+repage",
                          "-depth", "8", "txt:-"], check=True, capture_output=True, text=True, timeout=60).stdout
    for line in out.splitlines()[1:]:
        where, _, rest = line.partition(":")
        x, y = (int(v) for v in where.split(","))
        values = rest.split("(")[1].split(")")[0].split(",")
        yield left + x, top + y, tuple(int(float(v)) for v in values[:3])


def hex_rgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


class GalleryScreenshot(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(ARTIFACTS, exist_ok=True)
        if os.path.exists(SHOT):
            os.remove(SHOT)
        cls.run_result = subprocess.run(
            [WINE, os.path.join(BUILD, "bin", "quorvi-gallery.exe"), "--screenshot", "Z:" + SHOT.replace("/", "\\")],
            stdin=subprocess.DEVNULL, capture_output=True, timeout=180)

    def test_saves_the_window(self):
        self.assertEqual(self.run_result.returncode, 0, self.run_result.stderr)
        size = subprocess.run(["identify", "-format", "%w %h", SHOT], check=True, capture_output=True,
                              text=True, timeout=60).stdout
        self.assertEqual(size, "580 598")

    def test_controls_show_their_looks(self):
        self.assertEqual(self.run_result.returncode, 0)
        cases = [
            ("install button, normal slice", 210, 310, "#329ED9"),
            ("close button, normal slice", 540, 30, "#489DE0"),
            ("close button's cross", 532 + 22, 17, "#FFFFFF"),
            ("change-folder button, normal shows slice 1", 458, 450, "#EEEEEE"),
            ("change-folder border", 453, 460, "#B7B7B7"),
            ("folder box frame", 45, 460, "#B7B7B7"),
            ("folder box inside", 300, 450, "#FFFFFF"),
            ("lower band", 300, 590, "#F5F5F5"),
            ("feature icon square", 59, 131, "#329ED9"),
            ("feature icon disc", 58 + 32, 130 + 8, "#58AA84"),
            ("custom toggle ground", 486, 376, "#FAFAFA"),
        ]
        for what, x, y, colour in cases:
            with self.subTest(what):
                self.assertEqual(pixel(x, y), hex_rgb(colour))

    def test_close_buttons_rightmost_columns_show_the_artwork(self):
        # the close button is 48 wide and its slices 46: columns 578 and 579 are the page picture
        for x in (578, 579):
            r, g, b = pixel(x, 30)
            self.assertNotEqual((r, g, b), hex_rgb("#489DE0"))
            self.assertGreater(b, r)  # the blue artwork, not a grey system face

    def test_link_is_blue_underlined_text(self):
        # the link's host is (72,370)-(150,390); its underline is one full row of pure blue
        rows = {}
        for x, y, colour in region(72, 370, 78, 20):
            if colour == (0, 0, 255):
                rows[y] = rows.get(y, 0) + 1
        self.assertTrue(rows)
        self.assertGreaterEqual(max(rows.values()), 30)


if __name__ == "__main__":
    sys.exit(unittest.main())
