#ifndef ENGINE_TILEMAP_TILEMAP_H
#define ENGINE_TILEMAP_TILEMAP_H

#include "engine/math/Vector2.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/tilemap/TileMapData.h"

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CTexture;

// An orthogonal Tiled map (.tmx or .tmj, read by CTileMapReader) with one texture per image,
// drawn through a sprite batch: the visible tile layers in order, only the tiles that reach the
// view, and within a layer the tiles grouped by tileset, so that a layer costs one draw call per
// tileset it shows (the batch merges a run that carries on into the next layer). The map's
// top-left corner is (0, 0) of the coordinates it is drawn in, one unit per map pixel. A tile is
// drawn as Tiled draws it: its bottom-left corner on its cell's, moved by the tileset's tile
// offset and the layer's offset, tinted white at the layer's opacity; flip flags mirror and turn it
// (a diagonal flip exchanges the drawn width and height). Object layers and custom properties are
// data for the game.
//
// Sampling: wherever a tile lands texel for pixel (the layer's and the tileset's offsets whole,
// under matrices that only move by whole pixels: CSpriteBatch::matricesMoveByWholePixels), its
// region is its exact texels; the batch samples GL_NEAREST there and draws what CTexture::drawRegion
// draws. Anywhere else (a camera between pixels, a scale, a turn) linear filtering reads half a
// texel past a region's edge, into the neighbouring tile, the spacing or, at the image's border,
// the far side of the repeating texture; there every region is inset by half a texel on each side
// (setTexelInset), so only the tile's own texels are read and its outer texels draw half as wide.
// Chosen because real tilesets often have spacing 0 and no extruded edges, and fixed-function GL
// cannot clamp each tile's coordinates; the inset needs nothing from the files and leaves
// whole-pixel draws exact. The choice is made under the matrices current when the tiles are added,
// so the batch's end() must run under the same ones (draw() without a batch does). Tiles larger
// than the grid that overlap across tilesets of one layer may cover each other in another order
// than Tiled's.
//
// Collisions: a cell is solid when the tile of any tile layer in it (visible or not, animated or
// not) has the solid property (a bool, "solid" unless the game names another) true; a solid tile
// fills its cell, whatever its image's size and offsets. An object of an object layer blocks when
// it, or its layer, has that property true, or its type is that name (the object's own property,
// true or false, comes first), as a rectangle: a tile object by its picture, a turned one by its
// bounding box, an ellipse by its box. Points, and polygons (whose outlines are not kept), block
// nothing. Outside the map nothing is solid: a game keeps its walker on the map itself.
//
// Each tileset's image loads with the tileset's transparent colour keyed out. Only the tiles the
// loaded image really holds are drawn: columns and rows are counted in the image (whole tiles
// inside the margin) and a tileset claiming more writes one line, "Tiles past the image in the
// tile map: ", and draws the rest as nothing, as Tiled shows them blank.
//
// Owns its map data, the tilesets' textures (one for all tilesets of the same image and
// transparent colour) and the batch draw() uses; points to nothing. The textures need the window.
// Main thread only.
class CTileMap {
public:
    // Animated tiles show the frame for this clock's time, in milliseconds: the engine's
    // (CClock::milliseconds) unless a test sets another. Every map shares it, and every cell of an animated tile
    // shows the same frame, as in Tiled.
    typedef Uint32 (*Clock)();
    static void setClock(Clock clock);

    CTileMap();
    // load() at once.
    explicit CTileMap(const std::string& fileName);
    ~CTileMap();

    // Reads the map (found by the data lookup, CDataFiles::find()) and loads each tileset's image
    // as a texture. Logs "Loading Tile Map: " and the path. On any failure, a missing or bad image
    // included, writes one line "Failed to load the tile map: PATH, Error: ..." and leaves the map
    // empty (drawing it draws nothing). A second load replaces the first.
    bool load(const std::string& fileName);
    // Reads the map from its bytes without loading images or touching OpenGL: the data and
    // properties become readable, drawing still draws nothing. Same failure line as load().
    bool parse(const std::string& bytes, const std::string& fileName);
    // Forgets the map and deletes its textures, GL textures and all; a second load() starts here,
    // so a map reloaded any number of times holds one set of tileset textures.
    void clear();
    // True once load() or parse() succeeded.
    bool isLoaded() const;

    // Adds the tiles of every visible tile layer that reach the view (a rectangle in map pixels) to
    // the batch, between its begin() and end(), animated tiles at the frame for timeMs. The map and
    // its textures need only live until end().
    void draw(CSpriteBatch& batch, float viewX, float viewY, float viewWidth, float viewHeight,
              Uint32 timeMs) const;
    // As above, at the clock's time.
    void draw(CSpriteBatch& batch, float viewX, float viewY, float viewWidth, float viewHeight) const;
    // The view is what the current matrices show (currentView()).
    void draw(CSpriteBatch& batch) const;
    // begin(), draw(batch), end() on the map's own batch.
    void draw();

    // The rectangle of batch coordinates that the current projection and model-view matrices put
    // inside the clip volume: the window's view through the 2D camera (CCameraManager::apply) and
    // any scale or turn the game added (the bounding box). False when the matrices are not a 2D
    // mapping (a 3D projection); the outputs are then untouched.
    static bool currentView(float& x, float& y, float& width, float& height);

