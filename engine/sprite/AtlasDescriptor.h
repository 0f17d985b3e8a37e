#ifndef ENGINE_SPRITE_ATLASDESCRIPTOR_H
#define ENGINE_SPRITE_ATLASDESCRIPTOR_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The tables of an atlas descriptor, read from its JSON text without OpenGL: the pages (image file
// and size), the frames (where each lies on its page, where that part lay in the untrimmed source
// image, how long it shows) and the frame tags. Reads what make_atlas writes and the two forms
// TexturePacker and Aseprite write: "hash" (frames keyed by name) and "array" (frames with a
// "filename"), with Aseprite's frameTags and per-frame durations. Frames keep the file's order,
// which the tags' frame numbers count in.
//
// make_atlas's pages: meta.pages lists every page as {image, size}, and a frame on a page other
// than the first says so with "page" (its index). Without meta.pages, meta.image and meta.size are
// the one page.
//
// Two things packers do to a frame on the page are undone here or recorded for the draw:
// - TexturePacker (and the free packers that write its JSON) may store a frame turned a quarter
//   clockwise ("rotated": true). Its "frame" w and h still give the picture's own upright size, so
//   on the page it covers h x w pixels from (x, y). Such a frame keeps its upright size here and
//   says rotated; the atlas draws it turned back.
// - Aseprite's --inner-padding N draws N transparent pixels round every frame inside its cell and
//   writes the cell as "frame", N pixels larger on each side than spriteSourceSize. The frame read
//   here is the picture in the middle of the cell, so that no draw shows the padding. (Its
//   --shape-padding and --border-padding only move the cells apart and need nothing.)
// Owns its tables.
class CAtlasDescriptor {
public:
    // Larger pages, frames and source images are refused: no texture is that large, and sums of
    // such values stay far inside 32 bits.
    static constexpr uint32_t kMaxSide = 65535;
    // Descriptors nest a few levels; deeper text is refused before any tree is built, so that no
    // tree thousands of levels deep is made (copying or printing one recurses once per level).
    static constexpr uint32_t kMaxDepth = 64;

    struct Page {
        std::string image;  // as written: relative to the descriptor's folder, or absolute
        uint32_t width;
        uint32_t height;
    };
    struct Frame {
        std::string name;
        std::size_t page;
        uint32_t x, y;                       // the kept part's top-left corner on the page, in pixels
        uint32_t width, height;              // its upright size (turned, it covers height x width)
        bool rotated;                        // stored turned a quarter clockwise on the page
        uint32_t offsetX, offsetY;           // its top-left corner in the source (spriteSourceSize)
        uint32_t sourceWidth, sourceHeight;  // the untrimmed source image
        uint32_t duration;                   // milliseconds; 0 when the descriptor gives none

        // The pixels it covers on the page: width x height, or turned, height x width.
        uint32_t pageWidth() const
        {
            return rotated ? height : width;
        }
        uint32_t pageHeight() const
        {
            return rotated ? width : height;
        }
    };
    enum class Direction { Forward, Reverse, PingPong, PingPongReverse };
    struct Tag {
        std::string name;
        std::size_t from;  // frame indices, from <= to < frame count
        std::size_t to;
        Direction direction;
    };

    // Reads the descriptor's text. On anything malformed (not JSON, nested more than kMaxDepth, a
    // field missing or of the wrong type, a size beyond kMaxSide, a frame outside its page or its
    // source, a frame scaled by the packer, a name twice, a tag past the frames) returns false, says
    // what in getError() and leaves the tables empty. Takes time in proportion to the text.
    bool parse(const std::string& text);
    void clear();

    // Empty after a successful parse; otherwise one line naming the field and what is wrong.
    const std::string& getError() const;
    const std::vector<Page>& getPages() const;
    const std::vector<Frame>& getFrames() const;
    const std::vector<Tag>& getTags() const;
    // The frame's index, or getFrames().size() when no frame has that name.
    std::size_t findFrame(const std::string& name) const;
    // The first tag of that name; null when none has it.
    const Tag* findTag(const std::string& name) const;

private:
    std::string error;
    std::vector<Page> pages;
    std::vector<Frame> frames;
    std::vector<Tag> tags;
    std::unordered_map<std::string, std::size_t> frameByName;
};

#endif
