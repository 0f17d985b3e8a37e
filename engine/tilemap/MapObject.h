#ifndef ENGINE_TILEMAP_MAPOBJECT_H
#define ENGINE_TILEMAP_MAPOBJECT_H

#include "engine/tilemap/MapProperties.h"

#include <cstdint>
#include <string>

// One object of an object layer, kept for the game to read; the map does not draw it. Positions
// are map pixels as Tiled writes them (a tile object's (x, y) is its bottom-left corner). Not yet:
// the outline of polygons and polylines, text, and the fields an object template would add.
struct CMapObject {
    int id = 0;
    std::string name;
    std::string type;  // Tiled's "type" (written "class" by Tiled 1.9)
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    float rotation = 0.0f;  // degrees, clockwise
    uint32_t gid = 0;       // a tile object's tile, flip flags included; 0 otherwise
    bool point = false;
    bool visible = true;
    CMapProperties properties;
};

#endif
