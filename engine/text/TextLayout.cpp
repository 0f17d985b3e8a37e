#include "engine/text/TextLayout.h"

#include "engine/text/FontFace.h"

#include <fribidi.h>
#include <hb.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>

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

// The embedding level of each byte of text[start, end), resolved by FriBidi (rules P2 to I2 and the
// paragraph-wide part of L1): even left to right, odd right to left. Code points are read as decode()
// reads them, so a malformed byte counts as U+FFFD, as HarfBuzz shapes it.
void resolveLevels(const std::string& text, std::size_t start, std::size_t end, CTextLayout::Direction direction,
                   std::vector<FriBidiLevel>& levels)
{
    std::vector<FriBidiChar> codes;
    std::vector<std::size_t> offsets;
    for (std::size_t at = start; at < end;) {
        std::size_t length = 1;
        codes.push_back(decode(text, at, length));
        offsets.push_back(at);
        at += std::min(length, end - at);
    }
    offsets.push_back(end);
    FriBidiParType base = FRIBIDI_PAR_ON;  // P2 and P3, left to right without a strong character
    if (direction == CTextLayout::kLeftToRight)
        base = FRIBIDI_PAR_LTR;
    else if (direction == CTextLayout::kRightToLeft)
        base = FRIBIDI_PAR_RTL;
    const FriBidiLevel baseLevel = direction == CTextLayout::kRightToLeft ? 1 : 0;
    std::vector<FriBidiLevel> resolved(codes.size(), baseLevel);
    // FriBidi counts in int: a paragraph beyond that (or one it fails on) keeps the base level.
    if (!codes.empty() && codes.size() < std::size_t(INT_MAX)) {
        const FriBidiStrIndex count = FriBidiStrIndex(codes.size());
        std::vector<FriBidiCharType> types(codes.size());
        std::vector<FriBidiBracketType> brackets(codes.size());
        fribidi_get_bidi_types(codes.data(), count, types.data());
        fribidi_get_bracket_types(codes.data(), count, types.data(), brackets.data());
        if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), count, &base, resolved.data()) == 0)
            std::fill(resolved.begin(), resolved.end(), baseLevel);
    }
    levels.assign(end - start, baseLevel);
    for (std::size_t i = 0; i < codes.size(); ++i)
        std::fill(levels.begin() + std::ptrdiff_t(offsets[i] - start),
                  levels.begin() + std::ptrdiff_t(offsets[i + 1] - start), resolved[i]);
}

struct Shaped {
    CFontFace::Placed placed;
    float offset;  // from the pen, which the line sets
};

// Bytes of a paragraph shaped together: one face, one embedding level. Its glyphs are in HarfBuzz's
// order, leftmost first in either direction.
struct Run {
    std::size_t start, end;
    FriBidiLevel level;
    CFontFace* face;
    std::size_t firstGlyph, endGlyph;
};

// One paragraph, shaped run by run: each run in the face that has its code points and in the
// direction of its level.
void shapeParagraph(CFontFace& face, CFontFace* fallback, const std::string& text, std::size_t start,
                    std::size_t end, const std::vector<FriBidiLevel>& levels, std::vector<Run>& runs,
                    std::vector<Shaped>& out)
{
    std::vector<CFontFace::Placed> placed;
    Run run{start, start, 0, nullptr, 0, 0};
    const auto flush = [&](std::size_t runEnd) {
        if (run.face == nullptr || runEnd <= run.start)
            return;
        run.end = runEnd;
        placed.clear();
        run.face->shape(text.data(), int(text.size()), int(run.start), int(runEnd - run.start), 0.0f, placed,
                        run.level % 2 == 1);
        run.firstGlyph = out.size();
        float pen = 0.0f;
        for (const CFontFace::Placed& p : placed) {
            out.push_back(Shaped{p, p.x - pen});
            pen += p.advance;
        }
        run.endGlyph = out.size();
        runs.push_back(run);
    };
    for (std::size_t at = start; at < end;) {
        std::size_t length = 1;
        const uint32_t code = decode(text, at, length);
        const FriBidiLevel level = levels[at - start];
        CFontFace* chosen = &face;
        if (fallback != nullptr && !face.hasCodePoint(code) && fallback->hasCodePoint(code))
            chosen = fallback;
        if (run.face != nullptr && isMark(code))
            chosen = run.face;
        if (chosen != run.face || level != run.level) {
            flush(at);
            run = Run{at, at, level, chosen, 0, 0};
        }
        at += std::min(length, end - at);
    }
    flush(end);
}

// The bytes of a paragraph on one line, without the spaces it was broken at, and their width.
struct Line {
    std::size_t first, end;
    float width;
};

// A run's bytes on one line.
struct Piece {
    const Run* run;
    std::size_t first, end;
};

// Rule L2: from the highest level down to the lowest odd one, every stretch of pieces at that level
// or above is reversed. Within a piece HarfBuzz has already ordered the glyphs.
void reorder(std::vector<Piece>& pieces)
{
    int highest = 0, lowestOdd = INT_MAX;
    for (const Piece& piece : pieces) {
        highest = std::max(highest, int(piece.run->level));
        if (piece.run->level % 2 == 1)
            lowestOdd = std::min(lowestOdd, int(piece.run->level));
    }
    for (int level = highest; level >= lowestOdd; --level) {
        for (std::size_t i = 0; i < pieces.size();) {
            if (int(pieces[i].run->level) < level) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < pieces.size() && int(pieces[j].run->level) >= level)
                ++j;
            std::reverse(pieces.begin() + std::ptrdiff_t(i), pieces.begin() + std::ptrdiff_t(j));
            i = j;
        }
    }
}

