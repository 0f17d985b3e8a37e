#include "engine/text/TextLayout.h"

#include "engine/text/FontFace.h"

#include <hb.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The code point at text[at] and its length in bytes; a malformed sequence reads as U+FFFD, one byte
// long (HarfBuzz replaces it the same way when shaping).
uint32_t decode(const std::string& text, std::size_t at, std::size_t& length)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    length = 1;
    int extra = 0;
    uint32_t code = lead;
    if (lead < 0x80)
        return lead;
    if ((lead & 0xE0) == 0xC0)
        extra = 1, code = lead & 0x1F;
    else if ((lead & 0xF0) == 0xE0)
        extra = 2, code = lead & 0x0F;
    else if ((lead & 0xF8) == 0xF0)
        extra = 3, code = lead & 0x07;
    else
        return 0xFFFD;
    if (at + std::size_t(extra) >= text.size())
        return 0xFFFD;
    for (int i = 1; i <= extra; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + std::size_t(i)]);
        if ((next & 0xC0) != 0x80)
            return 0xFFFD;
        code = code << 6 | (next & 0x3F);
    }
    length = std::size_t(extra) + 1;
    return code;
}

bool isMark(uint32_t code)
{
    const hb_unicode_general_category_t category =
        hb_unicode_general_category(hb_unicode_funcs_get_default(), code);
    return category == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK ||
           category == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK ||
           category == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK;
}

struct Shaped {
    CFontFace::Placed placed;
    CFontFace* face;
    float pen;  // the pen before this glyph, from the start of its paragraph
};

// One paragraph, shaped run by run: each run in the face that has its code points.
void shapeParagraph(CFontFace& face, CFontFace* fallback, const std::string& text, std::size_t start,
                    std::size_t end, std::vector<Shaped>& out)
{
    std::vector<CFontFace::Placed> placed;
    float pen = 0.0f;
    std::size_t runStart = start;
    CFontFace* runFace = nullptr;
    const auto flush = [&](std::size_t runEnd) {
        if (runFace == nullptr || runEnd <= runStart)
            return;
        placed.clear();
        runFace->shape(text.data(), int(text.size()), int(runStart), int(runEnd - runStart), pen, placed);
        for (const CFontFace::Placed& p : placed) {
            out.push_back(Shaped{p, runFace, pen});
            pen += p.advance;
        }
    };
    for (std::size_t at = start; at < end;) {
        std::size_t length = 1;
        const uint32_t code = decode(text, at, length);
        CFontFace* chosen = &face;
        if (fallback != nullptr && !face.hasCodePoint(code) && fallback->hasCodePoint(code))
            chosen = fallback;
        if (runFace != nullptr && isMark(code))
            chosen = runFace;
        if (chosen != runFace) {
            flush(at);
            runStart = at;
            runFace = chosen;
        }
        at += std::min(length, end - at);
    }
    flush(end);
}

struct Line {
    std::size_t first, end;  // glyphs of the paragraph's list
    float width;
};

}  // namespace

CTextLayout::CTextLayout()
    : left(0.0f),
      top(0.0f),
      right(0.0f),
      bottom(0.0f),
      lineCount(0)
{
}

void CTextLayout::lay(CFontFace& face, CFontFace* fallback, const std::string& text, Alignment alignment,
                      float wrapWidth)
{
    quads.clear();
    left = top = right = bottom = 0.0f;
    lineCount = 0;
    bool inked = false;
    std::vector<Shaped> glyphs;
    std::vector<Line> lines;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        glyphs.clear();
        shapeParagraph(face, fallback, text, start, end, glyphs);

        // Lines of the paragraph, broken after the last space that keeps them inside the width.
        lines.clear();
        const auto isSpace = [&](std::size_t i) { return text[glyphs[i].placed.cluster] == ' '; };
        const auto lineOf = [&](std::size_t first, std::size_t last) {
            std::size_t inkEnd = last;
            while (inkEnd > first && isSpace(inkEnd - 1))
                --inkEnd;
            const float width =
                inkEnd > first ? glyphs[inkEnd - 1].pen + glyphs[inkEnd - 1].placed.advance - glyphs[first].pen
                               : 0.0f;
            lines.push_back(Line{first, last, width});
        };
        std::size_t first = 0, breakAt = SIZE_MAX;
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            if (isSpace(i)) {
                breakAt = i;
                continue;
            }
            const float reach = glyphs[i].pen + glyphs[i].placed.advance - glyphs[first].pen;
            if (wrapWidth > 0.0f && reach > wrapWidth && breakAt != SIZE_MAX && breakAt > first) {
                lineOf(first, breakAt);
                first = breakAt + 1;
                breakAt = SIZE_MAX;
            }
        }
        lineOf(first, glyphs.size());

        for (const Line& line : lines) {
            float shift = 0.0f;
            if (alignment == kCentre)
                shift = wrapWidth > 0.0f ? (wrapWidth - line.width) * 0.5f : -line.width * 0.5f;
            else if (alignment == kRight)
                shift = wrapWidth > 0.0f ? wrapWidth - line.width : -line.width;
            shift = std::round(shift);
            const float baseline = std::round(face.getAscent() + float(lineCount) * face.getLineHeight());
            for (std::size_t i = line.first; i < line.end && i < glyphs.size(); ++i) {
                const Shaped& shaped = glyphs[i];
                const CFontFace::Glyph& glyph = shaped.face->glyph(shaped.placed.index);
                if (glyph.texture == 0)
                    continue;
                const float x0 = std::round(shift + shaped.placed.x - glyphs[line.first].pen) + float(glyph.left);
                const float y0 = std::round(baseline + shaped.placed.y) - float(glyph.top);
                const CTextQuad quad{
                    glyph.texture, x0,       y0,      x0 + float(glyph.width), y0 + float(glyph.height), glyph.s0,
                    glyph.t0,      glyph.s1, glyph.t1};
                quads.push_back(quad);
                if (!inked) {
                    left = quad.x0, top = quad.y0, right = quad.x1, bottom = quad.y1;
                    inked = true;
                } else {
                    left = std::min(left, quad.x0), top = std::min(top, quad.y0);
                    right = std::max(right, quad.x1), bottom = std::max(bottom, quad.y1);
                }
            }
            ++lineCount;
        }
        start = end + 1;
    }
}

const std::vector<CTextQuad>& CTextLayout::getQuads() const
{
    return quads;
}
