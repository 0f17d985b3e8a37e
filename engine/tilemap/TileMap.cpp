#include "engine/tilemap/TileMap.h"

#include "engine/core/Clock.h"
#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/texture/Texture.h"
#include "engine/tilemap/TileMapReader.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sys/stat.h>
#include <tuple>

namespace {

// The cells [begin, end) of one axis whose tiles can reach the view, for tiles of `size` pixels
// whose near edge sits at cell * step + offset + shift (shift: where a tile starts in its cell).
void visibleCells(double viewStart, double viewSize, double step, double offset, double shift, double size,
                  int cells, int& begin, int& end)
{
    // A tile reaches the view when start < viewStart + viewSize and start + size > viewStart.
    const double first = std::floor((viewStart - offset - shift - size) / step) + 1.0;
    const double last = std::ceil((viewStart + viewSize - offset - shift) / step);
    begin = int(std::min(std::max(first, 0.0), double(cells)));
    end = int(std::min(std::max(last, 0.0), double(cells)));
}

// Room for rounding when a box rests exactly against a cell's edge: a box stopped flush at a wall,
// or standing on a row's edge, neither overlaps it nor is stopped by it, on maps up to millions of
// pixels across.
double slack(double a, double b)
{
    return 1e-3 + std::max(std::fabs(a), std::fabs(b)) * 1e-7;
}

// floor or ceil of value / size, kept within [low, high] before it becomes an int.
int cellIndex(double value, double size, bool up, int low, int high)
{
    const double cell = up ? std::ceil(value / size) : std::floor(value / size);
    return int(std::min(std::max(cell, double(low)), double(high)));
}

bool finite(CVector2 v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

}  // namespace

CTileMap::Clock CTileMap::clock = CClock::milliseconds;

void CTileMap::setClock(Clock newClock)
{
    clock = newClock ? newClock : CClock::milliseconds;
}

CTileMap::CTileMap()
    : texelInset(0.5f),
      loaded(false),
      solidProperty("solid")
{
}

CTileMap::CTileMap(const std::string& fileName)
    : CTileMap()
{
    load(fileName);
}

CTileMap::~CTileMap() = default;

bool CTileMap::fail(const std::string& path, const std::string& problem)
{
    CLog::line("Failed to load the tile map: " + path + ", Error: " + problem);
    clear();
    return false;
}

bool CTileMap::load(const std::string& fileName)
{
    clear();
    const std::string path = CDataFiles::path(fileName);
    CLog::line("Loading Tile Map: " + path);
    if (!CTileMapReader::readFile(path, data)) {
        CDataFiles::noteMissing(fileName);
        return false;
    }
    this->path = path;
    bool countedInImages = false;
    // Tilesets of one image file (however its path is spelt) and one colour key share its texture:
    // a map may name one large image from dozens of tilesets.
    std::map<std::tuple<dev_t, ino_t, int32_t>, std::size_t> loadedImages;
    for (CTileset& tileset : data.tilesets) {
        const std::string what = "the image " + CTileMapReader::quote(tileset.image) + " of tileset " +
                                 CTileMapReader::quote(tileset.name);
        // Looked for first, so that a missing image is this one line rather than the texture's two.
        const std::string file = CDataFiles::find(tileset.image);
        struct stat status;
        if (file.empty() || stat(file.c_str(), &status) != 0)
            return fail(path, what + " does not exist");
        const auto image = std::make_tuple(status.st_dev, status.st_ino, std::max(tileset.colorKey, int32_t(-1)));
        const auto found = loadedImages.find(image);
        if (found == loadedImages.end()) {
            std::unique_ptr<CTexture> texture(new CTexture());
            texture->setColorKey(tileset.colorKey >= 0 ? tileset.colorKey : CTexture::kNoColorKey);
            texture->load(tileset.image);
            if (!texture->isLoaded())
                return fail(path, what + " does not load");
            loadedImages.emplace(image, textures.size());
            textures.push_back(std::move(texture));
        }
        const std::size_t shared = found == loadedImages.end() ? textures.size() - 1 : found->second;
        uint32_t drawable = 0;
        if (!fitToImage(path, what, tileset, int(textures[shared]->width), int(textures[shared]->height),
                        drawable))
            return false;
        tilesetTextures.push_back(shared);
        drawableTiles.push_back(drawable);
        countedInImages = countedInImages || tileset.countFromImage;
    }
    if (countedInImages)
        CTileMapReader::dropUnknownIds(path, data);
    findLayerTilesets();
    findSolids();
    loaded = true;
    return true;
}

bool CTileMap::fitToImage(const std::string& path, const std::string& what, CTileset& tileset, int imageWidth,
                          int imageHeight, uint32_t& drawable)
{
    // Only whole tiles inside the margin on every side: nothing is ever sampled outside the image.
    const int64_t imageColumns =
        std::max<int64_t>(0, (int64_t(imageWidth) - 2 * int64_t(tileset.margin) + tileset.spacing) /
                                 (int64_t(tileset.tileWidth) + tileset.spacing));
    const int64_t imageRows =
        std::max<int64_t>(0, (int64_t(imageHeight) - 2 * int64_t(tileset.margin) + tileset.spacing) /
                                 (int64_t(tileset.tileHeight) + tileset.spacing));
    const bool columnsGiven = tileset.columns != 0;
    if ((!columnsGiven || tileset.countFromImage) && imageColumns == 0)
        return fail(path, what + " is narrower than one tile");
    if (tileset.countFromImage && imageRows == 0)
        return fail(path, what + " is shorter than one tile");
    const int64_t columns = columnsGiven ? std::min<int64_t>(tileset.columns, imageColumns) : imageColumns;
    const uint64_t imageTiles = uint64_t(columns) * uint64_t(imageRows);
    drawable = uint32_t(std::min<uint64_t>(tileset.tileCount, imageTiles));
    if (tileset.countFromImage) {
        tileset.tileCount = drawable;
    } else if ((columnsGiven && tileset.columns > imageColumns) || tileset.tileCount > imageTiles) {
        // Tiled lays the tiles out in the image's own columns and shows those past it blank. One
        // line for the tileset, however many cells use them.
        CLog::line("Tiles past the image in the tile map: " + path + ", Error: tileset " +
                   CTileMapReader::quote(tileset.name) + " gives " + std::to_string(tileset.columns) +
                   " columns and " + std::to_string(tileset.tileCount) + " tiles, its image " +
                   CTileMapReader::quote(tileset.image) + " (" + std::to_string(imageWidth) + " x " +
                   std::to_string(imageHeight) + ") holds " + std::to_string(imageColumns) + " columns and " +
                   std::to_string(imageRows) + " rows" +
                   (drawable < tileset.tileCount ? "; tiles from " + std::to_string(drawable) + " on draw nothing"
                                                 : "; the tiles take its columns"));
    }
    tileset.columns = int(columns);
    return true;
}

bool CTileMap::parse(const std::string& bytes, const std::string& fileName)
{
    clear();
    if (!CTileMapReader::read(bytes, fileName, data))
        return false;
    path = fileName;
    findLayerTilesets();
    findSolids();
    loaded = true;
    return true;
}

void CTileMap::clear()
{
    data = CTileMapData();
    textures.clear();
    tilesetTextures.clear();
    drawableTiles.clear();
    layerTilesets.clear();
    solidCells.clear();
    solidRects.clear();
    path.clear();
    loaded = false;
}

bool CTileMap::isLoaded() const
{
    return loaded;
}

void CTileMap::findLayerTilesets()
{
    layerTilesets.assign(data.tileLayers.size(), std::vector<std::size_t>());
    std::vector<bool> used(data.tilesets.size());
    for (std::size_t i = 0; i < data.tileLayers.size(); ++i) {
        std::fill(used.begin(), used.end(), false);
        uint32_t lastId = 0;
        for (uint32_t gid : data.tileLayers[i].gids) {
            const uint32_t id = gid & kTileGidMask;
            // Neighbouring cells mostly come from one tileset; skip the search for a repeat.
            if (id == 0 || id == lastId)
                continue;
            lastId = id;
            if (const CTileset* tileset = findTileset(id))
                used[std::size_t(tileset - data.tilesets.data())] = true;
        }
        for (std::size_t k = 0; k < used.size(); ++k)
            if (used[k])
                layerTilesets[i].push_back(k);
    }
}

uint32_t CTileMap::shownTile(const CTileset& tileset, uint32_t local, Uint32 timeMs)
{
    if (!tileset.tiles)
        return local;
    const std::vector<CTilesetTile>& tiles = *tileset.tiles;
    const auto tile = std::lower_bound(tiles.begin(), tiles.end(), local,
                                       [](const CTilesetTile& t, uint32_t id) { return t.id < id; });
    if (tile == tiles.end() || tile->id != local || tile->animation.empty())
        return local;
    uint64_t total = 0;
    for (const CTilesetTile::Frame& frame : tile->animation)
        total += frame.duration;
    if (total == 0)
        return tile->animation.front().tileId;
    // From time 0 of the clock, so that all cells agree. When SDL_GetTicks wraps (after 49 days)
    // the animation jumps once.
    uint64_t phase = timeMs % total;
    for (const CTilesetTile::Frame& frame : tile->animation) {
        if (phase < frame.duration)
            return frame.tileId;
        phase -= frame.duration;
    }
    return tile->animation.back().tileId;
}

void CTileMap::draw(CSpriteBatch& target, float viewX, float viewY, float viewWidth, float viewHeight,
                    Uint32 timeMs) const
{
    if (textures.empty() || !(viewWidth > 0.0f && viewHeight > 0.0f) || !std::isfinite(viewX) ||
        !std::isfinite(viewY) || !std::isfinite(viewWidth) || !std::isfinite(viewHeight))
        return;
    // The batch samples whole-pixel tiles texel for pixel under these matrices (as they must still be
    // at its end()); every other tile is inset, see the header.
    const bool wholePixels = CSpriteBatch::matricesMoveByWholePixels();
    for (std::size_t i = 0; i < data.tileLayers.size() && i < layerTilesets.size(); ++i) {
        const CTileLayer& layer = data.tileLayers[i];
        if (!layer.visible || !(layer.opacity > 0.0f))
            continue;
        for (std::size_t k : layerTilesets[i]) {
            if (k >= tilesetTextures.size() || k >= drawableTiles.size())
                continue;
            const CTileset& tileset = data.tilesets[k];
            const CTexture& texture = *textures[tilesetTextures[k]];
            const double offsetX = double(layer.offsetX) + tileset.offsetX;
            const double offsetY = double(layer.offsetY) + tileset.offsetY;
            // A diagonal flip swaps a tile's sides, so one that is not square may reach either way.
            const double reach = std::max(tileset.tileWidth, tileset.tileHeight);
            const double reachX = tileset.tileWidth == tileset.tileHeight ? tileset.tileWidth : reach;
            const double reachY = tileset.tileWidth == tileset.tileHeight ? tileset.tileHeight : reach;
            int columnBegin, columnEnd, rowBegin, rowEnd;
            visibleCells(viewX, viewWidth, data.tileWidth, offsetX, 0.0, reachX, layer.width, columnBegin,
                         columnEnd);
            // Tiles hang from their cell's bottom edge: one reachY high starts that far above it.
            visibleCells(viewY, viewHeight, data.tileHeight, offsetY, data.tileHeight - reachY, reachY,
                         layer.height, rowBegin, rowEnd);
            const bool texelForPixel =
                wholePixels && offsetX == std::floor(offsetX) && offsetY == std::floor(offsetY);
            const double inset =
                texelForPixel
                    ? 0.0
                    : std::min<double>(texelInset, 0.5 * std::min(tileset.tileWidth, tileset.tileHeight));
            const double texWidth = texture.width, texHeight = texture.height;
            for (int row = rowBegin; row < rowEnd; ++row) {
                const uint32_t* cells = &layer.gids[std::size_t(row) * std::size_t(layer.width)];
                for (int column = columnBegin; column < columnEnd; ++column) {
                    const uint32_t gid = cells[column];
                    const uint32_t id = gid & kTileGidMask;
                    if (id < tileset.firstGid || id - tileset.firstGid >= tileset.tileCount)
                        continue;
                    const uint32_t local = shownTile(tileset, id - tileset.firstGid, timeMs);
                    if (local >= drawableTiles[k])
                        continue;
                    const uint32_t tileColumn = local % uint32_t(tileset.columns);
                    const uint32_t tileRow = local / uint32_t(tileset.columns);
                    const double left =
                        tileset.margin + double(tileColumn) * (tileset.tileWidth + tileset.spacing) + inset;
                    const double top =
                        tileset.margin + double(tileRow) * (tileset.tileHeight + tileset.spacing) + inset;
                    const CTextureRegion region = {
                        float(1.0 - top / texHeight), float((left + tileset.tileWidth - 2.0 * inset) / texWidth),
                        float(1.0 - (top + tileset.tileHeight - 2.0 * inset) / texHeight), float(left / texWidth)};
                    const bool diagonal = (gid & kTileFlipDiagonal) != 0;
                    const float width = float(diagonal ? tileset.tileHeight : tileset.tileWidth);
                    const float height = float(diagonal ? tileset.tileWidth : tileset.tileHeight);
                    const float x = float(double(column) * data.tileWidth + offsetX);
                    const float y = float(double(row + 1) * data.tileHeight - height + offsetY);
                    target.addFlippedRegion(texture, x, y, width, height, region, (gid & kTileFlipHorizontal) != 0,
                                            (gid & kTileFlipVertical) != 0, diagonal, 1.0f, 1.0f, 1.0f,
                                            layer.opacity);
                }
            }
        }
    }
}

void CTileMap::draw(CSpriteBatch& target, float viewX, float viewY, float viewWidth, float viewHeight) const
{
    draw(target, viewX, viewY, viewWidth, viewHeight, clock());
}

void CTileMap::draw(CSpriteBatch& target) const
{
    float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;
    if (currentView(x, y, width, height))
        draw(target, x, y, width, height, clock());
}

void CTileMap::draw()
{
    if (textures.empty())
        return;
    ownBatch.begin();
    draw(ownBatch);
    ownBatch.end();
}

bool CTileMap::currentView(float& x, float& y, float& width, float& height)
{
    GLfloat modelView[16], projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    double m[16];
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            m[column * 4 + row] = 0.0;
            for (int k = 0; k < 4; ++k)
                m[column * 4 + row] += double(projection[k * 4 + row]) * modelView[column * 4 + k];
        }
    // A batch point (px, py) lands at clip (m0 px + m4 py + m12, m1 px + m5 py + m13), w = 1. The
    // clip volume's -1..1 square is the viewport: its corners, mapped back, bound the view.
    const double determinant = m[0] * m[5] - m[4] * m[1];
    if (std::fabs(m[3]) > 1e-9 || std::fabs(m[7]) > 1e-9 || std::fabs(m[15] - 1.0) > 1e-9 ||
        std::fabs(determinant) < 1e-20)
        return false;
    double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    for (int corner = 0; corner < 4; ++corner) {
        const double cx = (corner & 1 ? 1.0 : -1.0) - m[12], cy = (corner & 2 ? 1.0 : -1.0) - m[13];
        const double point[2] = {(m[5] * cx - m[4] * cy) / determinant, (m[0] * cy - m[1] * cx) / determinant};
        for (int axis = 0; axis < 2; ++axis) {
            low[axis] = std::min(low[axis], point[axis]);
            high[axis] = std::max(high[axis], point[axis]);
        }
    }
    x = float(low[0]);
    y = float(low[1]);
    width = float(high[0] - low[0]);
    height = float(high[1] - low[1]);
    return true;
}

