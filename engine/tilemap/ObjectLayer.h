#ifndef ENGINE_TILEMAP_OBJECTLAYER_H
#define ENGINE_TILEMAP_OBJECTLAYER_H

#include "engine/tilemap/MapObject.h"
#include "engine/tilemap/MapProperties.h"

#include <string>
#include <vector>

// Tiled's object group, kept as data. Inside a Tiled group it comes out with the group's offset,
// opacity and visibility combined into its own, as tile layers do. A plain value.
struct CObjectLayer {
    int id = 0;
    std::string name;
    float opacity = 1.0f;
    bool visible = true;
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    CMapProperties properties;
    std::vector<CMapObject> objects;  // in the file's order
};

#endif
