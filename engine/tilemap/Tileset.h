#ifndef ENGINE_TILEMAP_TILESET_H
#define ENGINE_TILEMAP_TILESET_H

#include "engine/tilemap/MapProperties.h"
#include "engine/tilemap/TilesetTile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One image cut into a grid of tiles, as Tiled describes it; the tile map loads the image. Local id
// n is the tile in column n % columns, row n / columns, whose top-left texel is at
// (margin + column * (tileWidth + spacing), margin + row * (tileHeight + spacing)). A plain value
// but for its tile descriptions, which copies share.
struct CTileset {
    uint32_t firstGid = 0;  // the global id of local tile 0 in this map
    std::string name;
    std::string source;  // the .tsx or .tsj file it came from; empty when embedded
    std::string image;   // resolved from the folder of the file that names it
    int imageWidth = 0;  // as the file gives them; 0 when it does not
    int imageHeight = 0;
    int tileWidth = 0;  // the map's grid cell when the file gives no tile size (older Tiled files)
    int tileHeight = 0;
    int spacing = 0;  // between neighbouring tiles in the image
    int margin = 0;   // around the whole grid
    // 0 until known: the tile map counts them in the loaded image. After the tile map's load(), no
    // more than the image holds.
    int columns = 0;
    // Tiles the map may use, from firstGid on. Cut where the next tileset's ids begin, so that no
    // global id belongs to two tilesets. Those past what the loaded image holds draw nothing.
    uint32_t tileCount = 0;
    // True when the file gave neither the tile count nor the image's size (older Tiled files):
    // tileCount runs up to the next tileset's first id until the tile map's load() counts the tiles
    // in the image.
    bool countFromImage = false;
    // Tiled's transparent colour of the image ("trans" in TMX, "transparentcolor" in JSON) as
    // 0xRRGGBB: its texels load fully transparent. -1 when the tileset names none.
    int32_t colorKey = -1;
    int offsetX = 0;  // Tiled's tileoffset, in pixels
    int offsetY = 0;
    CMapProperties properties;
    // The tiles the file describes, by increasing id; null when it describes none. Shared, read-only,
    // by the tilesets of one map that name the same file.
    std::shared_ptr<const std::vector<CTilesetTile>> tiles;
};

#endif