void CTileMap::setTexelInset(float texels)
{
    texelInset = texels > 0.0f && std::isfinite(texels) ? texels : 0.0f;
}

float CTileMap::getTexelInset() const
{
    return texelInset;
}

const CTileMapData& CTileMap::getData() const
{
    return data;
}

int CTileMap::getWidth() const
{
    return data.width;
}

int CTileMap::getHeight() const
{
    return data.height;
}

int CTileMap::getTileWidth() const
{
    return data.tileWidth;
}

int CTileMap::getTileHeight() const
{
    return data.tileHeight;
}

const std::vector<CTileLayer>& CTileMap::getTileLayers() const
{
    return data.tileLayers;
}

const std::vector<CObjectLayer>& CTileMap::getObjectLayers() const
{
    return data.objectLayers;
}

const std::vector<CTileset>& CTileMap::getTilesets() const
{
    return data.tilesets;
}

const CTileLayer* CTileMap::findTileLayer(const std::string& name) const
{
    for (const CTileLayer& layer : data.tileLayers)
        if (layer.name == name)
            return &layer;
    return nullptr;
}

const CObjectLayer* CTileMap::findObjectLayer(const std::string& name) const
{
    for (const CObjectLayer& layer : data.objectLayers)
        if (layer.name == name)
            return &layer;
    return nullptr;
}

