#!/usr/bin/env python3
"""Writes the tile map test corpus into tests/data/tilemap/ (run from anywhere).

Tileset images with odd sides, margins and spacing, in PNG's RGB, RGBA and palette colour types
(8-bit and 4-bit), most of them with magenta texels that the tileset's colour key makes
transparent; Tiled maps that use them in TMX (CSV, base64, base64 with zlib) and JSON (TMJ and
the form from before Tiled 1.2), with every flip flag, external tilesets (TSX, TSJ), an older
tileset that gives neither its tile size nor its count, and a tileset that claims more columns
than its image holds.

For each drawable map it also writes the picture Tiled shows, computed here and nowhere else:
NAME.expected.rgb, top-down RGB rows of the map composited over the clear colour with PAD pixels
of it on every side (so that offsets reaching out of the map are seen). expected.txt lists one
line per map: its file, the picture's width and height. Tiles are copied texel for texel from
the images' own pixels as written here, mirrored and turned as the flags say, keyed texels and
texels of alpha 0 left out (every other texel is opaque, so the result is exact)."""
import base64
import json
import os
import struct
import zlib

OUT = os.path.dirname(os.path.abspath(__file__))
PAD = 16
CLEAR = (30, 50, 70)
KEY = (255, 0, 255)
LOUD = (0, 255, 0)  # margins and spacing: never drawn
FLIP_H, FLIP_V, FLIP_D = 0x80000000, 0x40000000, 0x20000000


# ---- PNG writing ----

def chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def write_png(name, width, height, colour_type, rows, bit_depth=8, palette=None, trns=None):
    """rows: per row, a list of samples (tuples for RGB/RGBA, palette indices for type 3)."""
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter: none
        if colour_type == 3 and bit_depth == 4:
            for i in range(0, width, 2):
                high = row[i]
                low = row[i + 1] if i + 1 < width else 0
                raw.append(high << 4 | low)
        elif colour_type == 3:
            raw.extend(row)
        else:
            for sample in row:
                raw.extend(sample)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0))
    if palette is not None:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if trns is not None:
        data += chunk(b"tRNS", bytes(trns))
    data += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += chunk(b"IEND", b"")
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


# ---- Tilesets: the texels as RGBA, kept for the reference ----

class Sheet:
    def __init__(self, image, width, height, tile_w, tile_h, margin, spacing, columns, rows):
        self.image, self.width, self.height = image, width, height
        self.tile_w, self.tile_h, self.margin, self.spacing = tile_w, tile_h, margin, spacing
        self.columns, self.rows = columns, rows
        self.pixels = [[LOUD + (255,) for _ in range(width)] for _ in range(height)]

    def origin(self, local):
        column, row = local % self.columns, local // self.columns
        return (self.margin + column * (self.tile_w + self.spacing),
                self.margin + row * (self.tile_h + self.spacing))

    def fill(self, texel):
        """texel(tile, x, y) -> RGBA for every texel of every tile."""
        for local in range(self.columns * self.rows):
            left, top = self.origin(local)
            for y in range(self.tile_h):
                for x in range(self.tile_w):
                    self.pixels[top + y][left + x] = texel(local, x, y)


def pattern(local, x, y, keyed=True):
    """Every texel of a tile different, a diagonal stripe of key colour through it."""
    if keyed and (x + 2 * y + local) % 7 == 3:
        return KEY + (255,)
    return (30 + local * 21 % 200, 20 + x * 13 % 220, 40 + y * 17 % 200, 255)


def rgb_sheet():
    # 49 x 37: three columns and rows of 13 x 9 tiles, margin 2, spacing 3.
    sheet = Sheet("keyed_rgb.png", 49, 37, 13, 9, 2, 3, 3, 3)
    sheet.fill(pattern)
    write_png(sheet.image, sheet.width, sheet.height, 2, [[p[:3] for p in row] for row in sheet.pixels])
    return sheet


