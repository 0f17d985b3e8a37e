#!/usr/bin/env python3
"""Writes the seed corpus of the atlas descriptor fuzz target into fuzz/corpus_atlas/ (run from anywhere).

Descriptors as make_atlas writes them (one page, and several pages listed in meta.pages), as
TexturePacker writes them (hash and array forms, trimmed frames, frames stored turned a quarter
clockwise) and as Aseprite writes them (array form with frameTags in every direction and per-frame
durations, cells with inner padding), and near misses of each: turned frames that only fit unturned,
padding uneven or on one axis, frames outside their page or source, negative, fractional, huge and mistyped numbers,
missing fields, a name twice, tags past the frames, names with control characters, deep nesting
(past the reader's 64 levels, at the root and inside a frame, and exactly 64), a tall column of
frames that touch, many frames in the hash form, and text that is not JSON. Each stays under the 4096 bytes scripts/fuzz.sh lets an input grow to."""
import copy
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def frame(x, y, w, h, trim=None, source=None, duration=100, page=None):
    sx, sy = trim or (0, 0)
    sw, sh = source or (w, h)
    entry = {
        "frame": {"x": x, "y": y, "w": w, "h": h},
        "rotated": False,
        "trimmed": (sx, sy, w, h) != (0, 0, sw, sh),
        "spriteSourceSize": {"x": sx, "y": sy, "w": w, "h": h},
        "sourceSize": {"w": sw, "h": sh},
    }
    if duration is not None:
        entry["duration"] = duration
    if page is not None:
        entry["page"] = page
    return entry


def meta(image, w, h, tags=None, pages=None):
    out = {"app": "make_atlas", "version": "1", "image": image, "format": "RGBA8888",
           "size": {"w": w, "h": h}, "scale": "1", "frameTags": tags or []}
    if pages:
        out["pages"] = [{"image": name, "size": {"w": pw, "h": ph}} for name, pw, ph in pages]
    return out


# make_atlas, one page: a trimmed frame, an untrimmed one, an empty image kept as one pixel.
ONE_PAGE = {
    "frames": {
        "flame1": frame(1, 1, 18, 21, trim=(4, 6), source=(32, 32)),
        "flame2": frame(23, 1, 16, 16),
        "flame10": frame(43, 1, 1, 1, source=(8, 8)),
    },
    "meta": meta("atlas-0.png", 64, 32),
}

# make_atlas, two pages.
TWO_PAGES = {
    "frames": {
        "tile0": frame(1, 1, 20, 20, page=0),
        "tile1": frame(25, 1, 20, 20, page=0),
        "tile2": frame(1, 1, 20, 20, page=1),
    },
    "meta": meta("paged-0.png", 64, 32, pages=[("paged-0.png", 64, 32), ("paged-1.png", 32, 32)]),
}

# TexturePacker's hash and array forms (no durations).
PACKER_HASH = {
    "frames": {
        "hero.png": frame(2, 2, 30, 40, trim=(1, 3), source=(32, 48), duration=None),
        "coin.png": frame(34, 2, 16, 16, duration=None),
    },
    "meta": {"app": "https://www.codeandweb.com/texturepacker", "version": "1.0", "image": "sheet.png",
             "format": "RGBA8888", "size": {"w": 64, "h": 64}, "scale": "1"},
}
PACKER_ARRAY = {
    "frames": [dict(filename=name, **entry) for name, entry in PACKER_HASH["frames"].items()],
    "meta": PACKER_HASH["meta"],
}

# TexturePacker's hash form with a frame stored turned: "frame" w and h stay the upright size, so
# the 30 x 40 hero covers 40 x 30 pixels of the page.
PACKER_ROTATED = copy.deepcopy(PACKER_HASH)
PACKER_ROTATED["frames"]["hero.png"]["rotated"] = True

# Aseprite with --inner-padding 2: each frame is its cell, 2 pixels larger on every side than the
# picture (spriteSourceSize) in its middle.
ASEPRITE_PADDED = {
    "frames": [dict(filename="walk %d.aseprite" % i, frame={"x": 12 * i, "y": 0, "w": 12, "h": 12},
                    rotated=False, trimmed=False, spriteSourceSize={"x": 0, "y": 0, "w": 8, "h": 8},
                    sourceSize={"w": 8, "h": 8}, duration=100) for i in range(3)],
    "meta": {"app": "https://www.aseprite.org/", "version": "1.3", "image": "walk.png", "format": "RGBA8888",
             "size": {"w": 36, "h": 12}, "scale": "1",
             "frameTags": [{"name": "walk", "from": 0, "to": 2, "direction": "forward"}]},
}

# Aseprite's array form with tags in every direction.
ASEPRITE = {
    "frames": [dict(filename="walk %d.aseprite" % i, **frame(8 * i, 0, 8, 8, duration=100 + 50 * i))
               for i in range(4)],
    "meta": {"app": "https://www.aseprite.org/", "version": "1.3", "image": "walk.png", "format": "RGBA8888",
             "size": {"w": 32, "h": 8}, "scale": "1",
             "frameTags": [
                 {"name": "all", "from": 0, "to": 3, "direction": "forward", "color": "#000000ff"},
                 {"name": "back", "from": 1, "to": 2, "direction": "reverse", "color": "#000000ff"},
                 {"name": "bounce", "from": 0, "to": 2, "direction": "pingpong", "color": "#000000ff"},
                 {"name": "rebound", "from": 2, "to": 3, "direction": "pingpong_reverse"},
             ]},
}