// The pen's reach through a paragraph as written: reach[i] is the advance of the bytes before
// start + i, whatever order their runs are drawn in.
void measureReach(const std::vector<Shaped>& glyphs, std::size_t start, std::size_t end, std::vector<float>& reach)
{
    reach.assign(end - start + 1, 0.0f);
    for (const Shaped& shaped : glyphs) {
        const std::size_t cluster = shaped.placed.cluster;
        // Security check: HarfBuzz names bytes of the run it shaped, but an index is checked before a write.
        if (cluster >= start && cluster < end)
            reach[cluster - start + 1] += shaped.placed.advance;
    }
    for (std::size_t i = 1; i < reach.size(); ++i)
        reach[i] += reach[i - 1];
}

// Lines of a paragraph as written, broken after the last space that keeps them inside the width (a
// word wider than the width stands alone); the spaces that end a line are dropped.
void breakLines(const std::string& text, std::size_t start, std::size_t end, const std::vector<float>& reach,
                float wrapWidth, std::vector<Line>& lines)
{
    lines.clear();
    const auto lineOf = [&](std::size_t first, std::size_t last) {
        while (last > first && text[last - 1] == ' ')
            --last;
        lines.push_back(Line{first, last, reach[last - start] - reach[first - start]});
    };
    std::size_t first = start, breakAt = SIZE_MAX;
    for (std::size_t i = start; i < end; ++i) {
        if (text[i] == ' ') {
            breakAt = i;
            continue;
        }
        const float width = reach[i + 1 - start] - reach[first - start];
        if (wrapWidth > 0.0f && width > wrapWidth && breakAt != SIZE_MAX && breakAt > first) {
            lineOf(first, breakAt);
            first = breakAt + 1;
            breakAt = SIZE_MAX;
        }
    }
    lineOf(first, end);
}

// The glyphs of a piece, as a range of the paragraph's list. HarfBuzz keeps a run's clusters in
// order (rising left to right, falling right to left), so the piece's glyphs stand together.
std::pair<std::size_t, std::size_t> glyphsOf(const Piece& piece, const std::vector<Shaped>& glyphs)
{
    const auto first = glyphs.begin() + std::ptrdiff_t(piece.run->firstGlyph);
    const auto last = glyphs.begin() + std::ptrdiff_t(piece.run->endGlyph);
    const bool rightToLeft = piece.run->level % 2 == 1;
    // Before the piece, in the run's order: for right to left, the bytes after it.
    const auto before = [&](const Shaped& shaped) {
        return rightToLeft ? shaped.placed.cluster >= piece.end : shaped.placed.cluster < piece.first;
    };
    const auto within = [&](const Shaped& shaped) {
        return shaped.placed.cluster >= piece.first && shaped.placed.cluster < piece.end;
    };
    const auto begin = std::partition_point(first, last, before);
    const auto end = std::partition_point(begin, last, within);
    return {std::size_t(begin - glyphs.begin()), std::size_t(end - glyphs.begin())};
}

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
                      float wrapWidth, Direction direction)
{
    quads.clear();
    left = top = right = bottom = 0.0f;
    lineCount = 0;
    bool inked = false;
    std::vector<FriBidiLevel> levels;
    std::vector<Run> runs;
    std::vector<Shaped> glyphs;
    std::vector<float> reach;
    std::vector<Line> lines;
    std::vector<Piece> pieces;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        resolveLevels(text, start, end, direction, levels);
        runs.clear();
        glyphs.clear();
        shapeParagraph(face, fallback, text, start, end, levels, runs, glyphs);

        measureReach(glyphs, start, end, reach);
        breakLines(text, start, end, reach, wrapWidth, lines);

        for (const Line& line : lines) {
            pieces.clear();
            for (const Run& run : runs)
                if (run.start < line.end && run.end > line.first)
                    pieces.push_back(Piece{&run, std::max(run.start, line.first), std::min(run.end, line.end)});
            reorder(pieces);

            float shift = 0.0f;
            if (alignment == kCentre)
                shift = wrapWidth > 0.0f ? (wrapWidth - line.width) * 0.5f : -line.width * 0.5f;
            else if (alignment == kRight)
                shift = wrapWidth > 0.0f ? wrapWidth - line.width : -line.width;
            shift = std::round(shift);
            const float baseline = std::round(face.getAscent() + float(lineCount) * face.getLineHeight());
            float pen = 0.0f;
            for (const Piece& piece : pieces) {
                const std::pair<std::size_t, std::size_t> range = glyphsOf(piece, glyphs);
                for (std::size_t i = range.first; i < range.second; ++i) {
                    const Shaped& shaped = glyphs[i];
                    const float at = pen;
                    pen += shaped.placed.advance;
                    const CFontFace::Glyph& glyph = piece.run->face->glyph(shaped.placed.index);
                    if (glyph.texture == 0)
                        continue;
                    const float x0 = std::round(shift + at + shaped.offset) + float(glyph.left);
                    const float y0 = std::round(baseline + shaped.placed.y) - float(glyph.top);
                    const CTextQuad quad{glyph.texture,
                                         x0,
                                         y0,
                                         x0 + float(glyph.width),
                                         y0 + float(glyph.height),
                                         glyph.s0,
                                         glyph.t0,
                                         glyph.s1,
                                         glyph.t1};
                    quads.push_back(quad);
                    if (!inked) {
                        left = quad.x0, top = quad.y0, right = quad.x1, bottom = quad.y1;
                        inked = true;
                    } else {
                        left = std::min(left, quad.x0), top = std::min(top, quad.y0);
                        right = std::max(right, quad.x1), bottom = std::max(bottom, quad.y1);
                    }
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