def rgba_sheet():
    # 37 x 21: four columns (one spare texel on the right) and three rows of 7 x 5, margin 1,
    # spacing 2. Some texels have alpha 0 under a colour that must not show.
    sheet = Sheet("keyed_rgba.png", 37, 21, 7, 5, 1, 2, 4, 3)

    def texel(local, x, y):
        if (x * 3 + y + local) % 5 == 0:
            return (200, 10, 10, 0)
        return pattern(local, x, y)

    sheet.fill(texel)
    write_png(sheet.image, sheet.width, sheet.height, 6, sheet.pixels)
    return sheet


def palette_sheet(image, width, height, tile_w, tile_h, margin, spacing, columns, rows, bit_depth, keyed):
    """A palette image: index 0 the loud colour, 1 transparent (tRNS), 2 the key, then tile colours."""
    sheet = Sheet(image, width, height, tile_w, tile_h, margin, spacing, columns, rows)
    palette = [LOUD, (90, 90, 90), KEY]
    limit = 16 if bit_depth == 4 else 256

    def texel(local, x, y):
        if (x + y * 2 + local) % 6 == 1:
            return (90, 90, 90, 0)
        if keyed and (2 * x + y + local) % 7 == 2:
            return KEY + (255,)
        colour = ((local * 37 + x * 11 + y * 5) % (limit - 3)) + 3
        while len(palette) <= colour:
            n = len(palette)
            palette.append((40 + n * 29 % 200, 200 - n * 13 % 150, 30 + n * 47 % 210))
        return palette[colour] + (255,)

    sheet.fill(texel)
    while len(palette) < limit:
        n = len(palette)
        palette.append((40 + n * 29 % 200, 200 - n * 13 % 150, 30 + n * 47 % 210))
    index = {}
    for i, colour in enumerate(palette):
        index.setdefault(colour, i)
    rows_out = []
    for row in sheet.pixels:
        rows_out.append([1 if p[3] == 0 else index[p[:3]] for p in row])
    write_png(image, width, height, 3, rows_out, bit_depth, palette, [255, 0])
    return sheet


def flat_sheet():
    # 32 x 16 (sides that are powers of two): eight 6 x 6 tiles of one colour each, margin 1 and
    # spacing 2 of the loud colour, for the case between pixels.
    sheet = Sheet("flat.png", 32, 16, 6, 6, 1, 2, 4, 2)
    sheet.fill(lambda local, x, y: FLAT[local] + (255,))
    write_png(sheet.image, sheet.width, sheet.height, 2, [[p[:3] for p in row] for row in sheet.pixels])
    return sheet


FLAT = [(200, 40, 40), (40, 40, 200), (200, 180, 40), (40, 160, 160),
        (120, 60, 20), (230, 230, 230), (10, 10, 10), (150, 90, 200)]


# ---- The reference renderer ----

