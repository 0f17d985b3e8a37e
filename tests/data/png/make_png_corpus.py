#!/usr/bin/env python3
"""Writes PNG files of every colour type and bit depth, with and without a tRNS chunk, each beside
the picture its author means as raw red, green, blue, alpha bytes (NAME.rgba, rows top first).

The expected bytes come from this script's own model of each file, not from any decoder: a grey
sample of depth d is scaled to 0..255 by v * 255 / (2^d - 1), a 16-bit sample is written as b * 257
so that every reading of it gives b, and a tRNS chunk makes the one grey level or colour it names
fully transparent (a palette's tRNS gives each entry its alpha). Sides are odd so that no file is a
power of two. Run from anywhere; it writes into its own folder."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
WIDTH, HEIGHT = 13, 7


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def pack_row(samples, depth):
    """Packs one row of samples (already per channel, in order) at the bit depth."""
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out, acc, bits = bytearray(), 0, 0
    for s in samples:
        acc = (acc << depth) | s
        bits += depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def write_png(name, colour_type, depth, rows, extra=b""):
    raw = b"".join(b"\x00" + pack_row(row, depth) for row in rows)
    ihdr = struct.pack(">IIBBBBB", WIDTH, HEIGHT, depth, colour_type, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")
    with open(os.path.join(HERE, name + ".png"), "wb") as f:
        f.write(data)


def write_expected(name, pixels):
    with open(os.path.join(HERE, name + ".rgba"), "wb") as f:
        f.write(bytes(c for p in pixels for c in p))


def grey_level(x, y, depth):
    levels = 256 if depth == 16 else 1 << depth
    return (x * 5 + y * 3) % levels


def colour_of(x, y):
    return ((x * 19 + y * 7) % 256, (x * 3 + y * 41) % 256, (255 - x * 13 - y * 17) % 256)


def alpha_of(x, y):
    return (x * 20 + y * 11) % 256


def grey_cases():
    for depth in (1, 2, 4, 8, 16):
        for keyed in (False, True):
            name = "grey_%d%s" % (depth, "_trns" if keyed else "")
            top = (1 << depth) - 1 if depth < 16 else 255
            key = 1 % (top + 1)  # a level that occurs in the picture
            rows, expected = [], []
            for y in range(HEIGHT):
                row = []
                for x in range(WIDTH):
                    v = grey_level(x, y, depth)
                    row.append(v * 257 if depth == 16 else v)
                    g = v if depth == 16 else v * 255 // top
                    expected.append((g, g, g, 0 if keyed and v == key else 255))
                rows.append(row)
            trns = chunk(b"tRNS", struct.pack(">H", key * 257 if depth == 16 else key)) if keyed else b""
            write_png(name, 0, depth, rows, trns)
            write_expected(name, expected)


def rgb_cases():
    key = colour_of(2, 1)
    for depth in (8, 16):
        for keyed in (False, True):
            name = "rgb_%d%s" % (depth, "_trns" if keyed else "")
            rows, expected = [], []
            for y in range(HEIGHT):
                row = []
                for x in range(WIDTH):
                    c = colour_of(x, y)
                    row.extend(v * 257 if depth == 16 else v for v in c)
                    expected.append(c + (0 if keyed and c == key else 255,))
                rows.append(row)
            scale = 257 if depth == 16 else 1
            trns = chunk(b"tRNS", struct.pack(">HHH", *(v * scale for v in key))) if keyed else b""
            write_png(name, 2, depth, rows, trns)
            write_expected(name, expected)


def palette_cases():
    for depth in (1, 2, 4, 8):
        for keyed in (False, True):
            name = "palette_%d%s" % (depth, "_trns" if keyed else "")
            count = min(1 << depth, 24)
            palette = [((i * 67) % 256, (i * 151 + 40) % 256, (200 - i * 29) % 256) for i in range(count)]
            # The first entries transparent, partly transparent and opaque; the rest opaque (tRNS may
            # be shorter than the palette).
            alphas = [0, 128, 255, 64][: min(count, 4)] if keyed else []
            rows, expected = [], []
            for y in range(HEIGHT):
                row = []
                for x in range(WIDTH):
                    i = (x + 3 * y) % count
                    row.append(i)
                    expected.append(palette[i] + (alphas[i] if i < len(alphas) else 255,))
                rows.append(row)
            extra = chunk(b"PLTE", bytes(c for p in palette for c in p))
            if keyed:
                extra += chunk(b"tRNS", bytes(alphas))
            write_png(name, 3, depth, rows, extra)
            write_expected(name, expected)


def alpha_cases():
    for colour_type, depth in ((4, 8), (4, 16), (6, 8), (6, 16)):
        name = "%s_%d" % ("grey_alpha" if colour_type == 4 else "rgba", depth)
        rows, expected = [], []
        for y in range(HEIGHT):
            row = []
            for x in range(WIDTH):
                a = alpha_of(x, y)
                if colour_type == 4:
                    g = grey_level(x, y, 16)
                    samples, pixel = (g, a), (g, g, g, a)
                else:
                    c = colour_of(x, y)
                    samples, pixel = c + (a,), c + (a,)
                row.extend(v * 257 if depth == 16 else v for v in samples)
                expected.append(pixel)
            rows.append(row)
        write_png(name, colour_type, depth, rows)
        write_expected(name, expected)


if __name__ == "__main__":
    grey_cases()
    rgb_cases()
    palette_cases()
    alpha_cases()