uint32_t CTileMap::getGid(std::size_t layer, int column, int row) const
{
    if (layer >= data.tileLayers.size())
        return 0;
    const CTileLayer& tiles = data.tileLayers[layer];
    if (column < 0 || row < 0 || column >= tiles.width || row >= tiles.height)
        return 0;
    return tiles.gids[std::size_t(row) * std::size_t(tiles.width) + std::size_t(column)];
}

const CTileset* CTileMap::findTileset(uint32_t gid) const
{
    const uint32_t id = gid & kTileGidMask;
    const auto after = std::upper_bound(data.tilesets.begin(), data.tilesets.end(), id,
                                        [](uint32_t value, const CTileset& t) { return value < t.firstGid; });
    if (id == 0 || after == data.tilesets.begin())
        return nullptr;
    const CTileset& tileset = *(after - 1);
    return id - tileset.firstGid < tileset.tileCount ? &tileset : nullptr;
}

const CTilesetTile* CTileMap::findTile(uint32_t gid) const
{
    const CTileset* tileset = findTileset(gid);
    if (tileset == nullptr || !tileset->tiles)
        return nullptr;
    const uint32_t local = (gid & kTileGidMask) - tileset->firstGid;
    const std::vector<CTilesetTile>& tiles = *tileset->tiles;
    const auto tile = std::lower_bound(tiles.begin(), tiles.end(), local,
                                       [](const CTilesetTile& t, uint32_t id) { return t.id < id; });
    return tile != tiles.end() && tile->id == local ? &*tile : nullptr;
}