def render(name, map_w, map_h, grid_w, grid_h, layers, time_ms=0):
    """layers: (gids, tilesets, offset_x, offset_y); tilesets: [(first_gid, sheet, count, key,
    tile offset, animations)]. Tiled's right-down order, each tile's bottom-left corner on its
    cell's, as shown at time_ms."""
    width, height = map_w * grid_w + 2 * PAD, map_h * grid_h + 2 * PAD
    canvas = [[CLEAR for _ in range(width)] for _ in range(height)]
    for gids, tilesets, layer_x, layer_y in layers:
        for cell, gid in enumerate(gids):
            ident = gid & 0x0FFFFFFF
            owner = None
            for entry in tilesets:
                if entry[0] <= ident:
                    owner = entry
            if ident == 0 or owner is None or ident - owner[0] >= owner[2]:
                continue
            first, sheet, count, key, (tile_x, tile_y), animations = owner
            local = ident - first
            if local in animations:
                frames, total = animations[local], sum(d for _, d in animations[local])
                phase = time_ms % total
                for frame, duration in frames:
                    if phase < duration:
                        local = frame
                        break
                    phase -= duration
            if local >= sheet.columns * sheet.rows:
                continue  # past the image: Tiled shows it blank
            left, top = sheet.origin(local)
            diagonal = gid & FLIP_D != 0
            drawn_w = sheet.tile_h if diagonal else sheet.tile_w
            drawn_h = sheet.tile_w if diagonal else sheet.tile_h
            x0 = (cell % map_w) * grid_w + layer_x + tile_x + PAD
            y0 = (cell // map_w + 1) * grid_h - drawn_h + layer_y + tile_y + PAD
            for y in range(drawn_h):
                for x in range(drawn_w):
                    # Undo the mirrors, then the exchange of axes.
                    u = drawn_w - 1 - x if gid & FLIP_H else x
                    v = drawn_h - 1 - y if gid & FLIP_V else y
                    if diagonal:
                        u, v = v, u
                    texel = sheet.pixels[top + v][left + u]
                    if texel[3] == 0 or (key is not None and texel[:3] == key):
                        continue
                    if 0 <= y0 + y < height and 0 <= x0 + x < width:
                        canvas[y0 + y][x0 + x] = texel[:3]
    with open(os.path.join(OUT, name + ".expected.rgb"), "wb") as f:
        for row in canvas:
            for pixel in row:
                f.write(bytes(pixel))
    return "%s %d %d" % (name, width, height)


# ---- Map writing ----

ALL_FLIPS = [0, FLIP_H, FLIP_V, FLIP_H | FLIP_V, FLIP_D, FLIP_D | FLIP_H, FLIP_D | FLIP_V,
             FLIP_D | FLIP_H | FLIP_V]


def gids_for(count, cells, first=1, step=1, flips=True):
    return [(first + (i * step) % count) | (ALL_FLIPS[i % 8] if flips else 0) for i in range(cells)]


def with_holes(gids, every):
    return [0 if i % every == every - 1 else gid for i, gid in enumerate(gids)]


def csv(gids, width):
    rows = [",".join(str(g) for g in gids[i:i + width]) for i in range(0, len(gids), width)]
    return "\n" + ",\n".join(rows) + "\n"


def raw_ids(gids):
    return b"".join(struct.pack("<I", g) for g in gids)


def tmx(width, height, grid_w, grid_h, inside):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<map version="1.10" tiledversion="1.10.2" orientation="orthogonal" renderorder="right-down" '
            'width="%d" height="%d" tilewidth="%d" tileheight="%d" infinite="0">\n%s</map>\n'
            % (width, height, grid_w, grid_h, inside))


def write(name, text):
    with open(os.path.join(OUT, name), "w", newline="\n") as f:
        f.write(text)


def tileset_attributes(sheet, name, count):
    return ('name="%s" tilewidth="%d" tileheight="%d" spacing="%d" margin="%d" tilecount="%d" '
            'columns="%d"' % (name, sheet.tile_w, sheet.tile_h, sheet.spacing, sheet.margin, count,
                              sheet.columns))


