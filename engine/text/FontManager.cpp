#include "engine/text/FontManager.h"

CFontManager::CFontManager() = default;

CFontManager::~CFontManager() = default;

void CFontManager::loadFont(const char* /*fileName*/)
{
    // Not yet: the glyph sheet reader and the bitmap font arrive with the text subsystem.
}