uint32_t CTileMap::getShownGid(uint32_t gid, Uint32 timeMs) const
{
    const CTileset* tileset = findTileset(gid);
    if (tileset == nullptr)
        return gid;
    const uint32_t local = (gid & kTileGidMask) - tileset->firstGid;
    return (gid & ~kTileGidMask) | (tileset->firstGid + shownTile(*tileset, local, timeMs));
}

const CMapProperties& CTileMap::getProperties() const
{
    return data.properties;
}

std::string CTileMap::getProperty(const std::string& name) const
{
    return data.properties.get(name);
}

void CTileMap::setSolidProperty(const std::string& name)
{
    if (name.empty()) {
        CLog::line("Ignored an empty solid property name for the tile map: " + path);
        return;
    }
    solidProperty = name;
    findSolids();
}

const std::string& CTileMap::getSolidProperty() const
{
    return solidProperty;
}

void CTileMap::findSolids()
{
    solidCells.assign(std::size_t(std::max(data.width, 0)) * std::size_t(std::max(data.height, 0)), 0);
    solidRects.clear();
    // Each tile the tilesets describe is looked up once, not once per cell.
    std::map<uint32_t, bool> known;
    for (const CTileLayer& layer : data.tileLayers) {
        const int columns = std::min(layer.width, data.width), rows = std::min(layer.height, data.height);
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column) {
                const uint32_t id =
                    layer.gids[std::size_t(row) * std::size_t(layer.width) + std::size_t(column)] & kTileGidMask;
                if (id == 0)
                    continue;
                auto found = known.find(id);
                if (found == known.end()) {
                    const CTilesetTile* tile = findTile(id);
                    const bool solid = tile != nullptr &&
                                       (tile->properties.getBool(solidProperty) || tile->type == solidProperty);
                    found = known.emplace(id, solid).first;
                }
                if (found->second)
                    solidCells[std::size_t(row) * std::size_t(data.width) + std::size_t(column)] = 1;
            }
    }
    for (const CObjectLayer& layer : data.objectLayers) {
        const bool layerSolid = layer.properties.getBool(solidProperty);
        for (const CMapObject& object : layer.objects) {
            const bool solid = object.properties.has(solidProperty) ? object.properties.getBool(solidProperty)
                                                                    : layerSolid || object.type == solidProperty;
            if (!solid || !(object.width > 0.0f) || !(object.height > 0.0f))
                continue;
            // Tiled turns an object clockwise about (x, y): a tile object's bottom-left corner, any
            // other's top-left.
            const double top = object.gid != 0 ? -double(object.height) : 0.0;
            const double turn = double(object.rotation) * M_PI / 180.0;
            const double c = std::cos(turn), s = std::sin(turn);
            SolidRect box = {INFINITY, INFINITY, -INFINITY, -INFINITY};
            for (int corner = 0; corner < 4; ++corner) {
                const double u = corner & 1 ? object.width : 0.0, v = top + (corner & 2 ? object.height : 0.0);
                const double x = object.x + layer.offsetX + u * c - v * s;
                const double y = object.y + layer.offsetY + u * s + v * c;
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                       std::max(box.bottom, y)};
            }
            if (std::isfinite(box.left + box.top + box.right + box.bottom))
                solidRects.push_back(box);
        }
    }
}

