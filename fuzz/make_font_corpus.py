#!/usr/bin/env python3
"""Writes the seed corpus of the font fuzz target into fuzz/corpus_fonts/ (run from anywhere).

Minimal TrueType files built table by table: a well-formed one with a triangle for 'A' and 'V', one
whose only glyph spans 64000 units of a 16-unit em (a glyph no texture page can hold), one whose
glyph has height but no width, and a truncated copy. The tests load huge_glyph.ttf too."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def table_directory(tables):
    tags = sorted(tables)
    offset = 12 + 16 * len(tags)
    head = struct.pack(">IHHHH", 0x00010000, len(tags), 16, 0, 0)
    directory, body = b"", b""
    for tag in tags:
        data = tables[tag]
        padded = data + bytes((4 - len(data) % 4) % 4)
        directory += struct.pack(">4sIII", tag.encode(), 0, offset + len(body), len(data))
        body += padded
    return head + directory + body


def simple_glyph(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    header = struct.pack(">hhhhh", 1, min(xs), min(ys), max(xs), max(ys))
    contour_ends = struct.pack(">H", len(points) - 1) + struct.pack(">H", 0)  # end index, no instructions
    flags = bytes([1] * len(points))  # on-curve, 16-bit deltas
    deltas_x, deltas_y, last_x, last_y = b"", b"", 0, 0
    for x, y in points:
        deltas_x += struct.pack(">h", x - last_x)
        deltas_y += struct.pack(">h", y - last_y)
        last_x, last_y = x, y
    return header + contour_ends + flags + deltas_x + deltas_y


def font(glyphs, units_per_em=1000, advance=600):
    """glyphs: outlines (lists of points) for glyph 1, 2, ...; glyph 0 is empty. 'A' maps to glyph 1,
    'V' to glyph 2 when there is one."""
    outlines = [b""] + [simple_glyph(g) for g in glyphs]
    glyf, loca = b"", []
    for outline in outlines:
        loca.append(len(glyf))
        glyf += outline + bytes(len(outline) % 2)
    loca.append(len(glyf))
    count = len(outlines)
    head = struct.pack(">IIIIHHqqhhhhHHhhh", 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0, units_per_em, 0, 0,
                       -units_per_em, -units_per_em, units_per_em, units_per_em, 0, 8, 2, 1, 0)
    hhea = struct.pack(">IhhhHhhhhhhhhhhhH", 0x00010000, units_per_em * 4 // 5, -units_per_em // 5, 0,
                       advance, 0, 0, advance, 1, 0, 0, 0, 0, 0, 0, 0, count)
    maxp = struct.pack(">I" + "H" * 14, 0x00010000, count, 64, 4, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0)
    hmtx = b"".join(struct.pack(">Hh", advance, 0) for _ in range(count))
    codes = [0x41, 0x56][: count - 1]
    # cmap format 4: one segment per code, then the closing 0xFFFF segment.
    ends = codes + [0xFFFF]
    starts = codes + [0xFFFF]
    deltas = [(g + 1 - c) & 0xFFFF for g, c in enumerate(codes)] + [1]
    segs = len(ends)
    # format, length (set below), language, segCountX2, searchRange, entrySelector, rangeShift
    sub = struct.pack(">HHHHHHH", 4, 0, 0, segs * 2, 2, 0, 0)
    sub += b"".join(struct.pack(">H", e) for e in ends) + b"\x00\x00"
    sub += b"".join(struct.pack(">H", s) for s in starts)
    sub += b"".join(struct.pack(">H", d) for d in deltas)
    sub += bytes(2 * segs)
    sub = sub[:2] + struct.pack(">H", len(sub)) + sub[4:]
    cmap = struct.pack(">HHHHI", 0, 1, 3, 1, 12) + sub
    name = struct.pack(">HHH", 0, 0, 6)
    tables = {"head": head, "hhea": hhea, "maxp": maxp, "hmtx": hmtx, "loca": struct.pack(">%dI" % len(loca), *loca),
              "glyf": glyf, "cmap": cmap, "name": name}
    return table_directory(tables)


TRIANGLE = [(50, 0), (550, 0), (300, 700)]
SEEDS = {
    "triangles.ttf": font([TRIANGLE, [(0, 700), (600, 700), (300, 0)]]),
    "huge_glyph.ttf": font([[(-16000, -16000), (16000, -16000), (0, 16000)]], units_per_em=16, advance=16),
    "no_width.ttf": font([[(300, 0), (300, 0), (300, 700)]]),
}
SEEDS["truncated.ttf"] = SEEDS["triangles.ttf"][:150]


def main():
    out = os.path.join(HERE, "corpus_fonts")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
