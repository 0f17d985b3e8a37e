#!/usr/bin/env python3
"""Writes the seed corpora of the image-size, BMP and data-lookup fuzz targets into fuzz/corpus_headers/,
fuzz/corpus_bmp/ and fuzz/corpus_names/ (run from anywhere).

The headers of every kind the check reads: PNG, BMP (OS/2, BITMAPINFOHEADER top-down and bottom-up,
compressed), GIF (with and without a colour table, with extension blocks before the image) and TGA
(colour-mapped, true-colour, grey, run-length), JPEG, TIFF (both byte orders), WebP (lossy, lossless,
extended), PCX, PNM, XV, XPM, IFF (ILBM), XCF and ICO, each a few dozen bytes. Whole small BMPs of
every depth and compression SDL reads. File names: plain, nested, through "..", absolute, the
engine's own built-in names, and one with a NUL inside."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


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


def jpeg(width, height, app_length=16):
    app = b"\xff\xe0" + struct.pack(">H", app_length) + bytes(app_length - 2)
    return b"\xff\xd8" + app + b"\xff\xc0" + struct.pack(">HBHHB", 11, 8, height, width, 1) + bytes(3)


def tiff(width, height, big=False):
    o = ">" if big else "<"
    entries = struct.pack(o + "HHIHH", 256, 3, 1, width, 0) + struct.pack(o + "HHII", 257, 4, 1, height)
    return (b"MM\x00*" if big else b"II*\x00") + struct.pack(o + "IH", 8, 2) + entries + bytes(4)


def webp(chunk, body):
    return b"RIFF" + struct.pack("<I", 4 + 8 + len(body)) + b"WEBP" + chunk + struct.pack("<I", len(body)) + body


def lbm(width, height):
    bmhd = struct.pack(">HHhhBBBBHBBhh", width, height, 0, 0, 8, 0, 0, 0, 0, 1, 1, width, height)
    return b"FORM" + struct.pack(">I", 4 + 8 + len(bmhd)) + b"ILBM" + b"BMHD" + struct.pack(">I", len(bmhd)) + bmhd


def ico(width, height):
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", width, height, 0, 0, 1, 32, 0, 22) + info


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
    "jpeg.jpg": jpeg(640, 480),
    "jpeg_cut.jpg": jpeg(640, 480)[:12],
    "tiff_little.tif": tiff(300, 200),
    "tiff_big.tif": tiff(300, 200, big=True),
    "webp_lossy.webp": webp(b"VP8 ", b"\x00\x00\x00\x9d\x01\x2a" + struct.pack("<HH", 64, 48)),
    "webp_lossless.webp": webp(b"VP8L", b"\x2f" + struct.pack("<I", 63 | 47 << 14)),
    "webp_extended.webp": webp(b"VP8X", bytes(4) + struct.pack("<I", 999)[:3] + struct.pack("<I", 499)[:3]),
    "pcx.pcx": struct.pack("<BBBBhhhh", 10, 5, 1, 8, 0, 0, 99, 49) + bytes(118),
    "pnm_comment.ppm": b"P6\n# made by hand\n12 7\n255\n" + bytes(12 * 7 * 3),
    "xv_thumbnail.xv": b"P7 332\n#END_OF_COMMENTS\n8 8 255\n" + bytes(64),
    "xpm.xpm": b"/* XPM */\nstatic char *x[] = {\n\"2 2 1 1\",\n\"a c #000000\",\n\"aa\",\n\"aa\"};\n",
    "lbm.iff": lbm(32, 16),
    "xcf.xcf": b"gimp xcf v001\x00" + struct.pack(">IIi", 64, 32, 0),
    "ico.ico": ico(16, 16),
}


def whole_bmp(width, height, bits, compression=0, palette=0, pixels=None, masks=b""):
    row = (width * bits + 31) // 32 * 4
    pixels = bytes(range(256)) * (row * abs(height) // 256 + 1) if pixels is None else pixels
    pixels = pixels[: row * abs(height)] if compression == 0 else pixels
    table = bytes(4 * palette) if palette else b""
    return bmp_info(width, height, bits, compression, table + masks + pixels)


BMP_SEEDS = {
    "bits1.bmp": whole_bmp(9, 3, 1, palette=2),
    "bits4.bmp": whole_bmp(5, 4, 4, palette=16),
    "bits8.bmp": whole_bmp(7, 2, 8, palette=256),
    "bits16_top_down.bmp": whole_bmp(3, -3, 16),
    "bits24.bmp": whole_bmp(5, 5, 24),
    "bits32_bitfields.bmp": whole_bmp(2, 2, 32, 3, masks=struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)),
    "rle8.bmp": whole_bmp(8, 2, 8, 1, 256, b"\x04\x01\x00\x00\x00\x02\x01\x00\x03\x05\x06\x07\x00\x00\x01"),
    "rle4.bmp": whole_bmp(8, 2, 4, 2, 16, b"\x04\x12\x00\x00\x08\x34\x00\x01"),
    "os2.bmp": bmp_os2(2, 2) + bytes(12),
}

NAME_SEEDS = {
    "plain": b"a.png",
    "nested": b"sub/b.txt",
    "parent": b"../data/a.png",
    "dot_dot_inside": b"sub/../a.png",
    "working": b"here.txt",
    "absolute": b"/etc/hostname",
    "folder": b"sub",
    "built_in_shader": b"shaders/color.vert",
    "built_in_font": b"Data/Font/font.tga",
    "with_nul": b"a.png\x00tail",
}


def main():
    for folder, seeds in (("corpus_headers", SEEDS), ("corpus_bmp", BMP_SEEDS), ("corpus_names", NAME_SEEDS)):
        out = os.path.join(HERE, folder)
        os.makedirs(out, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(out, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
