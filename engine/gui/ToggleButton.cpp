#include "engine/gui/ToggleButton.h"

#include "engine/core/Registry.h"
#include "engine/gui/ButtonParts.h"
#include "engine/gui/WindowManager.h"
#include "engine/sprite/Sprite.h"
#include "engine/texture/Texture.h"

#include <cmath>

CToggleButton::CToggleButton()
    : enabled(true),
      hovered(false),
      visible(true),
      offSprite(nullptr),
      onSprite(nullptr),
      on(false),
      hoverTextEnabled(false),
      id(-1)
{
}

CToggleButton::CToggleButton(const std::string& offSpriteBase, unsigned offFrames, const std::string& onSpriteBase,
                             unsigned onFrames, float x, float y, int idValue)
    : CToggleButton()
{
    offSprite = new CSprite(offSpriteBase.c_str(), offFrames, x, y);
    onSprite = new CSprite(onSpriteBase.c_str(), onFrames, x, y);
    id = idValue;
}

CToggleButton::~CToggleButton()
{
    if (g_pWindowManager != nullptr)
        g_pWindowManager->forgetDrawn(this);
    delete offSprite;
    delete onSprite;
}

float CToggleButton::getX() const
{
    return offSprite ? offSprite->getX() : 0.0f;
}

float CToggleButton::getY() const
{
    return offSprite ? offSprite->getY() : 0.0f;
}

void CToggleButton::setX(float x)
{
    const float whole = std::trunc(x);
    if (offSprite)
        offSprite->setX(whole);
    if (onSprite)
        onSprite->setX(whole);
}

void CToggleButton::setY(float y)
{
    const float whole = std::trunc(y);
    if (offSprite)
        offSprite->setY(whole);
    if (onSprite)
        onSprite->setY(whole);
}

void CToggleButton::setPosition(float x, float y)
{
    if (offSprite)
        offSprite->setPosition(x, y);
    if (onSprite)
        onSprite->setPosition(x, y);
}

void CToggleButton::setPosition(CVector2 pos)
{
    setPosition(pos.x, pos.y);
}

float CToggleButton::getWidth() const
{
    CTexture* first = offSprite ? offSprite->getFrame(0) : nullptr;
    return first ? first->getWidth() : 0.0f;
}

float CToggleButton::getHeight() const
{
    CTexture* first = offSprite ? offSprite->getFrame(0) : nullptr;
    return first ? first->getHeight() : 0.0f;
}

void CToggleButton::setSize(int w, int h)
{
    gui::resizeFrames(offSprite, w, h);
    gui::resizeFrames(onSprite, w, h);
}

void CToggleButton::setChecked(bool value)
{
    on = value;
}

void CToggleButton::setEnabled(bool value)
{
    enabled = value;
}

void CToggleButton::setHovered(bool value)
{
    hovered = value;
}

void CToggleButton::setHoverText(const std::string& text, float x, float y)
{
    gui::setHoverText(hoverText, hoverTextPosition, hoverTextEnabled, text, x, y);
}

void CToggleButton::setHoverTextEnabled(bool value)
{
    hoverTextEnabled = value;
}

bool CToggleButton::isPointerOver(float offsetX, float offsetY)
{
    if (offSprite == nullptr)
        return false;
    bool pressed = false;
    const bool inside =
        gui::hitTest(offSprite, offSprite->getX() + offsetX, offSprite->getY() + offsetY, enabled, id, pressed);
    if (pressed)
        on = !on;
    return inside;
}

void CToggleButton::drawWithOffset(float offsetX, float offsetY, bool inWindow)
{
    if (!visible || offSprite == nullptr || onSprite == nullptr)
        return;
    // Chosen before the hit test: a flip made now shows from the next frame.
    CSprite* shown = on ? onSprite : offSprite;
    // Outside a window the press waits for the window manager's pass, as the push button's does
    // (see CButton::drawWithOffset); tested here as well, it would flip the state twice.
    if (inWindow || g_pWindowManager == nullptr) {
        hovered = isPointerOver(offsetX, offsetY);
    } else {
        hovered = gui::pointerOverFrame(offSprite, offSprite->getX() + offsetX, offSprite->getY() + offsetY);
        g_pWindowManager->testWhenDrawn(this, offsetX, offsetY);
    }
    gui::drawHover(shown, shown->getX() + offsetX, shown->getY() + offsetY, hovered, hoverTextEnabled, hoverText,
                   hoverTextPosition);
}

void CToggleButton::drawInWindow(float left, float top)
{
    drawWithOffset(left, top, true);
}

void CToggleButton::drawAt(float x, float y)
{
    if (offSprite == nullptr)
        return;
    drawWithOffset(x - offSprite->getX(), y - offSprite->getY(), false);
}

void CToggleButton::draw()
{
    drawWithOffset(0.0f, 0.0f, false);
}
