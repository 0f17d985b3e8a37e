// TrueType text: DejaVu Sans (Debian's fonts-dejavu-core) from 12 to 64 pixels, lines in Latin with
// diacritics, Greek and Cyrillic, kerned pairs, the three alignments, a wrapped paragraph, and a
// score held in a retained CText that is laid out again only when it changes, once a second.
// Escape or closing the window ends it.
#include <engine/QuarlEngine.h>

#include <GL/gl.h>
#include <SDL.h>

#include <string>
#include <vector>

namespace {

const char kRegular[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char kBold[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

}  // namespace

class TextExample : public CApp {
public:
    void init() override
    {
        g_pGraphicsCore->setDepthBits(0);  // 2D only: no depth buffer, faster fills
        engine->setVideoMode(1024, 768, 24, false, true);
        g_pGraphicsCore->setCaption("Quarl Engine - Text");
        font = g_pFontManager->loadTrueTypeFont(kRegular, kBold, 20);
        if (font == nullptr)
            return;  // the log says why
        float x = 20.0f;
        for (int pixels : {12, 16, 24, 32, 48, 64}) {
            add((std::to_string(pixels) + " px").c_str(), pixels, x, 20.0f);
            x += float(pixels) * 3.0f + 12.0f;
        }
        add("Ärger über Öl, façade, naïve, Dvořák, Łódź", 28, 20, 110);
        add("Ελληνικά: Γειά σου Κόσμε · Кириллица: Привет, мир", 28, 20, 150);
        add("Kerned: AV To Ty Wa LT — ligatures: fi fl ffi", 28, 20, 190);
        add("Left", 24, 20, 250, CTextLayout::kLeft);
        add("Centred", 24, 512, 250, CTextLayout::kCentre);
        add("Right", 24, 1004, 250, CTextLayout::kRight);
        add("A wrapped paragraph: the layout breaks lines at spaces so that no line is wider than the "
            "width it is given, and centres each line inside that width. Measuring returns the box "
            "the ink covers.",
            20, 262, 320, CTextLayout::kCentre, 500.0f);
        score = CText(font, "", 40);
        score.setPosition(20, 680);
        score.setColour(1.0f, 0.85f, 0.3f, 1.0f);
    }

    void run() override
    {
        for (;;) {
            glClearColor(0.08f, 0.08f, 0.16f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            for (CText& line : lines)
                line.draw();
            score.setString("Score: " + std::to_string(SDL_GetTicks() / 1000 * 10));
            score.draw();
            if (font != nullptr)
                font->print(20, 480, 0, "CFont::print sets TrueType text the same way: jumpy fillip gimme");
            engine->update();
            SDL_GL_SwapBuffers();
            if (g_pEventManager->isEventPolled() &&
                (g_pEventManager->isEventCode(CEventManager::CodeQuit) || g_pEventManager->isKeyDown(SDLK_ESCAPE)))
                return;
        }
    }

    void cleanUp() override
    {
    }
    void userHook1() override
    {
    }
    void userHook2() override
    {
    }

private:
    void add(const char* text, int size, float x, float y, CTextLayout::Alignment alignment = CTextLayout::kLeft,
             float wrap = 0.0f)
    {
        lines.emplace_back(font, text, size);
        lines.back().setPosition(x, y);
        lines.back().setAlignment(alignment);
        lines.back().setWrapWidth(wrap);
    }

    CFont* font = nullptr;  // owned by the font manager
    std::vector<CText> lines;
    CText score;
};

int main(int, char*[])
{
    TextExample app;
    app.init();
    app.run();
    app.cleanUp();
    return 0;
}
