#!/usr/bin/env python3
"""Writes the seed corpus of the TGA fuzz target into fuzz/corpus/ (run from anywhere).

Valid files of both kinds (type 2 and type 10, 24 and 32 bits) and the edge cases the reader must
refuse cleanly. Each file is a few hundred bytes at most, so the corpus stays commit-sized."""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def header(kind, width, height, bits, image_id=b"", descriptor=0, colour_map=0, origin=(0, 0)):
    return (struct.pack("<BBB5sHHHHBB", len(image_id), colour_map, kind, b"\0" * 5, origin[0],
                        origin[1], width, height, bits, descriptor) + image_id)


def pixel(i, bits):
    # Blue, green, red (, alpha): every pixel of a picture differs from its neighbours.
    p = bytes([(i * 37) & 255, (i * 11 + 5) & 255, (i * 73 + 9) & 255])
    return p + bytes([(255 - i) & 255]) if bits == 32 else p


def raw(pixels, bits):
    return bytes([len(pixels) - 1]) + b"".join(pixel(i, bits) for i in pixels)


def run(count, i, bits):
    return bytes([127 + count]) + pixel(i, bits)


def uncompressed(width, height, bits, **kw):
    return header(2, width, height, bits, **kw) + b"".join(
        pixel(i, bits) for i in range(width * height))


FILES = {
    # Valid, uncompressed.
    "u24_2x2.tga": uncompressed(2, 2, 24),
    "u24_5x3_odd_row_bytes.tga": uncompressed(5, 3, 24),
    "u32_3x2_with_image_id.tga": uncompressed(3, 2, 32, image_id=b"QUARL"),
    "u32_2x2_top_left_origin_bit.tga": uncompressed(2, 2, 32, descriptor=0x28),
    "u24_1x1_trailing_bytes.tga": uncompressed(1, 1, 24) + b"TRUEVISION-XFILE.\0",
    # Valid, run-length encoded.
    "r32_2x2_one_run.tga": header(10, 2, 2, 32) + run(4, 1, 32),
    "r24_4x3_run_across_rows.tga": header(10, 4, 3, 24) + raw([0, 1], 24) + run(6, 2, 24)
    + raw([3, 4, 5, 6], 24),
    "r32_3x3_with_image_id.tga": header(10, 3, 3, 32, image_id=b"id") + run(2, 0, 32)
    + raw([1, 2, 3], 32) + run(4, 4, 32),
    "r24_16x16_longest_packets.tga": header(10, 16, 16, 24) + raw(list(range(128)), 24)
    + run(128, 7, 24),
    # Refused.
    "bad_r24_run_one_pixel_too_many.tga": header(10, 2, 2, 24) + raw([0, 1], 24) + run(3, 2, 24),
    "bad_r32_missing_packet_header.tga": header(10, 4, 4, 32) + run(8, 0, 32),
    "bad_r24_short_raw_pixel.tga": header(10, 2, 2, 24) + bytes([3]) + pixel(0, 24) + b"\1",
    "bad_r32_short_run_pixel.tga": header(10, 2, 2, 32) + bytes([0x83, 1, 2]),
    "bad_u24_short_pixels.tga": uncompressed(4, 4, 24)[:-5],
    "bad_u16_depth.tga": header(2, 2, 2, 16) + b"\0" * 8,
    "bad_u24_zero_width.tga": header(2, 0, 2, 24),
    "bad_type1_colour_mapped.tga": header(1, 2, 2, 24) + b"\0" * 12,
    "bad_type3_grey.tga": header(3, 2, 2, 8) + b"\0" * 4,
    "bad_u24_x_origin.tga": uncompressed(2, 2, 24, origin=(1, 0)),
    "bad_u24_colour_map_type.tga": uncompressed(2, 2, 24, colour_map=1),
    "bad_u32_larger_than_limit.tga": header(2, 65535, 65535, 32) + pixel(0, 32),
    "bad_u32_at_limit_but_short.tga": header(2, 8192, 8192, 32) + pixel(0, 32),
    "bad_u24_image_id_past_end.tga": bytes([255]) + header(2, 1, 1, 24)[1:] + pixel(0, 24),
    "bad_ten_bytes.tga": header(2, 2, 2, 24)[:10],
    "bad_info_cut.tga": header(2, 2, 2, 24)[:15],
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, content in sorted(FILES.items()):
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(content)
    print(f"{len(FILES)} files in {OUT}")


if __name__ == "__main__":
    main()
