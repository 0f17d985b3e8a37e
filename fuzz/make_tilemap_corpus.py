#!/usr/bin/env python3
"""Writes the seed corpus of the tile map fuzz target into fuzz/corpus_tilemap/ (run from anywhere).

One small orthogonal map per form the reader takes: TMX with CSV, XML <tile> elements, base64,
base64 with zlib and with gzip, an external tileset, groups, object layers, properties of every
type and an animated tile; TMJ with an array, base64 with zlib, an external tileset and objects;
older files of both kinds (a colour key, no tile size or count, properties and tiles as objects).
The two external tilesets (external.tsx, external.tsj) are seeds too. Two maps start the fuzzer
near what a map may cost: one of 40,000 properties (a reader that searched its list for each new
name would take most of a minute over it, far past the target's time limit) and one of 17 zlib and
gzip layers of 1024 x 1024 cells, one layer more than a map's 16,777,216 cells allow together, in
95 KB. Two more hold hostile shapes in little space: a map nesting its JSON more deeply than the
reader allows (inside a string, brackets do not count), and a map naming one external tileset and one
image from dozens of tilesets (each is read and loaded once a map). The fuzz target names its input fuzz/corpus_tilemap/fuzz.tmx, so the maps find the tilesets
beside them from the root."""
import base64
import gzip
import json
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus_tilemap")

GIDS = [1, 2, 0, 3 | 0x80000000, 4 | 0x40000000, 1 | 0x20000000, 2, 2, 0, 3, 4, 1]
RAW = b"".join(struct.pack("<I", gid) for gid in GIDS)

TILESET_BODY = ('name="t" tilewidth="16" tileheight="16" spacing="1" margin="1" tilecount="4" '
                'columns="2"><tileoffset x="0" y="2"/>'
                '<image source="tiles.png" width="35" height="35"/>'
                '<tile id="0" type="wall"><properties>'
                '<property name="solid" type="bool" value="true"/></properties>'
                '<animation><frame tileid="1" duration="100"/><frame tileid="2" duration="50"/>'
                '</animation></tile>')
TILESET = '<tileset firstgid="1" ' + TILESET_BODY + '</tileset>'

PROPERTIES = ('<properties><property name="s" value="text"/>'
              '<property name="i" type="int" value="3"/>'
              '<property name="f" type="float" value="2.5"/>'
              '<property name="b" type="bool" value="false"/>'
              '<property name="c" type="color" value="#ff00ff00"/>'
              '<property name="p" type="file" value="a/b.txt"/>'
              '<property name="m">two\nlines</property></properties>')


def tmx(inside, width=4, height=3):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<map version="1.10" orientation="orthogonal" renderorder="right-down" width="%d" '
            'height="%d" tilewidth="16" tileheight="16" infinite="0">%s</map>\n'
            % (width, height, inside))


def layer(data_attributes, text):
    return ('<layer id="1" name="L" width="4" height="3" opacity="0.5" offsetx="2" offsety="-1">'
            '<data%s>%s</data></layer>' % (data_attributes, text))


def csv():
    return ",".join(str(gid) for gid in GIDS)


def tmj(layers, tilesets):
    return json.dumps({"type": "map", "orientation": "orthogonal", "width": 4, "height": 3,
                       "tilewidth": 16, "tileheight": 16, "infinite": False, "tilesets": tilesets,
                       "layers": layers,
                       "properties": [{"name": "i", "type": "int", "value": 3},
                                      {"name": "f", "type": "float", "value": 2.5},
                                      {"name": "c", "type": "color", "value": "#ff00ff00"}]},
                      separators=(",", ":"))


JSON_TILESET = {"firstgid": 1, "name": "t", "tilewidth": 16, "tileheight": 16, "tilecount": 4,
                "columns": 2, "image": "tiles.png", "imagewidth": 32, "imageheight": 32,
                "tiles": [{"id": 0, "animation": [{"tileid": 1, "duration": 100}]}]}


def name36(number):
    """A short distinct property name: the number in base 36."""
    digits = "0123456789abcdefghijklmnopqrstuvwxyz"
    text = digits[number % 36]
    while number >= 36:
        number //= 36
        text = digits[number % 36] + text
    return text


def many_properties(count):
    """A map of count properties in the older TMJ form (an object of name: value, the most
    properties a file of its size can hold), a few of them typed."""
    values = {name36(i): i % 10 for i in range(count)}
    types = {name36(i): "int" for i in range(0, count, 100)}
    return json.dumps({"orientation": "orthogonal", "width": 4, "height": 3, "tilewidth": 16,
                       "tileheight": 16, "properties": values, "propertytypes": types,
                       "tilesets": [JSON_TILESET], "layers": [{"type": "tilelayer", "name": "L", "width": 4,
                                                               "height": 3, "data": GIDS}]},
                      separators=(",", ":"))


