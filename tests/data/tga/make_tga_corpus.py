#!/usr/bin/env python3
"""Writes true-colour TGA files (types 2 and 10, 24 and 32 bits) starting from each of the four
corners the image descriptor can name, each beside the picture they all show as raw red, green,
blue, alpha bytes (NAME.rgba, top row first, left to right). Every file of one depth shows the same
picture: only the order its pixels are written in differs, so a reader that ignores the origin bits
shows it turned or mirrored. The picture is 7 by 5 (odd sides) and asymmetric. Run from anywhere; it
writes into its own folder."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
WIDTH, HEIGHT = 7, 5
ORIGINS = {"bottom_left": 0x00, "bottom_right": 0x10, "top_left": 0x20, "top_right": 0x30}


def picture(x, y):
    """Red grows to the right, green downwards; blue marks the top-left corner; alpha varies."""
    return (x * 36, y * 60, 255 if (x, y) == (0, 0) else 40, 255 - x * 10 - y * 20)


def file_order(bits):
    """The rows and columns in the order a file of that origin writes them."""
    from_top, from_right = bits & 0x20, bits & 0x10
    rows = range(HEIGHT) if from_top else range(HEIGHT - 1, -1, -1)
    columns = range(WIDTH - 1, -1, -1) if from_right else range(WIDTH)
    return [(x, y) for y in rows for x in columns]


def encode_rle(pixels, size):
    """Run packets for repeated pixels, raw packets otherwise; packets cross rows."""
    out, i = bytearray(), 0
    while i < len(pixels):
        run = 1
        while i + run < len(pixels) and run < 128 and pixels[i + run] == pixels[i]:
            run += 1
        if run > 1:
            out.append(0x80 | (run - 1))
            out += pixels[i]
            i += run
            continue
        raw = 1
        while i + raw < len(pixels) and raw < 128 and pixels[i + raw] != pixels[i + raw - 1]:
            raw += 1
        out.append(raw - 1)
        for p in pixels[i:i + raw]:
            out += p
        i += raw
    return bytes(out)


def write(name, kind, depth, origin):
    order = file_order(ORIGINS[origin])
    size = depth // 8
    pixels = []
    for x, y in order:
        r, g, b, a = picture(x, y)
        # A run of equal pixels along the bottom row gives the run-length kind something to join.
        if y == HEIGHT - 1 and x < 4:
            r, g, b, a = 9, 99, 199, 255
        pixels.append(bytes((b, g, r, a)[:size]))
    descriptor = ORIGINS[origin] | (8 if depth == 32 else 0)
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, kind, 0, 0, 0, 0, 0, WIDTH, HEIGHT, depth, descriptor)
    body = b"".join(pixels) if kind == 2 else encode_rle(pixels, size)
    with open(os.path.join(HERE, name + ".tga"), "wb") as f:
        f.write(header + body)


def write_expected(name, depth):
    out = bytearray()
    for y in range(HEIGHT):
        for x in range(WIDTH):
            r, g, b, a = picture(x, y)
            if y == HEIGHT - 1 and x < 4:
                r, g, b, a = 9, 99, 199, 255
            out += bytes((r, g, b, a if depth == 32 else 255))
    with open(os.path.join(HERE, name + ".rgba"), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    for depth in (24, 32):
        write_expected("picture_%d" % depth, depth)
        for kind, label in ((2, "plain"), (10, "rle")):
            for origin in ORIGINS:
                write("%s_%d_%s" % (label, depth, origin), kind, depth, origin)