bool CTileMap::getOverlappedCells(float x, float y, float width, float height, int& firstColumn, int& firstRow,
                                  int& endColumn, int& endRow) const
{
    firstColumn = firstRow = endColumn = endRow = 0;
    if (data.tileWidth <= 0 || data.tileHeight <= 0 || !finite(CVector2(x, y)) ||
        !finite(CVector2(width, height)) || !(width > 0.0f) || !(height > 0.0f))
        return false;
    const double right = double(x) + width, bottom = double(y) + height;
    const double slackX = slack(x, right), slackY = slack(y, bottom);
    const int left = cellIndex(x + slackX, data.tileWidth, false, 0, data.width);
    const int top = cellIndex(y + slackY, data.tileHeight, false, 0, data.height);
    const int rightEnd = cellIndex(right - slackX, data.tileWidth, true, 0, data.width);
    const int bottomEnd = cellIndex(bottom - slackY, data.tileHeight, true, 0, data.height);
    if (left >= rightEnd || top >= bottomEnd)
        return false;
    firstColumn = left;
    firstRow = top;
    endColumn = rightEnd;
    endRow = bottomEnd;
    return true;
}

bool CTileMap::isSolidCell(int column, int row) const
{
    if (column < 0 || row < 0 || column >= data.width || row >= data.height || solidCells.empty())
        return false;
    return solidCells[std::size_t(row) * std::size_t(data.width) + std::size_t(column)] != 0;
}

