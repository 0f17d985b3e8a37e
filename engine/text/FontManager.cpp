#include "engine/text/FontManager.h"

#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/text/Font.h"

#include <string>

CFontManager::CFontManager()
    : fontCount(0)
{
}

CFontManager::~CFontManager()
{
    for (std::size_t i = 0; i < fonts.size(); ++i)
        if (owned[i])
            delete fonts[i];
    for (CFont* font : failed)
        delete font;
    failed.clear();
    fonts.clear();
    owned.clear();
    fontCount = 0;
}

void CFontManager::loadFont(const char* fileName)
{
    CFont* font = new CFont();
    CLog::line(std::string("Loading Font: ") + (fileName ? fileName : ""));
    font->buildFont(fileName);
    fonts.push_back(font);
    owned.push_back(true);
    ++fontCount;
}

CFont* CFontManager::loadTrueTypeFont(const char* regularPath, const char* boldPath, int cell)
{
    std::string paths = regularPath ? regularPath : "";
    if (boldPath != nullptr)
        paths += std::string(", ") + boldPath;
    CLog::line("Loading Font: " + paths + " at " + std::to_string(cell) + " px");
    CFont* font = new CFont();
    // Found as textures are: beside the game, in its data folder.
    const std::string regular = CDataFiles::path(regularPath ? regularPath : "");
    const std::string bold = CDataFiles::path(boldPath ? boldPath : "");
    if (!font->buildTrueTypeFont(regularPath ? regular.c_str() : nullptr, boldPath ? bold.c_str() : nullptr,
                                 cell)) {
        CDataFiles::noteMissing(regular);
        CDataFiles::noteMissing(bold);
        // Handed out empty rather than null, so the first print draws nothing instead of crashing.
        failed.push_back(font);
        return font;
    }
    fonts.push_back(font);
    owned.push_back(true);
    ++fontCount;
    return font;
}

void CFontManager::addFont(CFont* font)
{
    fonts.push_back(font);
    owned.push_back(false);
    ++fontCount;
}

CFont* CFontManager::getFont(unsigned n) const
{
    if (fontCount == 0)
        return nullptr;
    if (n != 0 && n <= fontCount)
        return fonts[n - 1];
    return fonts[fontCount - 1];
}

unsigned CFontManager::getFontCount() const
{
    return fontCount;
}
