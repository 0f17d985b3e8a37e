#ifndef ENGINE_TILEMAP_TILEMAPDATA_H
#define ENGINE_TILEMAP_TILEMAPDATA_H

#include "engine/tilemap/MapProperties.h"
#include "engine/tilemap/ObjectLayer.h"
#include "engine/tilemap/TileLayer.h"
#include "engine/tilemap/Tileset.h"

#include <vector>

// Everything a Tiled map file says, as CTileMapReader reads it: no textures, no OpenGL. Empty
// (width 0) until a read succeeds. A plain value.
struct CTileMapData {
    int width = 0;  // in tiles
    int height = 0;
    int tileWidth = 0;  // the grid's cell, in pixels
    int tileHeight = 0;
    CMapProperties properties;
    std::vector<CTileset> tilesets;          // by increasing firstGid
    std::vector<CTileLayer> tileLayers;      // in drawing order, groups flattened
    std::vector<CObjectLayer> objectLayers;  // in the file's order, groups flattened
};

#endif
