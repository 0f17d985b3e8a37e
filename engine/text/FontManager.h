#ifndef ENGINE_TEXT_FONTMANAGER_H
#define ENGINE_TEXT_FONTMANAGER_H

#include <vector>

class CFont;

// Lists the fonts in load order and hands them out by number, counted from 1; font 1, the
// sheet the engine loads when the window opens, prints every text of the engine. Owns the fonts
// that loadFont() and loadTrueTypeFont() made; fonts given to addFont() stay their caller's. Main thread only.
class CFontManager {
public:
    CFontManager();
    ~CFontManager();

    // Builds a font from a TGA glyph sheet and appends it. Logs "Loading Font: " and the path; a
    // sheet that cannot be read ends the process (see CFont::buildFont).
    void loadFont(const char* fileName);
    // Makes a font from TrueType files at run time (see CFont::buildTrueTypeFont; boldPath may be
    // null) and appends it. The manager deletes the font it returns, when the engine shuts down:
    // never delete it yourself. The files are found as textures are (CDataFiles). Logs "Loading
    // Font: " with the paths and the cell size. A file that cannot be used logs why and appends
    // nothing; it still returns a font, an empty one that prints nothing and answers isLoaded()
    // false (owned by the manager, never listed), so a game that prints with it shows no text
    // rather than crashing. Never null.
    CFont* loadTrueTypeFont(const char* regularPath, const char* boldPath, int cell);
    // Appends a font the caller made and keeps owning: the caller deletes it, after the engine is
    // gone (the manager points to it until then).
    void addFont(CFont* font);
    // Font n (1 is the first); out of range (0 or past the end), the last one added; null when
    // there is none.
    CFont* getFont(unsigned n) const;
    unsigned getFontCount() const;

private:
    CFontManager(const CFontManager&) = delete;
    CFontManager& operator=(const CFontManager&) = delete;

    std::vector<CFont*> fonts;
    std::vector<bool> owned;     // parallel to fonts
    std::vector<CFont*> failed;  // owned; the empty fonts failed loads handed out
    unsigned fontCount;
};

#endif