def changed(base, path, value):
    """A copy of base with the value at path (keys and indices) replaced; None deletes it."""
    out = copy.deepcopy(base)
    at = out
    for key in path[:-1]:
        at = at[key]
    if value is None:
        del at[path[-1]]
    else:
        at[path[-1]] = value
    return out


SEEDS = {
    "make_atlas_one_page.json": json.dumps(ONE_PAGE, indent=2),
    "make_atlas_two_pages.json": json.dumps(TWO_PAGES, indent=2),
    "texturepacker_hash.json": json.dumps(PACKER_HASH),
    "texturepacker_array.json": json.dumps(PACKER_ARRAY),
    "aseprite_array_tags.json": json.dumps(ASEPRITE),
    "empty_frames.json": json.dumps({"frames": {}, "meta": meta("a.png", 1, 1)}),
    "texturepacker_rotated.json": json.dumps(PACKER_ROTATED),
    "aseprite_inner_padding.json": json.dumps(ASEPRITE_PADDED),
    "bad_rotated_outside_page.json": json.dumps(changed(PACKER_ROTATED, ["frames", "hero.png", "frame", "x"], 30)),
    "bad_rotated_flag.json": json.dumps(changed(PACKER_HASH, ["frames", "coin.png", "rotated"], 1)),
    "bad_padding_uneven.json": json.dumps(changed(ASEPRITE_PADDED, ["frames", 1, "frame", "w"], 11)),
    "bad_padding_odd.json": json.dumps(changed(ASEPRITE_PADDED, ["frames", 2, "spriteSourceSize"],
                                               {"x": 0, "y": 0, "w": 9, "h": 9})),
    "bad_outside_page.json": json.dumps(changed(ONE_PAGE, ["frames", "flame2", "frame", "x"], 60)),
    "bad_outside_source.json": json.dumps(changed(ONE_PAGE, ["frames", "flame1", "spriteSourceSize", "x"], 20)),
    "bad_negative.json": json.dumps(changed(ONE_PAGE, ["frames", "flame1", "frame", "y"], -1)),
    "bad_fraction.json": json.dumps(changed(ONE_PAGE, ["frames", "flame1", "frame", "w"], 18.5)),
    "bad_huge.json": json.dumps(changed(ONE_PAGE, ["frames", "flame1", "frame", "x"], 18446744073709551615)),
    "bad_huge_page.json": json.dumps(changed(ONE_PAGE, ["meta", "size", "w"], 4294967296)),
    "bad_string_number.json": json.dumps(changed(ONE_PAGE, ["frames", "flame1", "frame", "h"], "21")),
    "bad_no_size.json": json.dumps(changed(ONE_PAGE, ["meta", "size"], None)),
    "bad_no_frame.json": json.dumps(changed(ONE_PAGE, ["frames", "flame2", "frame"], None)),
    "bad_page_index.json": json.dumps(changed(TWO_PAGES, ["frames", "tile2", "page"], 2)),
    "bad_no_pages.json": json.dumps(changed(TWO_PAGES, ["meta", "pages"], [])),
    "bad_tag_past_end.json": json.dumps(changed(ASEPRITE, ["meta", "frameTags", 0, "to"], 4)),
    "bad_tag_backwards.json": json.dumps(changed(ASEPRITE, ["meta", "frameTags", 1, "from"], 3)),
    "bad_tag_direction.json": json.dumps(changed(ASEPRITE, ["meta", "frameTags", 2, "direction"], "sideways")),
    "bad_name_twice.json": json.dumps(changed(PACKER_ARRAY, ["frames", 1, "filename"], "hero.png")),
    "bad_control_name.json": json.dumps({"frames": {"a\nb\u0001": frame(0, 0, 1, 1)},
                                         "meta": meta("a.png", 1, 1)}),
    "bad_frames_type.json": json.dumps({"frames": 7, "meta": meta("a.png", 1, 1)}),
    "bad_root.json": "[1, 2, 3]",
    "bad_deep.json": "[" * 1000 + "]" * 1000,
    "bad_deep_in_frame.json": json.dumps(changed(ONE_PAGE, ["frames", "flame2", "duration"], "DEEP")).replace(
        '"DEEP"', "[" * 100 + "]" * 100, 1),
    "deep_64.json": '{"frames": ' + "[" * 63 + "]" * 63 + ', "meta": {"image": "a.png", "size": {"w": 1, "h": 1}}}',
    "column_frames.json": json.dumps({"frames": [dict(filename=str(i), frame={"x": 0, "y": i, "w": 2, "h": 1})
                                                 for i in range(60)], "meta": meta("a.png", 4, 60)},
                                     separators=(",", ":")),
    "hash_many_frames.json": json.dumps({"frames": {str(97 * i % 61): {"frame": {"x": i, "y": 0, "w": 1, "h": 1}}
                                                    for i in range(60)}, "meta": meta("a.png", 60, 1)},
                                        separators=(",", ":")),
    "bad_not_json.json": '{"frames": {"a": {"frame": {"x": 0,',
}


def main():
    out = os.path.join(HERE, "corpus_atlas")
    os.makedirs(out, exist_ok=True)
    for name, text in SEEDS.items():
        data = text.encode("utf-8")
        assert len(data) < 4096, name
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
