#include "engine/gui/Button.h"

#include "engine/core/Registry.h"
#include "engine/gui/ButtonParts.h"
#include "engine/gui/WindowManager.h"
#include "engine/sprite/Sprite.h"
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
    if (g_pWindowManager != nullptr)
        g_pWindowManager->forgetDrawn(this);
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
    gui::setHoverText(hoverText, hoverTextPosition, hoverTextEnabled, text, x, y);
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
    gui::resizeFrames(sprite, w, h);
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
    // The rectangle is the first frame's, not the width and height fields.
    bool pressed = false;
    return gui::hitTest(sprite, position.x + offsetX, position.y + offsetY, enabled, id, pressed);
}

void CButton::drawWithOffset(float offsetX, float offsetY, bool inWindow)
{
    if (!visible || sprite == nullptr)
        return;
    const float x = position.x + offsetX;
    const float y = position.y + offsetY;
    // The event manager forgets the clicked id when its next update starts: a button drawn before
    // engine->update() would post the press of the update before, only to have it thrown away.
    // The window manager's pass runs right after that update, whatever the drawing order.
    if (inWindow || g_pWindowManager == nullptr) {
        hovered = isPointerOver(offsetX, offsetY);
    } else {
        hovered = gui::pointerOverFrame(sprite, x, y);
        g_pWindowManager->testWhenDrawn(this, offsetX, offsetY);
    }
    gui::drawHover(sprite, x, y, hovered, hoverTextEnabled, hoverText, hoverTextPosition);
}

void CButton::drawInWindow(float left, float top)
{
    drawWithOffset(left, top, true);
}

void CButton::drawAt(float x, float y)
{
    drawWithOffset(x - position.x, y - position.y, false);
}

void CButton::draw()
{
    drawWithOffset(0.0f, 0.0f, false);
}
