#ifndef ENGINE_TEXT_TEXT_H
#define ENGINE_TEXT_TEXT_H

#include "engine/text/TextLayout.h"

#include <cstdint>
#include <string>

class CFont;
class CSpriteBatch;

// A retained piece of TrueType text, in the spirit of sf::Text: a UTF-8 string, a font, a pixel
// size, a colour, a position (the top-left of the first line), an alignment and a wrap width. It is
// shaped and laid out once, and its quads are kept until the string, the font, the size, the
// alignment or the wrap width changes, or the font lets go of pages they lie on (it is built again,
// its fallback changes, or a face goes past its budget: see CFont::getRevision()); a new colour or
// position costs nothing. Drawn after its font's window has closed, it draws nothing (the font writes
// one line). It draws by itself,
// as a print draws, or into a CSpriteBatch. A glyph-sheet font, or none, draws nothing.
// Owns its layout; only points to its font, which must outlive its draws. Main thread only.
class CText {
public:
    CText();
    CText(CFont* font, const std::string& text, int pixelSize);

    void setString(const std::string& text);
    const std::string& getString() const;
    void setFont(CFont* font);
    // 6 to 256 pixels (FreeType's pixel size); another size draws nothing.
    void setSize(int pixelSize);
    void setColour(float red, float green, float blue, float alpha);
    void setPosition(float x, float y);
    void setAlignment(CTextLayout::Alignment alignment);
    // Lines wider than this break at spaces; 0 for no wrapping (see CTextLayout::lay).
    void setWrapWidth(float width);

    // Left, top, right and bottom of the ink, in window pixels from its position.
    float getLeft();
    float getTop();
    float getRight();
    float getBottom();
    void draw();
    void addTo(CSpriteBatch& batch);

private:
    friend class CTextAccess;  // the tests' view of the layout count

    // How many times the text has been laid out: once, and again after each change that needs it.
    int getLayoutCount() const;

    // Lays the text out again when it has changed; false when it cannot be (no TrueType font).
    bool refresh();

    CFont* font;
    std::string text;
    int size;
    float red, green, blue, alpha;
    float x, y;
    CTextLayout::Alignment alignment;
    float wrapWidth;
    bool stale;
    uint64_t laidRevision;  // the font's revision when the layout was made
    int layouts;
    CTextLayout layout;
};

#endif