def main():
    rgb = rgb_sheet()
    rgba = rgba_sheet()
    palette = palette_sheet("keyed_palette.png", 29, 23, 9, 11, 0, 1, 3, 2, 8, True)
    old = palette_sheet("old_style.png", 31, 21, 8, 8, 1, 2, 3, 2, 4, False)
    narrow = Sheet("narrow.png", 15, 9, 5, 3, 0, 0, 3, 3)
    narrow.fill(lambda local, x, y: pattern(local, x, y, keyed=False))
    write_png(narrow.image, 15, 9, 2, [[p[:3] for p in row] for row in narrow.pixels])
    flat = flat_sheet()
    manifest = []

    # CSV, an embedded tileset keyed in TMX ("trans" without '#'), under a second layer whose
    # external palette tileset has taller tiles that hang over the cells above.
    ground = gids_for(9, 24, step=4)
    over = with_holes(gids_for(6, 24, first=10, step=5), 3)
    write("palette.tsx", '<?xml version="1.0" encoding="UTF-8"?>\n<tileset version="1.10" %s>\n'
          ' <image source="keyed_palette.png" trans="ff00ff" width="29" height="23"/>\n</tileset>\n'
          % tileset_attributes(palette, "palette", 6))
    write("csv.tmx", tmx(6, 4, 13, 9,
                         ' <tileset firstgid="1" %s>\n  <image source="keyed_rgb.png" trans="ff00ff" '
                         'width="49" height="37"/>\n </tileset>\n'
                         ' <tileset firstgid="10" source="palette.tsx"/>\n'
                         ' <layer id="1" name="Ground" width="6" height="4">\n  <data encoding="csv">%s'
                         '</data>\n </layer>\n'
                         ' <layer id="2" name="Over" width="6" height="4">\n  <data encoding="csv">%s'
                         '</data>\n </layer>\n'
                         % (tileset_attributes(rgb, "rgb", 9), csv(ground, 6), csv(over, 6))))
    rgb_set = (1, rgb, 9, KEY, (0, 0), {})
    palette_set = (10, palette, 6, KEY, (0, 0), {})
    manifest.append(render("csv.tmx", 6, 4, 13, 9,
                           [(ground, [rgb_set, palette_set], 0, 0), (over, [rgb_set, palette_set], 0, 0)]))

    # base64 without compression, the external palette tileset alone, with "#" in its key.
    cells = gids_for(6, 15, step=1)
    write("base64.tmx", tmx(5, 3, 9, 11,
                            ' <tileset firstgid="1" source="palette.tsx"/>\n'
                            ' <layer id="1" name="Ground" width="5" height="3">\n'
                            '  <data encoding="base64">\n   %s\n  </data>\n </layer>\n'
                            % base64.b64encode(raw_ids(cells)).decode()))
    manifest.append(render("base64.tmx", 5, 3, 9, 11, [(cells, [(1, palette, 6, KEY, (0, 0), {})], 0, 0)]))

    # base64 with zlib; an external TSX with a tile offset; a layer offset in whole pixels.
    write("rgb.tsx", '<?xml version="1.0" encoding="UTF-8"?>\n<tileset version="1.10" %s>\n'
          ' <tileoffset x="1" y="2"/>\n <image source="keyed_rgb.png" trans="#FF00FF" width="49" height="37"/>\n'
          '</tileset>\n' % tileset_attributes(rgb, "rgb", 9))
    cells = with_holes(gids_for(9, 20, first=5, step=2), 4)
    write("zlib.tmx", tmx(5, 4, 13, 9,
                          ' <tileset firstgid="5" source="rgb.tsx"/>\n'
                          ' <layer id="1" name="Ground" width="5" height="4" offsetx="3" offsety="-2">\n'
                          '  <data encoding="base64" compression="zlib">\n   %s\n  </data>\n </layer>\n'
                          % base64.b64encode(zlib.compress(raw_ids(cells))).decode()))
    manifest.append(render("zlib.tmx", 5, 4, 13, 9, [(cells, [(5, rgb, 9, KEY, (1, 2), {})], 3, -2)]))

    # TMJ with an external TSJ over an RGBA image ("transparentcolor" with '#'), data as an array.
    write("rgba.tsj", json.dumps({
        "type": "tileset", "version": "1.10", "tiledversion": "1.10.2", "name": "rgba",
        "tilewidth": 7, "tileheight": 5, "spacing": 2, "margin": 1, "tilecount": 12, "columns": 4,
        "image": "keyed_rgba.png", "imagewidth": 37, "imageheight": 21, "transparentcolor": "#ff00ff"},
        indent=1))
    cells = with_holes(gids_for(12, 42, first=1, step=5), 5)
    write("rgba.tmj", json.dumps({
        "type": "map", "version": "1.10", "tiledversion": "1.10.2", "orientation": "orthogonal",
        "renderorder": "right-down", "infinite": False, "width": 7, "height": 6, "tilewidth": 7,
        "tileheight": 5, "nextlayerid": 2, "nextobjectid": 1,
        "tilesets": [{"firstgid": 1, "source": "rgba.tsj"}],
        "layers": [{"id": 1, "name": "Ground", "type": "tilelayer", "x": 0, "y": 0, "width": 7,
                    "height": 6, "opacity": 1, "visible": True, "data": cells}]}, indent=1))
    manifest.append(render("rgba.tmj", 7, 6, 7, 5, [(cells, [(1, rgba, 12, KEY, (0, 0), {})], 0, 0)]))

    # An older TSX: no tile size (the map's 8 x 8), no count, no columns, an image without its size.
    write("old_style.tsx", '<?xml version="1.0" encoding="UTF-8"?>\n<tileset name="old" spacing="2" margin="1">\n'
          ' <image source="old_style.png"/>\n</tileset>\n')
    cells = gids_for(6, 20, step=1)
    write("old_tileset.tmx", tmx(5, 4, 8, 8,
                                 ' <tileset firstgid="1" source="old_style.tsx"/>\n'
                                 ' <layer name="Ground" width="5" height="4">\n  <data encoding="csv">%s'
                                 '</data>\n </layer>\n' % csv(cells, 5)))
    manifest.append(render("old_tileset.tmx", 5, 4, 8, 8, [(cells, [(1, old, 6, None, (0, 0), {})], 0, 0)]))

    # JSON from before Tiled 1.2: properties as objects with "propertytypes", tiles as an object
    # keyed by id (tile 0 animates: at time 0 it shows tile 4), "tileproperties".
    cells = gids_for(9, 12, step=2)
    write("old_format.json", json.dumps({
        "version": 1, "tiledversion": "1.1.6", "orientation": "orthogonal", "renderorder": "right-down",
        "width": 4, "height": 3, "tilewidth": 13, "tileheight": 9, "nextobjectid": 1,
        "properties": {"title": "Cave", "level": 3, "gravity": 9.5, "dark": True, "music": "sounds/cave.ogg",
                       "note": "plain"},
        "propertytypes": {"title": "string", "level": "int", "gravity": "float", "dark": "bool",
                          "music": "file"},
        "tilesets": [{
            "firstgid": 1, "name": "rgb", "tilewidth": 13, "tileheight": 9, "spacing": 3, "margin": 2,
            "tilecount": 9, "columns": 3, "image": "keyed_rgb.png", "imagewidth": 49, "imageheight": 37,
            "transparentcolor": "#ff00ff",
            "tiles": {"0": {"animation": [{"tileid": 4, "duration": 100}, {"tileid": 5, "duration": 100}]},
                      "2": {"type": "wall"}},
            "tileproperties": {"2": {"solid": True, "name": "rock"}, "7": {"depth": 2}},
            "tilepropertytypes": {"2": {"solid": "bool", "name": "string"}, "7": {"depth": "int"}}}],
        "layers": [{"name": "Ground", "type": "tilelayer", "x": 0, "y": 0, "width": 4, "height": 3,
                    "opacity": 1, "visible": True, "data": cells,
                    "properties": {"deep": "yes"}}]}, indent=1))
    manifest.append(render("old_format.json", 4, 3, 13, 9,
                           [(cells, [(1, rgb, 9, KEY, (0, 0), {0: [(4, 100), (5, 100)]})], 0, 0)]))

    # A tileset that claims five columns and fifteen tiles of an image that holds three by three:
    # the image's own columns place the tiles, and ids 10 to 15 draw nothing.
    cells = [1, 2, 3, 4, 5, 11, 6, 7, 8, 9, 14 | FLIP_H, 3 | FLIP_D | FLIP_H]
    write("too_many_columns.tmx", tmx(4, 3, 5, 5,
                                      ' <tileset firstgid="1" name="narrow" tilewidth="5" tileheight="3" '
                                      'tilecount="15" columns="5">\n  <image source="narrow.png" width="15" '
                                      'height="9"/>\n </tileset>\n'
                                      ' <layer id="1" name="Ground" width="4" height="3">\n'
                                      '  <data encoding="csv">%s</data>\n </layer>\n' % csv(cells, 4)))
    manifest.append(render("too_many_columns.tmx", 4, 3, 5, 5,
                           [(cells, [(1, narrow, 15, None, (0, 0), {})], 0, 0)]))

    # Flat tiles between loud spacing, for drawing between pixels and scaled.
    cells = gids_for(8, 12 * 6, step=3)
    write("flat.tmx", tmx(12, 6, 6, 6,
                          ' <tileset firstgid="1" %s>\n  <image source="flat.png" width="32" height="16"/>\n'
                          ' </tileset>\n <layer id="1" name="Ground" width="12" height="6">\n'
                          '  <data encoding="csv">%s</data>\n </layer>\n'
                          % (tileset_attributes(flat, "flat", 8), csv(cells, 12))))
    manifest.append(render("flat.tmx", 12, 6, 6, 6, [(cells, [(1, flat, 8, None, (0, 0), {})], 0, 0)]))

    write("expected.txt", "\n".join(manifest) + "\n")


if __name__ == "__main__":
    main()
