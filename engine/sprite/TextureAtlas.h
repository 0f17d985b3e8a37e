#ifndef ENGINE_SPRITE_TEXTUREATLAS_H
#define ENGINE_SPRITE_TEXTUREATLAS_H

#include "engine/math/Vector2.h"
#include "engine/sprite/AtlasDescriptor.h"
#include "engine/sprite/AtlasRegion.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSpriteBatch;
class CTexture;

// Many images packed onto a few pages, each found by name: a descriptor (what make_atlas writes, or
// TexturePacker's and Aseprite's JSON, see CAtlasDescriptor) and its page images, loaded as
// CTextures. A region draws as its untrimmed source image would: the trimmed part lands where it
// lay in the source, upright even when the packer stored it turned, scaled about the source's
// top-left corner and rotated about the source's centre. Regions of one page added to a
// CSpriteBatch one after another cost one draw call. Filtering never mixes in a neighbouring
// frame's texels (how, and what it costs: CAtlasRegion).
//
// Owns its page textures (a load deletes those of the one before, GL textures and all), its
// descriptor tables and its regions. Regions point to the pages: a region (or an animation made
// from regions) kept past the atlas's next load or its end is stale, and draws nothing with one
// line (CAtlasRegion::isStale). Main thread only.
class CTextureAtlas {
public:
    CTextureAtlas();
    // Loads at once (see load()).
    explicit CTextureAtlas(const std::string& fileName);
    ~CTextureAtlas();

    // Reads the descriptor (found through CDataFiles::find, as a texture is) and loads every page
    // with CTexture::load, its image named relative to the descriptor's folder. Logs
    // "Loading Atlas: " and the path; on any failure (no such file, a malformed descriptor, a page
    // that does not load or is not the size the descriptor says) one line "Failed to load the
    // atlas: PATH, Error: WHAT", and the atlas is empty: no regions, nothing drawn. Forgets what an
    // earlier load held first.
    bool load(const std::string& fileName);
    bool isLoaded() const;
    // The path a successful load read; empty otherwise.
    const std::string& getFileName() const;

    // The named region; null when the atlas has none of that name.
    const CAtlasRegion* find(const std::string& name) const;
    // Regions in the descriptor's frame order; null for an index outside them.
    const CAtlasRegion* getRegion(std::size_t index) const;
    std::size_t getRegionCount() const;
    std::size_t getPageCount() const;
    // Names, durations and tags, as read.
    const CAtlasDescriptor& getDescriptor() const;

    // As CTexture::draw would draw the untrimmed source image with its top-left corner at (x, y).
    // Pixels match that draw wherever the image's own edges are transparent (make_atlas keeps one
    // transparent pixel around what it trims, and copies each part's surroundings round it). A
    // turned part, or one with an edge beside another frame drawn off the texel grid, is drawn
    // through a batch of one quad (see CSpriteBatch for its state; tinted, a channel may then
    // differ from shader 0's by one step).
    static void draw(const CAtlasRegion& region, float x, float y, float scale, float angle, float red,
                     float green, float blue, float alpha);
    // The same quad added to the batch (through CSpriteBatch::addAtlasRegion).
    static void add(CSpriteBatch& batch, const CAtlasRegion& region, float x, float y, float scale, float angle,
                    float red, float green, float blue, float alpha);
    // Where the kept part's upright top-left corner goes for CTexture::drawRegion and
    // CSpriteBatch::addAtlasRegion, which scale about that corner and rotate about the part's own
    // centre, so that it lands as described above.
    static CVector2 placement(const CAtlasRegion& region, float x, float y, float scale, float angle);
    // Whether a region can be drawn: false for one no atlas filled, and for a stale one, with the
    // line "Skipped drawing a stale atlas region: ..." the first time for each load it came from.
    static bool usable(const CAtlasRegion& region);

    // The steps every load since the program started took to find which frames lie beside others:
    // a measure for tests that it grows as n log n in the frames, however they are laid out.
    static uint64_t touchingSteps();

private:
    CTextureAtlas(const CTextureAtlas&) = delete;
    CTextureAtlas& operator=(const CTextureAtlas&) = delete;

    void clear();
    // The failure line; leaves the atlas empty.
    bool fail(const std::string& path, const std::string& what);

    std::string fileName;
    CAtlasDescriptor descriptor;
    std::vector<std::unique_ptr<CTexture>> pages;  // owned
    std::vector<CAtlasRegion> regions;             // one per descriptor frame, same order
    // The number of the current load, unique in the process; the regions hold it weakly.
    std::shared_ptr<unsigned> currentLoad;
};

#endif
