#!/usr/bin/env python3
"""Writes Data/Gallery/tiles.png, the picture the shader gallery's textured shaders read: a 256 by 256
floor of light stone tiles in a checker of two tones, each tile with its own shade, speckles and worn
corners, between darker grout lines. Light on purpose: the height-field shader multiplies its water,
grass, rock and snow by the texture, and a dark picture would hide them.

    python3 tools/make_gallery_texture.py [path to Data]

Standard library only; the same file every run (a fixed random seed)."""
import os
import random
import struct
import sys
import zlib

SIZE = 256
TILE = 32  # eight tiles a side: the texture repeats cleanly at its edges
GROUT = 2


def png(path, width, height, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    data = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Data")
    rng = random.Random(31)
    tones = [(232, 224, 206), (196, 190, 180)]  # cream and warm grey
    shade = {}
    for ty in range(SIZE // TILE):
        for tx in range(SIZE // TILE):
            shade[(tx, ty)] = rng.uniform(-14, 14)
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            tx, ty = x // TILE, y // TILE
            u, v = x % TILE, y % TILE
            noise = rng.uniform(-9, 9)
            if u < GROUT or v < GROUT:
                colour = [110 + noise, 104 + noise, 98 + noise]
            else:
                base = tones[(tx + ty) % 2]
                # Worn corners and a soft bevel along the grout.
                edge = min(u - GROUT, v - GROUT, TILE - 1 - u, TILE - 1 - v)
                bevel = -18 if edge == 0 else (-8 if edge == 1 else 0)
                speck = -40 if rng.random() < 0.015 else 0
                colour = [c + shade[(tx, ty)] + noise + bevel + speck for c in base]
            row.extend(max(0, min(255, int(round(c)))) for c in colour)
        rows.append(row)
    folder = os.path.join(data, "Gallery")
    os.makedirs(folder, exist_ok=True)
    png(os.path.join(folder, "tiles.png"), SIZE, SIZE, rows)


if __name__ == "__main__":
    main()
