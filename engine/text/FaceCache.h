#ifndef ENGINE_TEXT_FACECACHE_H
#define ENGINE_TEXT_FACECACHE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

class CFontFace;

// The TrueType faces of one font, by pixel size and set (regular or bold), each made from its file on
// first use and kept within a budget, as raylib bounds its glyph cache: at most kMaxFaces faces, and
// at most kPageBudget bytes of glyph pages over all of them (a page is 256 to 2048 texels square at
// four bytes a texel, so the budget holds four of the 16 MiB pages of a face from 65 px up). When a
// new face or a new page would go past it, the least recently used faces are let go first, with their
// pages; the face asking is never one of them, and a face that alone fills the budget gets no more
// pages (its further glyphs draw nothing). Every face let go changes getStamp(): whoever kept quads on
// a page (a CText's layout) lays its text out again rather than bind a texture that is gone.
// Owns its faces. Main thread only.
class CFaceCache {
public:
    static constexpr std::size_t kMaxFaces = 16;
    static constexpr std::size_t kPageBudget = std::size_t(64) << 20;

    CFaceCache(const std::string& regularPath, const std::string& boldPath);
    ~CFaceCache();

    // Keeps a face already loaded (a font's own size, loaded up front so that a bad file is refused).
    void adopt(bool bold, std::unique_ptr<CFontFace> face);
    // The face at this size, made now when it is not kept (null when its file cannot be loaded at
    // that size), and counted as just used.
    CFontFace* get(int pixelSize, bool bold);

    std::size_t getFaceCount() const;
    // The glyph pages alive over all the faces, and their bytes.
    std::size_t getPageCount() const;
    std::size_t getPageBytes() const;
    // The stamp of the latest face let go; 0 while none has been.
    uint64_t getStamp() const;
    // A new value from one count for the whole process, larger than every one before: stamps from
    // different caches and fonts can be compared.
    static uint64_t nextStamp();

private:
    CFaceCache(const CFaceCache&) = delete;
    CFaceCache& operator=(const CFaceCache&) = delete;

    struct Kept {
        std::unique_ptr<CFontFace> face;
        uint64_t lastUse;
    };
    using Key = std::pair<int, bool>;

    void keep(const Key& key, std::unique_ptr<CFontFace> face);
    // Lets the least recently used face other than `asking` go, only among faces with pages when
    // withPages is set; false when there is none.
    bool evictOne(const CFontFace* asking, bool withPages);
    // Asked by a face before it makes a page of `bytes`.
    bool reservePage(const CFontFace& asking, std::size_t bytes);

    std::string regularPath;
    std::string boldPath;
    std::map<Key, Kept> faces;
    uint64_t uses = 0;
    uint64_t stamp = 0;
};

#endif
