#ifndef ENGINE_GUI_STATICTEXT_H
#define ENGINE_GUI_STATICTEXT_H

#include "engine/math/Vector2.h"

#include <string>

// A colour in the order the GUI's text labels store it: red, blue, green, alpha.
struct CTextColour {
    float red;
    float blue;
    float green;
    float alpha;
};

// A text label of a GUI window, printed with font 1 in its own colour, style and scale. The text is
// printed as it stands: a percent sign is just a percent sign. No input handling. Owns its text;
// the window that holds it owns the label.
class CStaticText {
public:
    CStaticText();
    explicit CStaticText(const std::string& text);
    CStaticText(const std::string& text, CVector2 position);
    CStaticText(const std::string& text, float x, float y);
    // The colour in the stored order: red, blue, green, alpha.
    CStaticText(const std::string& text, float x, float y, float red, float blue, float green, float alpha);
    ~CStaticText();

    std::string getText() const;
    void setText(const std::string& text);
    void setColour(const CTextColour& colour);
    // Red, blue, green, alpha: setColour(0, 1, 0, 1) is blue.
    void setColour(float red, float blue, float green, float alpha);
    void setStyle(int style);
    void setScale(float x, float y);
    float getX() const;
    float getY() const;
    // The width and height in pixels the label covers when drawn (font 1 in its style and scale),
    // for laying labels out: centred, right-aligned. 0 by 0 without a font.
    CVector2 getSize() const;

    // Prints at its own position.
    void draw();
    // Prints at (x, y), ignoring its own position.
    void drawAt(float x, float y);
    // Prints at its position relative to a window's left and top edges; called by the window.
    void drawInWindow(float left, float top);

    CVector2 position;
    float red;
    float blue;
    float green;
    float alpha;
    std::string text;
    int style;
    float scaleX;
    float scaleY;

private:
    void print(float x, float y);
};

#endif