    // Shrinks the region of every tile that does not land texel for pixel by this many texels on
    // each side (half a texel by default, at most half a tile) so that linear filtering never
    // reaches a neighbour. 0 lets it read half a texel across the edges.
    void setTexelInset(float texels);
    float getTexelInset() const;

    const CTileMapData& getData() const;
    int getWidth() const;  // in tiles
    int getHeight() const;
    int getTileWidth() const;  // the grid's cell, in pixels
    int getTileHeight() const;
    const std::vector<CTileLayer>& getTileLayers() const;
    const std::vector<CObjectLayer>& getObjectLayers() const;
    const std::vector<CTileset>& getTilesets() const;
    // The first layer of that name; null when none has it.
    const CTileLayer* findTileLayer(const std::string& name) const;
    const CObjectLayer* findObjectLayer(const std::string& name) const;
    // The global id with its flip flags in a cell of a tile layer (by index); 0 outside.
    uint32_t getGid(std::size_t layer, int column, int row) const;
    // The tileset that holds a global id (flags ignored); null when none does.
    const CTileset* findTileset(uint32_t gid) const;
    // What the tileset says of that tile (type, properties, animation); null when it says nothing.
    const CTilesetTile* findTile(uint32_t gid) const;
    // The global id shown at timeMs in place of an animated tile, flags kept; other ids unchanged.
    uint32_t getShownGid(uint32_t gid, Uint32 timeMs) const;
    // The map's own custom properties.
    const CMapProperties& getProperties() const;

    // The property (a bool) that makes a tile or an object solid; "solid" by default. An empty
    // name writes "Ignored an empty solid property name for the tile map: PATH" and keeps the last.
    void setSolidProperty(const std::string& name);
    const std::string& getSolidProperty() const;
    // The cells a rectangle of map pixels (top-left x, y) overlaps, clipped to the map, as the
    // columns [firstColumn, endColumn) and rows [firstRow, endRow); a rectangle that only touches a
    // cell's edge does not overlap it. False, with empty ranges, when it overlaps no cell.
    bool getOverlappedCells(float x, float y, float width, float height, int& firstColumn, int& firstRow,
                            int& endColumn, int& endRow) const;
    bool isSolidCell(int column, int row) const;
    // True when the rectangle overlaps a solid cell or a solid object's rectangle.
    bool isSolid(float x, float y, float width, float height) const;
    // The box (top-left, size in map pixels) moved by the step against what is solid: along x first,
    // then along y, each axis stopping flush at the first solid thing in its way however long the
    // step, so that the box slides along a wall it runs into. What the box already overlaps does not
    // stop it, so a box placed inside a wall can walk out. A size or step that is negative or not
    // finite writes "Ignored a box move in the tile map: PATH, Error: ..." and gives the box back
    // where it was.
    CVector2 moveBox(CVector2 topLeft, CVector2 size, CVector2 step) const;
    // The map's property as written; empty when it has none of that name.
    std::string getProperty(const std::string& name) const;

private:
    CTileMap(const CTileMap&) = delete;
    CTileMap& operator=(const CTileMap&) = delete;

    // Writes the failure line for the map at path, empties the map and answers false.
    bool fail(const std::string& path, const std::string& problem);
    // Cuts the tileset's columns to what its loaded image holds and gives the count of its tiles
    // that are inside the image; a tileset that gave no count takes that count. False, with the
    // failure line written, when the image holds no tile at all and the file left the count to it.
    bool fitToImage(const std::string& path, const std::string& what, CTileset& tileset, int imageWidth,
                    int imageHeight, uint32_t& drawable);
    // Which tilesets each tile layer uses, so that drawing visits only those.
    void findLayerTilesets();
    // The local id shown for a local id of the tileset at timeMs.
    static uint32_t shownTile(const CTileset& tileset, uint32_t local, Uint32 timeMs);
    // Marks the solid cells and lists the solid objects' rectangles, by the solid property.
    void findSolids();
    // One axis of moveBox: how far the box at [low, high) along the axis (between across and
    // acrossEnd on the other) may go by step before it meets something solid.
    double sweep(bool alongX, double low, double high, double across, double acrossEnd, double step) const;

    struct SolidRect {
        double left, top, right, bottom;
    };

    CTileMapData data;
    std::vector<std::unique_ptr<CTexture>> textures;      // one per image and colour key after load()
    std::vector<std::size_t> tilesetTextures;             // per tileset: its index into textures
    std::vector<uint32_t> drawableTiles;                  // per tileset: its tiles inside the image
    std::vector<std::vector<std::size_t>> layerTilesets;  // per tile layer, indices into tilesets
    CSpriteBatch ownBatch;                                // draw() without a batch uses this one
    float texelInset;
    bool loaded;
    std::string path;                   // as loaded or parsed, for the log
    std::string solidProperty;          // "solid" unless the game names another
    std::vector<uint8_t> solidCells;    // width * height, row by row: 1 where a solid tile is
    std::vector<SolidRect> solidRects;  // the solid objects' rectangles, in map pixels

    static Clock clock;
};

#endif
