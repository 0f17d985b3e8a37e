#!/usr/bin/env python3
"""Writes the atlases the texture atlas tests load, and what each frame must look like drawn.

Two pages, both with odd sides, built here from pictures defined here:

- texturepacker.png (61 x 45) with texturepacker-hash.json and texturepacker-array.json, the two
  JSON forms TexturePacker writes: frames packed edge to edge without padding, plain, trimmed,
  stored turned (TexturePacker turns a frame a quarter clockwise, and its "frame" w and h stay the
  picture's own upright size, so it covers h x w pixels of the page), and trimmed and turned. Two
  frames lie on the page's left and right edges at the same rows, one against the top left frame
  across the bottom edge: GL_REPEAT puts them side by side for filtering too. One frame, turned and
  trimmed, lies apart from the others.
- aseprite.png (41 x 13) with aseprite.json, Aseprite's array form as written by
  `aseprite -b walk.aseprite --sheet-type horizontal --trim --inner-padding 1 --shape-padding 1
  --border-padding 1 --list-tags --format json-array`: each frame's "frame" is its cell, one
  transparent pixel larger on every side than the picture (spriteSourceSize); frame 3 is empty and
  kept as one transparent pixel, as Aseprite keeps such frames.

Their frames are named pic1-... to pic12-..., so that an animation can take them all by the prefix.
expected/NAME.rgb holds frame NAME's untrimmed source picture drawn upright over black: RGB rows
from the top, sourceSize wide and high. It comes from the pictures defined below, never from the
pages, so a frame read at the wrong place, turned the wrong way or mirrored does not match.

Every opaque pixel of a frame has one channel 0 and the other two at 100 or more, and frames that
touch on a page (across a page edge too) have different zero channels: a pixel drawn from a frame
whose zero channel is not 0 has taken colour from a neighbour. Transparent pixels are (0, 0, 0, 0).

Run from anywhere; it rewrites its outputs beside itself."""
import json
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png(width, height, rgba):
    """An 8-bit RGBA PNG of rows of (r, g, b, a) tuples."""
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rgba)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


class Picture:
    """A source image: its size, the part trimming keeps, and a pattern no turn or mirror repeats."""

    def __init__(self, name, source, kept, seed, empty=False):
        self.name = name
        self.source_w, self.source_h = source
        self.kept_x, self.kept_y, self.w, self.h = kept
        self.seed = seed
        self.empty = empty
        self.zero = None  # the channel (0 red, 1 green, 2 blue) its opaque pixels leave at 0

    def pixel(self, u, v):
        """The source pixel at (u, v) as (r, g, b, a); transparent outside the kept part."""
        inside = self.kept_x <= u < self.kept_x + self.w and self.kept_y <= v < self.kept_y + self.h
        if self.empty or not inside or (u * 3 + v * 5 + self.seed) % 11 == 0:
            return (0, 0, 0, 0)
        first = 100 + (u * 23 + v * 7 + self.seed * 31) % 156
        second = 100 + (u * 5 + v * 19 + self.seed * 17) % 156
        colour = [first, second]
        colour.insert(self.zero, 0)
        return tuple(colour) + (255,)

    def kept(self, i, j):
        """Pixel (i, j) of the kept part."""
        return self.pixel(self.kept_x + i, self.kept_y + j)

    def expected(self):
        """The source drawn upright over black, as RGB rows from the top."""
        out = bytearray()
        for v in range(self.source_h):
            for u in range(self.source_w):
                r, g, b, a = self.pixel(u, v)
                out += bytes((r, g, b) if a == 255 else (0, 0, 0))
        return bytes(out)


class Placed:
    """A picture's kept part on a page at (x, y), stored turned a quarter clockwise or not."""

    def __init__(self, picture, x, y, rotated=False, padding=0):
        self.picture, self.x, self.y, self.rotated, self.padding = picture, x, y, rotated, padding

    def footprint(self):
        """The cell on the page: x, y, width, height (a turned frame covers h x w)."""
        w, h = self.picture.w, self.picture.h
        if self.rotated:
            w, h = h, w
        return self.x, self.y, w + 2 * self.padding, h + 2 * self.padding

    def paint(self, page):
        p = self.picture
        for j in range(p.h):
            for i in range(p.w):
                # Turned clockwise, the kept part's column i becomes the page's row i, and its
                # bottom row j = h - 1 becomes the first column.
                px, py = (p.h - 1 - j, i) if self.rotated else (i, j)
                page[self.y + self.padding + py][self.x + self.padding + px] = p.kept(i, j)


def touching(a, b, page_w, page_h):
    """True when a texel next to a's footprint (diagonals too, wrapped round the page) is in b's."""
    ax, ay, aw, ah = a.footprint()
    bx, by, bw, bh = b.footprint()
    for x in range(ax - 1, ax + aw + 1):
        for y in range(ay - 1, ay + ah + 1):
            if ax <= x < ax + aw and ay <= y < ay + ah:
                continue
            wx, wy = x % page_w, y % page_h
            if bx <= wx < bx + bw and by <= wy < by + bh:
                return True
    return False


