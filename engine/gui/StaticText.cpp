#include "engine/gui/StaticText.h"

#include "engine/core/Registry.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"

CStaticText::CStaticText()
    : CStaticText("Static Text", 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f)
{
}

CStaticText::CStaticText(const std::string& value)
    : CStaticText(value, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f)
{
}

CStaticText::CStaticText(const std::string& value, CVector2 pos)
    : CStaticText(value, pos.x, pos.y, 1.0f, 1.0f, 1.0f, 1.0f)
{
}

CStaticText::CStaticText(const std::string& value, float x, float y)
    : CStaticText(value, x, y, 1.0f, 1.0f, 1.0f, 1.0f)
{
}

CStaticText::CStaticText(const std::string& value, float x, float y, float redValue, float blueValue,
                         float greenValue, float alphaValue)
    : position(x, y),
      red(redValue),
      blue(blueValue),
      green(greenValue),
      alpha(alphaValue),
      text(value),
      style(0),
      scaleX(1.0f),
      scaleY(1.0f)
{
}

CStaticText::~CStaticText() = default;

std::string CStaticText::getText() const
{
    return text;
}

void CStaticText::setText(const std::string& value)
{
    text = value;
}

void CStaticText::setColour(const CTextColour& colour)
{
    red = colour.red;
    blue = colour.blue;
    green = colour.green;
    alpha = colour.alpha;
}

void CStaticText::setColour(float redValue, float blueValue, float greenValue, float alphaValue)
{
    red = redValue;
    blue = blueValue;
    green = greenValue;
    alpha = alphaValue;
}

void CStaticText::setStyle(int value)
{
    style = value;
}

void CStaticText::setScale(float x, float y)
{
    scaleX = x;
    scaleY = y;
}

float CStaticText::getX() const
{
    return position.x;
}

float CStaticText::getY() const
{
    return position.y;
}

void CStaticText::draw()
{
    print(position.x, position.y);
}

void CStaticText::drawAt(float x, float y)
{
    print(x, y);
}

void CStaticText::drawInWindow(float left, float top)
{
    print(left + position.x, top + position.y);
}

CVector2 CStaticText::getSize() const
{
    const CFont* font = g_pFontManager ? g_pFontManager->getFont(1) : nullptr;
    if (font == nullptr)
        return CVector2();
    return font->measureText(text.c_str(), static_cast<signed char>(style), scaleX, scaleY);
}

void CStaticText::print(float x, float y)
{
    CFont* font = g_pFontManager ? g_pFontManager->getFont(1) : nullptr;
    if (font == nullptr)
        return;
    // The label is text, not a format: "%s" keeps "100%" or "%n" from being interpreted.
    font->printStyled(int(x), int(y), static_cast<signed char>(style), red, green, blue, alpha, scaleX, scaleY,
                      "%s", text.c_str());
}
