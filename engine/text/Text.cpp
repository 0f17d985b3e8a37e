#include "engine/text/Text.h"

#include "engine/sprite/SpriteBatch.h"
#include "engine/text/Font.h"
#include "engine/text/FontFace.h"

CText::CText()
    : CText(nullptr, std::string(), 16)
{
}

CText::CText(CFont* textFont, const std::string& string, int pixelSize)
    : font(textFont),
      text(string),
      size(pixelSize),
      red(1.0f),
      green(1.0f),
      blue(1.0f),
      alpha(1.0f),
      x(0.0f),
      y(0.0f),
      alignment(CTextLayout::kLeft),
      wrapWidth(0.0f),
      stale(true),
      laidRevision(0),
      layouts(0)
{
}

void CText::setString(const std::string& string)
{
    if (string != text) {
        text = string;
        stale = true;
    }
}

const std::string& CText::getString() const
{
    return text;
}

void CText::setFont(CFont* textFont)
{
    if (textFont != font) {
        font = textFont;
        stale = true;
    }
}

void CText::setSize(int pixelSize)
{
    if (pixelSize != size) {
        size = pixelSize;
        stale = true;
    }
}

void CText::setColour(float r, float g, float b, float a)
{
    red = r, green = g, blue = b, alpha = a;
}

void CText::setPosition(float left, float top)
{
    x = left;
    y = top;
}

void CText::setAlignment(CTextLayout::Alignment align)
{
    if (align != alignment) {
        alignment = align;
        stale = true;
    }
}

void CText::setWrapWidth(float width)
{
    if (width != wrapWidth) {
        wrapWidth = width;
        stale = true;
    }
}

bool CText::refresh()
{
    CFontFace* face = font != nullptr ? font->getFace(size, false) : nullptr;
    if (face == nullptr) {
        layout = CTextLayout();
        return false;
    }
    // Asked after getFace(), which may itself let another face go.
    if (stale || font->getRevision() != laidRevision) {
        CFont* standIn = font->getFallback();
        layout.lay(*face, standIn != nullptr ? standIn->getFace(size, false) : nullptr, text, alignment,
                   wrapWidth);
        // Faces let go while laying out were neither of the two it used.
        laidRevision = font->getRevision();
        stale = false;
        ++layouts;
    }
    return true;
}

float CText::getLeft()
{
    refresh();
    return layout.left;
}

float CText::getTop()
{
    refresh();
    return layout.top;
}

float CText::getRight()
{
    refresh();
    return layout.right;
}

float CText::getBottom()
{
    refresh();
    return layout.bottom;
}

int CText::getLayoutCount() const
{
    return layouts;
}

void CText::draw()
{
    if (font != nullptr && font->canDraw() && refresh())
        font->drawLayout(layout, x, y, red, green, blue, alpha, 1.0f, 1.0f);
}

void CText::addTo(CSpriteBatch& batch)
{
    if (font != nullptr && font->canDraw() && refresh())
        batch.addScreenQuads(layout.getQuads().data(), layout.getQuads().size(), x, y, red, green, blue, alpha);
}
