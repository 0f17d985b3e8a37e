#ifndef ENGINE_TEXT_FONTMANAGER_H
#define ENGINE_TEXT_FONTMANAGER_H

// Lists the bitmap fonts; font 1 prints every text of the engine.
// Not yet: fonts arrive with the text subsystem; loadFont() loads nothing yet. Main thread only.
class CFontManager {
public:
    CFontManager();
    ~CFontManager();

    // Builds a font from a glyph sheet and lists it; the first one is font 1.
    void loadFont(const char* fileName);
};

#endif