def many_layers(count, side):
    cells = struct.pack("<I", 1) * (side * side)
    packed = {"zlib": base64.b64encode(zlib.compress(cells, 9)).decode(),
              "gzip": base64.b64encode(gzip.compress(cells, 9, mtime=0)).decode()}
    layers = []
    for i in range(count):
        kind = "zlib" if i % 2 == 0 else "gzip"
        text = ('<layer id="%d" name="L%d" width="%d" height="%d"><data encoding="base64" '
                'compression="%s">%s</data></layer>' % (i + 1, i, side, side, kind, packed[kind]))
        # The last few inside a group, whose cells count with the rest.
        layers.append(text if i < count - 2 else '<group name="g">' + text + '</group>')
    return "".join(layers)


def main():
    os.makedirs(OUT, exist_ok=True)
    objects = ('<objectgroup id="2" name="O">'
               '<object id="1" name="door" type="exit" x="1.5" y="2" width="16" height="8" '
               'rotation="45">' + PROPERTIES + '</object>'
               '<object id="2" x="3" y="4"><point/></object>'
               '<object id="3" gid="2147483650" x="0" y="16" width="16" height="16"/>'
               '</objectgroup>')
    grid = {"type": "tilelayer", "name": "L", "width": 4, "height": 3, "data": GIDS}
    door = {"id": 1, "name": "door", "type": "exit", "x": 1.5, "y": 2, "width": 16, "height": 8,
            "rotation": 45, "gid": 2147483650,
            "properties": [{"name": "b", "type": "bool", "value": True}]}
    files = {
        "csv.tmx": tmx(TILESET + layer(' encoding="csv"', csv())),
        "elements.tmx": tmx(TILESET + layer("", "".join('<tile gid="%d"/>' % g for g in GIDS))),
        "base64.tmx": tmx(TILESET + layer(' encoding="base64"', base64.b64encode(RAW).decode())),
        "zlib.tmx": tmx(TILESET + layer(' encoding="base64" compression="zlib"',
                                        base64.b64encode(zlib.compress(RAW)).decode())),
        "gzip.tmx": tmx(TILESET + layer(' encoding="base64" compression="gzip"',
                                        base64.b64encode(gzip.compress(RAW, mtime=0)).decode())),
        "groups.tmx": tmx(PROPERTIES + TILESET + '<group name="g" offsetx="3" opacity="0.5"><group '
                          'name="h" visible="0">' + layer(' encoding="csv"', csv()) + '</group>' +
                          objects + '</group><imagelayer name="i"/>'),
        "external.tmx": tmx('<tileset firstgid="1" source="external.tsx"/><tileset firstgid="5" '
                            'source="external.tsj"/>' + layer(' encoding="csv"', csv())),
        "external.tsx": '<?xml version="1.0"?>\n<tileset ' + TILESET_BODY + '</tileset>\n',
        "external.tsj": json.dumps(dict({k: v for k, v in JSON_TILESET.items() if k != "firstgid"},
                                        type="tileset")),
        "array.tmj": tmj([grid], [JSON_TILESET]),
        "zlib.tmj": tmj([dict(grid, encoding="base64", compression="zlib",
                              data=base64.b64encode(zlib.compress(RAW)).decode())], [JSON_TILESET]),
        "external.tmj": tmj([{"type": "group", "name": "g", "offsetx": 1, "layers": [grid]}],
                            [{"firstgid": 1, "source": "external.tsj"}]),
        # Older files: a tileset with a colour key and neither tile size nor count, and JSON from
        # before Tiled 1.2 (properties and tiles as objects).
        "older.tmx": tmx('<tileset firstgid="1" name="o" margin="1" spacing="1"><image source="tiles.png" '
                         'trans="ff00ff"/></tileset>' + layer(' encoding="csv"', csv())),
        "older.tmj": json.dumps({"orientation": "orthogonal", "width": 4, "height": 3, "tilewidth": 16,
                                 "tileheight": 16, "properties": {"i": 3, "s": "x"},
                                 "propertytypes": {"i": "int"},
                                 "tilesets": [{"firstgid": 1, "name": "t", "image": "tiles.png",
                                               "transparentcolor": "#ff00ff",
                                               "tiles": {"0": {"animation": [{"tileid": 1, "duration": 100}]}},
                                               "tileproperties": {"1": {"solid": True}},
                                               "tilepropertytypes": {"1": {"solid": "bool"}}}],
                                 "layers": [grid]}, separators=(",", ":")),
        "properties.tmj": many_properties(40000),
        "layers.tmx": tmx(TILESET + many_layers(17, 1024), 1024, 1024),
        "deep.tmj": tmj([grid], [JSON_TILESET])[:-1] + ',"deep":' + "[" * 300 + "]" * 300 +
                     ',"text":"' + "[" * 300 + '"}',
        "shared.tmx": tmx("".join('<tileset firstgid="%d" source="external.tsx"/>' % (1 + 4 * i) for i in range(60)) +
                          "".join('<tileset firstgid="%d" ' % (241 + 4 * i) + TILESET_BODY + '</tileset>'
                                  for i in range(20)) + layer(' encoding="csv"', csv())),
        "objects.tmj": tmj([{"type": "objectgroup", "name": "O",
                             "objects": [door, {"id": 2, "x": 3, "y": 4, "point": True}]}],
                           [JSON_TILESET]),
    }
    for name, text in files.items():
        with open(os.path.join(OUT, name), "w", newline="\n") as out:
            out.write(text)


if __name__ == "__main__":
    main()
