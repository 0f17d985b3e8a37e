#ifndef ENGINE_TILEMAP_TILESETTILE_H
#define ENGINE_TILEMAP_TILESETTILE_H

#include "engine/tilemap/MapProperties.h"

#include <cstdint>
#include <string>
#include <vector>

// What a tileset says about one of its tiles beyond its place in the image: a type, custom
// properties and an animation. Only tiles the file describes have one. A plain value.
struct CTilesetTile {
    // One step of an animation: the tile shown (a local id in the same tileset) and for how long.
    struct Frame {
        uint32_t tileId;
        uint32_t duration;  // milliseconds
    };

    uint32_t id = 0;   // local id within its tileset
    std::string type;  // Tiled's "type" (written "class" by Tiled 1.9)
    CMapProperties properties;
    std::vector<Frame> animation;  // empty when the tile does not animate
};

#endif