bool CTileMap::isSolid(float x, float y, float width, float height) const
{
    int firstColumn = 0, firstRow = 0, endColumn = 0, endRow = 0;
    if (getOverlappedCells(x, y, width, height, firstColumn, firstRow, endColumn, endRow))
        for (int row = firstRow; row < endRow; ++row)
            for (int column = firstColumn; column < endColumn; ++column)
                if (isSolidCell(column, row))
                    return true;
    if (!finite(CVector2(x, y)) || !finite(CVector2(width, height)))
        return false;
    const double right = double(x) + width, bottom = double(y) + height;
    const double slackX = slack(x, right), slackY = slack(y, bottom);
    for (const SolidRect& rect : solidRects)
        if (rect.left < right - slackX && rect.right > x + slackX && rect.top < bottom - slackY &&
            rect.bottom > y + slackY)
            return true;
    return false;
}

double CTileMap::sweep(bool alongX, double low, double high, double across, double acrossEnd, double step) const
{
    if (step == 0.0)
        return 0.0;
    const double cell = alongX ? data.tileWidth : data.tileHeight;
    const double crossCell = alongX ? data.tileHeight : data.tileWidth;
    const int cells = alongX ? data.width : data.height;
    const int crossCells = alongX ? data.height : data.width;
    const double along = slack(low, high), sideways = slack(across, acrossEnd);
    double allowed = step;
    // The cells ahead: those the box does not overlap yet, up to where the step would take it.
    if (cell > 0.0 && crossCell > 0.0 && !solidCells.empty()) {
        const int crossFirst = cellIndex(across + sideways, crossCell, false, 0, crossCells);
        const int crossEnd = cellIndex(acrossEnd - sideways, crossCell, true, 0, crossCells);
        const auto blocked = [&](int index) {
            for (int other = crossFirst; other < crossEnd; ++other)
                if (alongX ? isSolidCell(index, other) : isSolidCell(other, index))
                    return true;
            return false;
        };
        if (step > 0.0) {
            const int last = cellIndex(high + step, cell, true, -1, cells) - 1;
            for (int index = cellIndex(high - along, cell, true, 0, cells); index <= last; ++index)
                if (blocked(index)) {
                    allowed = index * cell - high;
                    break;
                }
        } else {
            const int last = cellIndex(low + step, cell, false, 0, cells);
            for (int index = cellIndex(low + along, cell, false, 0, cells + 1) - 1; index >= last; --index)
                if (blocked(index)) {
                    allowed = (index + 1) * cell - low;
                    break;
                }
        }
    }
    for (const SolidRect& rect : solidRects) {
        const double nearEdge = alongX ? rect.left : rect.top, farEdge = alongX ? rect.right : rect.bottom;
        const double crossLow = alongX ? rect.top : rect.left, crossHigh = alongX ? rect.bottom : rect.right;
        if (!(crossLow < acrossEnd - sideways && crossHigh > across + sideways))
            continue;
        if (step > 0.0 && nearEdge >= high - along && nearEdge < high + allowed)
            allowed = nearEdge - high;
        else if (step < 0.0 && farEdge <= low + along && farEdge > low + allowed)
            allowed = farEdge - low;
    }
    return allowed;
}

