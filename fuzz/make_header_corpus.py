#!/usr/bin/env python3
"""Writes the seed corpus of the image-size fuzz target into fuzz/corpus_headers/ (run from anywhere).

The headers of every kind the check reads: PNG, BMP (OS/2, BITMAPINFOHEADER top-down and bottom-up,
compressed), GIF (with and without a colour table, with extension blocks before the image) and TGA
(colour-mapped, true-colour, grey, run-length), each a few dozen bytes."""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus_headers")


def png(width, height):
    return b"\x89PNG\r\n\x1a\n" + struct.pack(">I4sIIBBBBB", 13, b"IHDR", width, height, 8, 6, 0, 0, 0)


def bmp_os2(width, height):
    return b"BM" + struct.pack("<IHHIIHHHH", 26 + width * height * 3, 0, 0, 26, 12, width, height, 1, 24)


def bmp_info(width, height, bits=24, compression=0, pixels=b""):
    offset = 54
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(pixels), 0, 0, 0, 0)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + pixels


def gif(width, height, frame=None, table=True, extensions=1):
    flags = 0x80 | 1 if table else 0
    out = b"GIF89a" + struct.pack("<HHBBB", width, height, flags, 0, 0)
    if table:
        out += bytes(12)
    for _ in range(extensions):
        out += b"\x21\xf9\x04\x00\x00\x00\x00\x00"
        out += b"\x21\xfe\x05hello\x00"
    fw, fh = frame or (width, height)
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, fw, fh, 0) + b"\x02\x02\x44\x01\x00\x3b"
    return out


def tga(kind, width, height, bits, colour_map=0, map_length=0, map_bits=0, body=b""):
    return struct.pack("<BBBHHBHHHHBB", 0, colour_map, kind, 0, map_length, map_bits, 0, 0, width, height,
                       bits, 0) + body


SEEDS = {
    "png_small.png": png(4, 3),
    "png_huge.png": png(70000, 2),
    "bmp_os2.bmp": bmp_os2(2, 2),
    "bmp_bottom_up.bmp": bmp_info(2, 2, pixels=bytes(16)),
    "bmp_top_down_short.bmp": bmp_info(3, -2, pixels=bytes(5)),
    "bmp_rle8.bmp": bmp_info(8, 8, bits=8, compression=1, pixels=b"\x00\x01"),
    "gif87_no_table.gif": b"GIF87a" + gif(2, 2, table=False, extensions=0)[6:],
    "gif89_extensions.gif": gif(1, 1, frame=(300, 200), extensions=2),
    "gif_cut_in_extension.gif": gif(5, 5)[:30],
    "tga_true_colour.tga": tga(2, 2, 2, 24, body=bytes(12)),
    "tga_colour_mapped.tga": tga(1, 2, 2, 8, colour_map=1, map_length=4, map_bits=24, body=bytes(16)),
    "tga_grey_short.tga": tga(3, 16, 16, 8, body=bytes(10)),
    "tga_rle.tga": tga(10, 4, 4, 32, body=b"\x8f\x01\x02\x03\x04"),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
