#include "engine/gui/Window.h"

#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/gui/Button.h"
#include "engine/gui/Pointer.h"
#include "engine/gui/StaticText.h"
#include "engine/gui/ToggleButton.h"
#include "engine/input/EventManager.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/texture/Texture.h"

namespace {

// Moves a widget that would stick out past the right or bottom edge of a window w by h back inside;
// either kind of button, which share these four calls but no base.
template <typename Widget>
void keepInside(Widget& widget, float w, float h)
{
    if (widget.getX() + widget.getWidth() > w)
        widget.setX(w - widget.getWidth());
    if (widget.getY() + widget.getHeight() > h)
        widget.setY(h - widget.getHeight());
}

}  // namespace

CWindow::CWindow()
    : top(0.0f),
      right(0.0f),
      bottom(0.0f),
      left(0.0f),
      active(false),
      visible(false),
      draggable(false),
      id(-1),
      titleHeight(15),
      dragging(false),
      hoverText(nullptr),
      hoverTextEnabled(false)
{
}

CWindow::CWindow(int leftEdge, int topEdge, int rightEdge, int bottomEdge, const std::string& backgroundFile,
                 bool stretch, float backgroundAlpha, unsigned titleHeightValue, int idValue, bool draggableValue)
    : CWindow()
{
    top = float(topEdge);
    right = float(rightEdge);
    bottom = float(bottomEdge);
    left = float(leftEdge);
    draggable = draggableValue;
    id = idValue;
    titleHeight = titleHeightValue;

    // A window of widgets only: the texture would write a failure for the empty name.
    if (backgroundFile.empty())
        return;
    CTexture* background = new CTexture(backgroundFile, backgroundAlpha);
    // Wider than int: a window from INT_MIN to INT_MAX is 2^32 - 1 wide.
    const double w = double(rightEdge) - double(leftEdge);
    const double h = double(bottomEdge) - double(topEdge);
    if (background->getWidth() > float(w))
        background->setWidth(float(w));
    if (background->getHeight() > float(h))
        background->setHeight(float(h));
    if (stretch) {
        background->setWidth(float(w));
        background->setHeight(float(h));
    }
    images.push_back(background);
}

CWindow::~CWindow()
{
    for (CButton* button : buttons)
        delete button;
    for (CTexture* image : images)
        delete image;
    for (CToggleButton* toggle : toggleButtons)
        delete toggle;
    for (CStaticText* text : staticTexts)
        delete text;
}

void CWindow::addButton(CButton* button)
{
    if (button == nullptr)
        return;
    keepInside(*button, right - left, bottom - top);
    buttons.push_back(button);
}

void CWindow::addButton(const std::string& spriteBase, unsigned frameCount, float x, float y, int idValue)
{
    addButton(new CButton(spriteBase, frameCount, x, y, idValue));
}

void CWindow::addImage(CTexture* image)
{
    if (image == nullptr)
        return;
    images.push_back(image);
}

void CWindow::addImage(const std::string& fileName, unsigned x, unsigned y, float alpha)
{
    CTexture* image = new CTexture(fileName);
    image->position = CVector2(float(x), float(y));
    image->setAlpha(alpha);
    images.push_back(image);
}

void CWindow::addToggleButton(CToggleButton* toggle)
{
    if (toggle == nullptr)
        return;
    keepInside(*toggle, right - left, bottom - top);
    toggleButtons.push_back(toggle);
}

void CWindow::addToggleButton(const std::string& offSpriteBase, unsigned offFrames,
                              const std::string& onSpriteBase, unsigned onFrames, float x, float y, int idValue)
{
    addToggleButton(new CToggleButton(offSpriteBase, offFrames, onSpriteBase, onFrames, x, y, idValue));
}

void CWindow::addStaticText(CStaticText* text)
{
    if (text == nullptr)
        return;
    staticTexts.push_back(text);
}

void CWindow::setActive(bool value)
{
    active = value;
    if (value)
        visible = true;
}

void CWindow::setVisible(bool value)
{
    visible = value;
    if (!value)
        active = false;
}

bool CWindow::isVisible() const
{
    return visible;
}

int CWindow::getId() const
{
    return id;
}

void CWindow::setRect(int leftEdge, int topEdge, int rightEdge, int bottomEdge)
{
    left = float(leftEdge);
    top = float(topEdge);
    right = float(rightEdge);
    bottom = float(bottomEdge);
}

void CWindow::setDraggable(bool value)
{
    draggable = value;
}

void CWindow::setTitleHeight(unsigned value)
{
    titleHeight = value;
}

void CWindow::setHoverText(const char* text, float x, float y)
{
    hoverText = text;
    hoverTextPosition = CVector2(x, y);
    hoverTextEnabled = true;
}

void CWindow::setHoverTextEnabled(bool value)
{
    hoverTextEnabled = value;
}

bool CWindow::isPointerOverTitleStrip()
{
    const bool inside = gui::pointerInside(left, top, right - left, float(titleHeight));
    if (draggable && g_pGraphicsCore != nullptr)
        g_pGraphicsCore->useAltCursor(inside);
    return inside;
}

void CWindow::drawHoverText()
{
    if (!hoverTextEnabled || hoverText == nullptr || g_pFontManager == nullptr)
        return;
    if (CFont* font = g_pFontManager->getFont(1))
        font->printAt(hoverTextPosition.x, hoverTextPosition.y, 0, "%s", hoverText);
}

void CWindow::followMouse()
{
    if (g_pEventManager == nullptr)
        return;  // the engine is shut down: no pointer to follow
    const float dx = float(g_pEventManager->getMouseDeltaX());
    const float dy = float(g_pEventManager->getMouseDeltaY());
    left += dx;
    top += dy;
    right += dx;
    bottom += dy;
}

void CWindow::draw()
{
    if (!visible)
        return;
    if (draggable) {
        if (isPointerOverTitleStrip()) {
            if (gui::leftPressPolled())
                dragging = true;
            drawHoverText();
        }
        // A release ends the drag wherever the pointer is: a fast move can leave the strip
        // behind before the release arrives, and the window must not follow a released pointer.
        if (dragging && gui::leftReleasePolled())
            dragging = false;
        if (dragging)
            followMouse();
    }
    for (CTexture* image : images)
        image->drawWithAlpha(left + image->position.x, top + image->position.y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f);
    for (CButton* button : buttons)
        button->drawInWindow(left, top);
    for (CToggleButton* toggle : toggleButtons)
        toggle->drawInWindow(left, top);
    for (CStaticText* text : staticTexts)
        text->drawInWindow(left, top);
}

void CWindow::drawAt(float x, float y)
{
    if (!visible)
        return;
    for (CTexture* image : images)
        image->drawWithAlpha(x + image->position.x, y + image->position.y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f);
    for (CButton* button : buttons)
        button->drawAt(x + button->getX(), y + button->getY());
    for (CToggleButton* toggle : toggleButtons)
        toggle->drawAt(x + toggle->getX(), y + toggle->getY());
    for (CStaticText* text : staticTexts)
        text->drawAt(x + text->getX(), y + text->getY());
}