CVector2 CTileMap::moveBox(CVector2 topLeft, CVector2 size, CVector2 step) const
{
    if (!finite(topLeft) || !finite(size) || !finite(step) || size.x < 0.0f || size.y < 0.0f) {
        CLog::line("Ignored a box move in the tile map: " + path +
                   ", Error: the position, size and step must be finite and the size at least 0");
        return topLeft;
    }
    // Rounded to float, a box stopped at a wall could reach into it by a fraction of a pixel: it is
    // kept on its own side.
    const auto place = [](double start, double length, double moved, float wanted) {
        float placed = float(start + moved);
        if (wanted > 0.0f)
            while (double(placed) + length > start + length + moved)
                placed = std::nextafter(placed, -INFINITY);
        else if (wanted < 0.0f)
            while (double(placed) < start + moved)
                placed = std::nextafter(placed, INFINITY);
        return placed;
    };
    CVector2 moved = topLeft;
    const double dx =
        sweep(true, topLeft.x, double(topLeft.x) + size.x, topLeft.y, double(topLeft.y) + size.y, step.x);
    moved.x = place(topLeft.x, size.x, dx, step.x);
    const double dy =
        sweep(false, topLeft.y, double(topLeft.y) + size.y, moved.x, double(moved.x) + size.x, step.y);
    moved.y = place(topLeft.y, size.y, dy, step.y);
    return moved;
}