def colour(placed, page_w, page_h):
    """Gives touching frames different zero channels (greedy, in placement order)."""
    for i, a in enumerate(placed):
        taken = {b.picture.zero for b in placed[:i]
                 if touching(a, b, page_w, page_h) or touching(b, a, page_w, page_h)}
        free = [c for c in (2, 0, 1) if c not in taken]
        assert free, "three channels are not enough for " + a.picture.name
        a.picture.zero = free[0]


def check_asymmetric(picture):
    """No mirror or turn of the kept part looks like it, so a wrong one shows."""
    w, h = picture.w, picture.h
    grid = [[picture.kept(i, j) for i in range(w)] for j in range(h)]
    variants = {
        "mirrored": [row[::-1] for row in grid],
        "flipped": grid[::-1],
        "half-turned": [row[::-1] for row in grid[::-1]],
    }
    if w == h:
        variants["turned"] = [[grid[h - 1 - i][j] for i in range(w)] for j in range(h)]
        variants["transposed"] = [[grid[i][j] for i in range(w)] for j in range(h)]
    # One row cannot show a flip, nor one column a mirror.
    if h == 1:
        del variants["flipped"]
    if w == 1:
        del variants["mirrored"]
    for label, variant in variants.items():
        assert picture.empty or variant != grid, picture.name + " looks the same " + label


