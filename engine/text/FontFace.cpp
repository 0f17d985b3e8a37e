#include "engine/text/FontFace.h"

#include "engine/core/RegularFile.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/text/GlyphSheetRasterizer.h"
#include "engine/texture/ImageLimits.h"
#include "engine/texture/PixelUpload.h"

#include <GL/glew.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb-ft.h>
#include <hb.h>

#define STBRP_STATIC
#define STB_RECT_PACK_IMPLEMENTATION
#include <stb/stb_rect_pack.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

// Pages beyond these hold no more glyphs: a text of every glyph of a large font still costs at
// most this many pages.
const std::size_t kMaxPages = 16;
// The most bytes of zeros a new page is cleared from at a time.
const int kClearBandBytes = 256 * 1024;

// "FreeType error 0x01 (cannot open resource)"
std::string freetypeFailure(FT_Error error)
{
    return CGlyphSheetRasterizer::describeError(error);
}

std::string sizeRefusal(int pixelSize)
{
    return "the size " + std::to_string(pixelSize) + " px is outside " + std::to_string(CFontFace::kMinPixelSize) +
           " to " + std::to_string(CFontFace::kMaxPixelSize) + " px";
}

int pageSideFor(int pixelSize)
{
    int side = 256;
    while (side < pixelSize * 16 && side < 2048)
        side *= 2;
    return side;
}

}  // namespace

struct CFontFace::Page {
    GLuint texture = 0;
    unsigned int generation = 0;  // the context the texture was made in
    stbrp_context context{};
    std::vector<stbrp_node> nodes;
};

CFontFace::CFontFace()
    : library(nullptr),
      face(nullptr),
      font(nullptr),
      pixelSize(0),
      pageSide(0),
      ascent(0.0f),
      descent(0.0f),
      lineHeight(0.0f)
{
}

CFontFace::~CFontFace()
{
    // A page of a context that has closed is gone with it; its name may be the next context's now.
    if (CGLStateScope::hasContext())
        for (const std::unique_ptr<Page>& page : pages)
            if (page->generation == CGLStateScope::contextGeneration())
                glDeleteTextures(1, &page->texture);
    if (font != nullptr)
        hb_font_destroy(font);
    if (face != nullptr)
        FT_Done_Face(face);
    if (library != nullptr)
        FT_Done_FreeType(library);
}

std::unique_ptr<CFontFace> CFontFace::load(const std::string& path, int pixelSize, std::string& error)
{
    std::unique_ptr<CFontFace> made(new CFontFace());
    if (!made->open(path, pixelSize, error))
        return nullptr;
    return made;
}

bool CFontFace::open(const std::string& filePath, int size, std::string& error)
{
    // Refused before any arithmetic on it.
    if (size < kMinPixelSize || size > kMaxPixelSize) {
        error = sizeRefusal(size);
        return false;
    }
    // FreeType would open a pipe and wait for a writer.
    error = CRegularFile::refusal(filePath);
    if (!error.empty())
        return false;
    path = filePath;
    pixelSize = size;
    pageSide = pageSideFor(size);
    FT_Error status = FT_Init_FreeType(&library);
    if (status != 0) {
        library = nullptr;
        error = freetypeFailure(status);
        return false;
    }
    status = FT_New_Face(library, path.c_str(), 0, &face);
    if (status != 0) {
        face = nullptr;
        error = freetypeFailure(status);
        return false;
    }
    if (!FT_IS_SCALABLE(face)) {
        error = "the font has no outlines to scale";
        return false;
    }
    status = FT_Set_Pixel_Sizes(face, 0, FT_UInt(size));
    if (status != 0) {
        error = freetypeFailure(status);
        return false;
    }
    // HarfBuzz over the same FreeType face: unhinted advances, as the font designed them.
    font = hb_ft_font_create_referenced(face);
    const FT_Size_Metrics& metrics = face->size->metrics;
    ascent = float(metrics.ascender) / 64.0f;
    descent = -float(metrics.descender) / 64.0f;
    lineHeight = float(metrics.height) / 64.0f;
    // A font whose metrics say nothing sensible still gets lines that do not overlap.
    if (!(ascent > 0.0f) || ascent > 4.0f * float(size))
        ascent = float(size) * 0.8f;
    if (!(descent >= 0.0f) || descent > 4.0f * float(size))
        descent = float(size) * 0.2f;
    if (!(lineHeight >= ascent + descent) || lineHeight > 8.0f * float(size))
        lineHeight = std::ceil(ascent + descent);
    return true;
}

bool CFontFace::hasCodePoint(uint32_t codePoint) const
{
    return FT_Get_Char_Index(face, FT_ULong(codePoint)) != 0;
}

