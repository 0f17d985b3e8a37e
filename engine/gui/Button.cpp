#include "engine/gui/Button.h"

#include "engine/core/Registry.h"
#include "engine/gui/Pointer.h"
#include "engine/input/EventManager.h"
#include "engine/sprite/Sprite.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/texture/Texture.h"

CButton::CButton()
    : enabled(true),
      visible(true),
      hovered(false),
      sprite(nullptr),
      hoverTextEnabled(false),
      width(0.0f),
      height(0.0f),
      id(-1)
{
}

CButton::CButton(const std::string& spriteBase, unsigned frameCount, float x, float y, int idValue)
    : CButton()
{
    position = CVector2(x, y);
    id = idValue;
    sprite = new CSprite(spriteBase.c_str(), frameCount, x, y);
    if (CTexture* first = sprite->getFrame(0)) {
        width = first->getWidth();
        height = first->getHeight();
    }
}

CButton::~CButton()
{
    delete sprite;
}

void CButton::setSprite(const std::string& spriteBase, unsigned frameCount)
{
    delete sprite;
    sprite = new CSprite(spriteBase.c_str(), frameCount, 0.0f, 0.0f);
    CTexture* first = sprite->getFrame(0);
    width = first ? first->getWidth() : 0.0f;
    height = first ? first->getHeight() : 0.0f;
    enabled = true;
    hovered = false;
}

void CButton::setEnabled(bool value)
{
    enabled = value;
}

void CButton::setVisible(bool value)
{
    visible = value;
}

void CButton::setHovered(bool value)
{
    hovered = value;
}

void CButton::setHoverText(const std::string& text, float x, float y)
{
    hoverText = text;
    hoverTextPosition = CVector2(x, y);
    hoverTextEnabled = true;
}

void CButton::setHoverTextEnabled(bool value)
{
    hoverTextEnabled = value;
}

float CButton::getX() const
{
    return position.x;
}

float CButton::getY() const
{
    return position.y;
}

void CButton::setX(float x)
{
    position.x = x;
}

void CButton::setY(float y)
{
    position.y = y;
}

void CButton::setPosition(CVector2 pos)
{
    position = pos;
}

float CButton::getWidth() const
{
    return width;
}

float CButton::getHeight() const
{
    return height;
}

void CButton::setSize(int w, int h)
{
    width = float(w);
    height = float(h);
    if (sprite == nullptr)
        return;
    for (unsigned i = 0; i < sprite->getFrameCount(); ++i) {
        if (CTexture* frame = sprite->getFrame(i)) {
            frame->setWidth(float(w));
            frame->setHeight(float(h));
        }
    }
}

CTexture* CButton::getFrame(unsigned index) const
{
    return sprite ? sprite->getFrame(index) : nullptr;
}

void CButton::setSpeed(unsigned framesPerSecond)
{
    if (sprite != nullptr)
        sprite->setSpeed(framesPerSecond);
}

bool CButton::isPointerOver(float offsetX, float offsetY)
{
    // The rectangle is the current size of the first frame, not the width and height fields.
    CTexture* first = sprite ? sprite->getFrame(0) : nullptr;
    if (first == nullptr)
        return false;
    if (!gui::pointerInside(position.x + offsetX, position.y + offsetY, first->getWidth(), first->getHeight()))
        return false;
    if (enabled && gui::leftPressPolled())
        g_pEventManager->setClickedId(id);
    return true;
}

void CButton::drawWithOffset(float offsetX, float offsetY)
{
    if (!visible || sprite == nullptr)
        return;
    const float x = position.x + offsetX;
    const float y = position.y + offsetY;
    if (isPointerOver(offsetX, offsetY)) {
        hovered = true;
        sprite->drawOnce(x, y);
        if (hoverTextEnabled && g_pFontManager != nullptr) {
            if (CFont* font = g_pFontManager->getFont(1))
                font->printAt(hoverTextPosition.x, hoverTextPosition.y, 0, "%s", hoverText.c_str());
        }
    } else {
        hovered = false;
        sprite->rewind();
        sprite->drawFrame(0, x, y);
    }
}

void CButton::drawInWindow(float left, float top)
{
    drawWithOffset(left, top);
}

void CButton::drawAt(float x, float y)
{
    drawWithOffset(x - position.x, y - position.y);
}

void CButton::draw()
{
    drawWithOffset(0.0f, 0.0f);
}