def write(name, data):
    path = os.path.join(HERE, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def paint_page(width, height, placed):
    page = [[(0, 0, 0, 0)] * width for _ in range(height)]
    cells = []
    for p in placed:
        x, y, w, h = p.footprint()
        assert x >= 0 and y >= 0 and x + w <= width and y + h <= height, p.picture.name
        for other in cells:
            ox, oy, ow, oh = other
            assert x + w <= ox or ox + ow <= x or y + h <= oy or oy + oh <= y, p.picture.name + " overlaps"
        cells.append((x, y, w, h))
        p.paint(page)
    return page


# TexturePacker's page: (picture, x, y, rotated), edge to edge.
PACKER_W, PACKER_H = 61, 45
PACKED = [
    Placed(Picture("pic1-plain.png", (9, 7), (0, 0, 9, 7), 1), 0, 0),
    Placed(Picture("pic2-trimmed.png", (12, 10), (3, 1, 7, 6), 2), 9, 0),
    Placed(Picture("pic3-turned.png", (8, 5), (0, 0, 8, 5), 3), 16, 0, rotated=True),
    Placed(Picture("pic4-turned_trimmed.png", (13, 11), (2, 3, 10, 6), 4), 21, 0, rotated=True),
    Placed(Picture("pic5-thin.png", (9, 1), (0, 0, 9, 1), 5), 27, 0, rotated=True),
    Placed(Picture("pic6-below.png", (11, 8), (0, 2, 11, 5), 6), 0, 7),
    Placed(Picture("pic7-square.png", (6, 6), (0, 0, 6, 6), 7), 11, 8, rotated=True),
    Placed(Picture("pic8-big.png", (20, 16), (1, 2, 17, 12), 8), 30, 10, rotated=True),
    Placed(Picture("pic9-beside.png", (7, 9), (0, 0, 7, 9), 9), 42, 10),
    Placed(Picture("pic10-edge_right.png", (6, 7), (0, 0, 6, 7), 10), 55, 38),
    Placed(Picture("pic11-edge_left.png", (9, 7), (1, 1, 7, 5), 11), 0, 38, rotated=True),
    # Away from every other frame: nothing to inset, so off the texel grid it still shows its own
    # texels where pixel centres meet texel centres. Its sides differ by an even number, so a
    # quarter turn about its centre puts pixel centres on pixel centres.
    Placed(Picture("pic12-alone.png", (11, 9), (1, 2, 9, 6), 12), 48, 27, rotated=True),
]

# Aseprite's horizontal sheet of one 11 x 9 sprite, trimmed, inner, shape and border padding 1.
ASEPRITE_PADDING = 1
ASEPRITE_KEPT = [(0, 0, 11, 9), (2, 1, 7, 7), (1, 3, 9, 5), (0, 0, 1, 1)]
ASEPRITE_DURATIONS = [100, 150, 200, 250]


def aseprite_layout():
    placed, x = [], 1  # the border padding
    for i, kept in enumerate(ASEPRITE_KEPT):
        picture = Picture("walk %d.aseprite" % i, (11, 9), kept, 20 + i, empty=(i == 3))
        placed.append(Placed(picture, x, 1, padding=ASEPRITE_PADDING))
        x += kept[2] + 2 * ASEPRITE_PADDING + 1  # the cell and the shape padding
    width = x - 1 + 1  # no shape padding after the last cell; the border instead
    height = 1 + max(k[3] for k in ASEPRITE_KEPT) + 2 * ASEPRITE_PADDING + 1
    return placed, width, height


def rect(x, y, w, h):
    return '{"x":%d,"y":%d,"w":%d,"h":%d}' % (x, y, w, h)


def packer_entry(p):
    """One frame's fields as TexturePacker writes them (tab-indented, one field a line)."""
    pic = p.picture
    trimmed = (pic.kept_x, pic.kept_y, pic.w, pic.h) != (0, 0, pic.source_w, pic.source_h)
    fields = [
        '"frame": ' + rect(p.x, p.y, pic.w, pic.h),
        '"rotated": ' + ("true" if p.rotated else "false"),
        '"trimmed": ' + ("true" if trimmed else "false"),
        '"spriteSourceSize": ' + rect(pic.kept_x, pic.kept_y, pic.w, pic.h),
        '"sourceSize": {"w":%d,"h":%d}' % (pic.source_w, pic.source_h),
        '"pivot": {"x":0.5,"y":0.5}',
    ]
    return fields


PACKER_META = ('"meta": {\n\t"app": "https://www.codeandweb.com/texturepacker",\n\t"version": "1.0",\n'
               '\t"image": "texturepacker.png",\n\t"format": "RGBA8888",\n\t"size": {"w":%d,"h":%d},\n'
               '\t"scale": "1",\n\t"smartupdate": "$TexturePacker:SmartUpdate:0c4e7a1d3f$"\n}\n}\n'
               % (PACKER_W, PACKER_H))


def packer_hash():
    blocks = ['"%s":\n{\n\t%s\n}' % (p.picture.name, ",\n\t".join(packer_entry(p))) for p in PACKED]
    return '{"frames": {\n\n' + ",\n".join(blocks) + "},\n" + PACKER_META


def packer_array():
    blocks = ['{\n\t"filename": "%s",\n\t%s\n}' % (p.picture.name, ",\n\t".join(packer_entry(p))) for p in PACKED]
    return '{"frames": [\n\n' + ",\n".join(blocks) + "],\n" + PACKER_META


def aseprite_json(placed, width, height):
    blocks = []
    for p, duration in zip(placed, ASEPRITE_DURATIONS):
        pic = p.picture
        x, y, w, h = p.footprint()
        trimmed = (pic.kept_x, pic.kept_y, pic.w, pic.h) != (0, 0, pic.source_w, pic.source_h)
        blocks.append(
            '   {\n    "filename": "%s",\n    "frame": { "x": %d, "y": %d, "w": %d, "h": %d },\n'
            '    "rotated": false,\n    "trimmed": %s,\n'
            '    "spriteSourceSize": { "x": %d, "y": %d, "w": %d, "h": %d },\n'
            '    "sourceSize": { "w": %d, "h": %d },\n    "duration": %d\n   }'
            % (pic.name, x, y, w, h, "true" if trimmed else "false", pic.kept_x, pic.kept_y, pic.w, pic.h,
               pic.source_w, pic.source_h, duration))
    return ('{ "frames": [\n' + ",\n".join(blocks) + "\n ],\n"
            ' "meta": {\n  "app": "https://www.aseprite.org/",\n  "version": "1.3.7-x64",\n'
            '  "image": "aseprite.png",\n  "format": "RGBA8888",\n  "size": { "w": %d, "h": %d },\n'
            '  "scale": "1",\n  "frameTags": [\n'
            '   { "name": "walk", "from": 0, "to": 3, "direction": "forward", "color": "#000000ff" },\n'
            '   { "name": "back", "from": 1, "to": 2, "direction": "reverse", "color": "#000000ff" }\n  ],\n'
            '  "layers": [\n   { "name": "Layer 1", "opacity": 255, "blendMode": "normal" }\n  ],\n'
            '  "slices": [\n  ]\n }\n}\n' % (width, height))


def main():
    colour(PACKED, PACKER_W, PACKER_H)
    aseprite, ase_w, ase_h = aseprite_layout()
    colour(aseprite, ase_w, ase_h)
    assert PACKER_W % 2 == 1 and PACKER_H % 2 == 1 and ase_w % 2 == 1 and ase_h % 2 == 1
    for p in PACKED + aseprite:
        check_asymmetric(p.picture)

    write("texturepacker.png", png(PACKER_W, PACKER_H, paint_page(PACKER_W, PACKER_H, PACKED)))
    write("texturepacker-hash.json", packer_hash())
    write("texturepacker-array.json", packer_array())
    write("aseprite.png", png(ase_w, ase_h, paint_page(ase_w, ase_h, aseprite)))
    write("aseprite.json", aseprite_json(aseprite, ase_w, ase_h))
    for p in PACKED + aseprite:
        write(os.path.join("expected", p.picture.name + ".rgb"), p.picture.expected())
    # The descriptors parse as JSON and name every expected picture.
    for name in ("texturepacker-hash.json", "texturepacker-array.json", "aseprite.json"):
        with open(os.path.join(HERE, name)) as f:
            json.load(f)


if __name__ == "__main__":
    main()