void CFontFace::shape(const char* text, int textLength, int start, int length, float penX,
                      std::vector<Placed>& out, bool rightToLeft) const
{
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf8(buffer, text, textLength, unsigned(start), length);
    // The direction is the bidirectional algorithm's; the script and language are still guessed.
    hb_buffer_set_direction(buffer, rightToLeft ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(font, buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, nullptr);
    for (unsigned i = 0; i < count; ++i) {
        const float advance = float(positions[i].x_advance) / 64.0f;
        out.push_back(Placed{infos[i].codepoint, penX + float(positions[i].x_offset) / 64.0f,
                             -float(positions[i].y_offset) / 64.0f, advance, infos[i].cluster});
        penX += advance;
    }
    hb_buffer_destroy(buffer);
}

bool CFontFace::renderGlyph(unsigned index, std::vector<uint8_t>& texels, Glyph& shape)
{
    shape = Glyph();
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0)
        return false;
    FT_GlyphSlot slot = face->glyph;
    const int largest = pageSide - 2;
    // Measured before rendering: an outline no page can hold is never rendered at all.
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        const long width = (box.xMax - box.xMin) / 64 + 2, height = (box.yMax - box.yMin) / 64 + 2;
        if (width > largest || height > largest || width < 0 || height < 0)
            return false;
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) != 0)
        return false;
    const FT_Bitmap& bitmap = slot->bitmap;
    const int width = int(bitmap.width), height = int(bitmap.rows);
    // Empty glyphs (a space, or rows without width) have nothing to draw.
    if (width <= 0 || height <= 0 || width > largest || height > largest || bitmap.buffer == nullptr ||
        (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO))
        return false;

    // White texels with the coverage in alpha, one transparent texel all round.
    const int paddedWidth = width + 2, paddedHeight = height + 2;
    texels.assign(std::size_t(paddedWidth) * std::size_t(paddedHeight) * 4, 0);
    for (std::size_t i = 0; i < texels.size(); i += 4)
        texels[i] = texels[i + 1] = texels[i + 2] = 255;
    for (int row = 0; row < height; ++row) {
        const unsigned char* source = bitmap.buffer + std::ptrdiff_t(row) * bitmap.pitch;
        uint8_t* target = &texels[(std::size_t(row + 1) * std::size_t(paddedWidth) + 1) * 4];
        for (int column = 0; column < width; ++column) {
            const uint8_t coverage = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY
                                         ? source[column]
                                         : uint8_t(((source[column / 8] >> (7 - column % 8)) & 1) * 255);
            target[std::size_t(column) * 4 + 3] = coverage;
        }
    }
    shape.left = slot->bitmap_left;
    shape.top = slot->bitmap_top;
    shape.width = width;
    shape.height = height;
    return true;
}

const CFontFace::Glyph& CFontFace::glyph(unsigned index)
{
    const auto known = glyphs.find(index);
    if (known != glyphs.end())
        return known->second;
    Glyph& made = glyphs[index];
    std::vector<uint8_t> texels;
    Glyph shape;
    int x = 0, y = 0;
    unsigned texture = 0;
    // Pages of a closed context can take no more glyphs: their names may belong to another texture now.
    const bool pagesLive = pages.empty() || pages.front()->generation == CGLStateScope::contextGeneration();
    if (!CGLStateScope::hasContext() || !pagesLive || !renderGlyph(index, texels, shape) ||
        !place(shape.width + 2, shape.height + 2, x, y, texture))
        return made;
    {
        CGLStateScope binding;
        binding.bindTexture(texture);
        CPixelUpload::CPixelStoreScope unpack(false, 1);
        glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, shape.width + 2, shape.height + 2, GL_RGBA, GL_UNSIGNED_BYTE,
                        texels.data());
    }
    const float side = float(pageSide);
    made = shape;
    made.texture = texture;
    made.s0 = float(x + 1) / side;
    made.t0 = float(y + 1) / side;
    made.s1 = float(x + 1 + shape.width) / side;
    made.t1 = float(y + 1 + shape.height) / side;
    return made;
}

bool CFontFace::place(int width, int height, int& x, int& y, unsigned& texture)
{
    stbrp_rect rect{};
    rect.w = width;
    rect.h = height;
    if (!pages.empty()) {
        stbrp_pack_rects(&pages.back()->context, &rect, 1);
        if (rect.was_packed) {
            x = rect.x;
            y = rect.y;
            texture = pages.back()->texture;
            return true;
        }
    }
    const std::size_t bytes = std::size_t(pageSide) * std::size_t(pageSide) * 4;
    if (pages.size() >= kMaxPages || (pageBudget && !pageBudget(*this, bytes)))
        return false;
    // A new page: the last one is full.
    std::unique_ptr<Page> page(new Page());
    page->nodes.resize(std::size_t(pageSide));
    stbrp_init_target(&page->context, pageSide, pageSide, page->nodes.data(), pageSide);
    // Cleared a band of rows at a time: a whole page of zeros beside the page itself would double what
    // a large page costs at its peak.
    const int bandRows = std::max(1, std::min(pageSide, kClearBandBytes / (pageSide * 4)));
    const std::vector<uint8_t> clear(std::size_t(pageSide) * std::size_t(bandRows) * 4, 0);
    glGenTextures(1, &page->texture);
    page->generation = CGLStateScope::contextGeneration();
    {
        CGLStateScope binding;
        binding.bindTexture(page->texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        CPixelUpload::CPixelStoreScope unpack(false, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, pageSide, pageSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        for (int row = 0; row < pageSide; row += bandRows)
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, row, pageSide, std::min(bandRows, pageSide - row), GL_RGBA,
                            GL_UNSIGNED_BYTE, clear.data());
    }
    pages.push_back(std::move(page));
    stbrp_pack_rects(&pages.back()->context, &rect, 1);
    if (!rect.was_packed)
        return false;
    x = rect.x;
    y = rect.y;
    texture = pages.back()->texture;
    return true;
}

int CFontFace::getPixelSize() const
{
    return pixelSize;
}

float CFontFace::getAscent() const
{
    return ascent;
}

float CFontFace::getDescent() const
{
    return descent;
}

float CFontFace::getLineHeight() const
{
    return lineHeight;
}

const std::string& CFontFace::getPath() const
{
    return path;
}

std::size_t CFontFace::getPageCount() const
{
    return pages.size();
}

int CFontFace::getPageSide() const
{
    return pageSide;
}

std::size_t CFontFace::getPageBytes() const
{
    return pages.size() * std::size_t(pageSide) * std::size_t(pageSide) * 4;
}

void CFontFace::setPageBudget(PageBudget budget)
{
    pageBudget = std::move(budget);
}
