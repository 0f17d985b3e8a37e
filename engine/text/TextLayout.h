#ifndef ENGINE_TEXT_TEXTLAYOUT_H
#define ENGINE_TEXT_TEXTLAYOUT_H

#include "engine/sprite/ScreenQuad.h"
#include <string>
#include <vector>

class CFontFace;

// One textured quad of laid-out text, in pixels from the text's position (y down), and where on its
// glyph page it samples.
// A glyph's quad: a textured quad in window pixels, as a sprite batch takes it.
typedef CScreenQuad CTextQuad;

// Sets UTF-8 text in a TrueType face: shaped by HarfBuzz run by run (a run of code points the face
// lacks goes to the fallback face when there is one, a combining mark stays with its base), '\n'
// starting a new line, lines wrapped at spaces into a width, aligned, one line height apart from the
// face's own metrics. The position is the top-left of the first line's box: its baseline is the
// face's ascent below it. Glyph origins land on whole pixels. The result holds the quads to draw
// and the box they cover; drawing and measuring read the same result, so they always agree.
//
// Mixed directions follow the Unicode bidirectional algorithm (FriBidi), one paragraph (a stretch
// between '\n's) at a time: the embedding levels are resolved on the paragraph as written, the lines
// are wrapped on it as written too (so a wrapped right-to-left paragraph starts on the top line), and
// each line is then put in display order (rule L2), each run shaped in its own direction. A
// paragraph's base direction comes from its first strong character (left to right when it has none)
// unless one is asked for. The alignment does not follow the direction: kLeft is the left edge for
// a Hebrew or Arabic paragraph too; ask for kRight to set it against the right edge.
// Holds only its result; points to no face once lay() returns.
class CTextLayout {
public:
    enum Alignment {
        kLeft,
        kCentre,
        kRight,
    };
    // A paragraph's base direction: from its first strong character, or as given.
    enum Direction {
        kAutoDirection,
        kLeftToRight,
        kRightToLeft,
    };

    CTextLayout();

    // Lays the text out afresh. With wrapWidth > 0 the lines are broken at spaces to fit it (a word
    // wider than the width stands alone on its line), and aligned within [0, wrapWidth); without,
    // centred lines are centred on the position and right-aligned ones end at it. Rasterises the
    // glyphs it uses (needs the window's context for them to draw).
    void lay(CFontFace& face, CFontFace* fallback, const std::string& text, Alignment alignment, float wrapWidth,
             Direction direction = kAutoDirection);

    const std::vector<CTextQuad>& getQuads() const;
    // The box the quads cover, from the position: left, top, right, bottom; all 0 without ink.
    float left, top, right, bottom;
    int lineCount;

private:
    std::vector<CTextQuad> quads;
};

#endif
