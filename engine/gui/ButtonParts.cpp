#include "engine/gui/ButtonParts.h"

#include "engine/core/Registry.h"
#include "engine/gui/Pointer.h"
#include "engine/input/EventManager.h"
#include "engine/sprite/Sprite.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/texture/Texture.h"

namespace gui {

void setHoverText(std::string& text, CVector2& position, bool& enabled, const std::string& newText, float x,
                  float y)
{
    text = newText;
    position = CVector2(x, y);
    enabled = true;
}

bool pointerOverFrame(const CSprite* sprite, float x, float y)
{
    // The rectangle is the current size of the first frame, which setSize changes.
    const CTexture* first = sprite ? sprite->getFrame(0) : nullptr;
    return first != nullptr && pointerInside(x, y, first->getWidth(), first->getHeight());
}

bool hitTest(const CSprite* sprite, float x, float y, bool enabled, int id, bool& pressed)
{
    pressed = false;
    if (!pointerOverFrame(sprite, x, y))
        return false;
    if (enabled && leftPressPolled()) {
        g_pEventManager->setClickedId(id);
        pressed = true;
    }
    return true;
}

void drawHover(CSprite* shown, float x, float y, bool inside, bool textEnabled, const std::string& text,
               CVector2 textPosition)
{
    if (inside) {
        shown->drawOnce(x, y);
        if (textEnabled && g_pFontManager != nullptr) {
            if (CFont* font = g_pFontManager->getFont(1))
                font->printAt(textPosition.x, textPosition.y, 0, "%s", text.c_str());
        }
    } else {
        shown->rewind();
        shown->drawFrame(0, x, y);
    }
}

void resizeFrames(CSprite* sprite, int width, int height)
{
    if (sprite == nullptr)
        return;
    for (unsigned i = 0; i < sprite->getFrameCount(); ++i) {
        if (CTexture* frame = sprite->getFrame(i)) {
            frame->setWidth(float(width));
            frame->setHeight(float(height));
        }
    }
}

}  // namespace gui
