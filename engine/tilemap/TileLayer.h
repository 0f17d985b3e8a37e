#ifndef ENGINE_TILEMAP_TILELAYER_H
#define ENGINE_TILEMAP_TILELAYER_H

#include "engine/tilemap/MapProperties.h"

#include <cstdint>
#include <string>
#include <vector>

// Tiled's flags in the top bits of a global tile id. The diagonal flip swaps the tile's x and y
// axes before the horizontal and vertical flips apply, which together give the quarter turns.
const uint32_t kTileFlipHorizontal = 0x80000000u;
const uint32_t kTileFlipVertical = 0x40000000u;
const uint32_t kTileFlipDiagonal = 0x20000000u;
// The id without the flags. Bit 28 belongs to hexagonal maps, which Tiled may leave set in others.
const uint32_t kTileGidMask = 0x0FFFFFFFu;

// A grid of tiles. A layer inside a Tiled group comes out with the group's offset added, its
// opacity multiplied in and its visibility combined; the group's own properties are not kept. Not
// yet: a layer's tint colour and parallax factors. A plain value.
struct CTileLayer {
    int id = 0;
    std::string name;
    int width = 0;  // in tiles
    int height = 0;
    float opacity = 1.0f;
    bool visible = true;
    float offsetX = 0.0f;  // in pixels
    float offsetY = 0.0f;
    CMapProperties properties;
    // width * height global ids with their flags, row by row from the top-left cell; 0 is an
    // empty cell. An id no tileset holds was made 0 when the map was read.
    std::vector<uint32_t> gids;
};

#endif
