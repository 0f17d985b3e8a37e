// Push and toggle buttons hit-tested against the real pointer and SDL's queue, drawn for real.
#include "engine/gui/Button.h"
#include "engine/core/Engine.h"
#include "engine/gui/ToggleButton.h"
#include "engine/gui/Window.h"
#include "engine/sprite/Sprite.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/texture/Texture.h"
#include "tests/gui/GuiTestSupport.h"

#include <memory>

using namespace gui_test;
using testing_support::readPixel;

namespace {

const char* kReds[] = {"#ff0000", "#ff0000", "#ff0000"};
const char* kGreens[] = {"#00ff00", "#00ff00", "#00ff00"};
const char* kSteps[] = {"#ff0000", "#00ff00", "#0000ff"};

class Buttons : public GuiTest { };

// Presses on a button and on a switch drawn outside any window, three each, pushed as real SDL
// events, in frames of the usual shape: the game's drawing before engine->update() (drawFirst) or
// after it, then the game reads the clicked id.
struct Clicks {
    int button = 0;
    int toggle = 0;
    bool toggleOn = false;
};

Clicks clickOutsideWindows(bool drawFirst)
{
    CButton button(solidFrames("red", 1, 32, 32, kReds), 1, 100.0f, 100.0f, 21);
    CToggleButton toggle(solidFrames("red", 1, 32, 32, kReds), 1, solidFrames("green", 1, 32, 32, kGreens), 1,
                         200.0f, 100.0f, 22);
    Clicks clicks;
    const auto frame = [&]() {
        if (drawFirst) {
            button.draw();
            toggle.draw();
            testing_support::sharedEngine().update();
        } else {
            testing_support::sharedEngine().update();
            button.draw();
            toggle.draw();
        }
        const int clicked = g_pEventManager->getClickedId();
        clicks.button += clicked == 21 ? 1 : 0;
        clicks.toggle += clicked == 22 ? 1 : 0;
    };
    for (const int x : {116, 216}) {
        pointerAt(x, 116);
        frame();
        for (int press = 0; press < 3; ++press) {
            testing_support::pushMouseButton(true, SDL_BUTTON_LEFT, x, 116);
            testing_support::pushMouseButton(false, SDL_BUTTON_LEFT, x, 116);
            // One event per update: the press, the release, then two quiet frames.
            for (int i = 0; i < 4; ++i)
                frame();
        }
    }
    clicks.toggleOn = toggle.on;
    return clicks;
}

}  // namespace

TEST_F(Buttons, TheHitRectangleIncludesEveryEdge)
{
    CButton button(solidFrames("red", 1, 32, 32, kReds), 1, 10.0f, 10.0f, 7);
    // In a window at (100, 50) the button's corner is at (110, 60).
    pointerAt(110, 60);
    beginFrame();
    EXPECT_TRUE(button.isPointerOver(100.0f, 50.0f));
    pointerAt(142, 92);
    beginFrame();
    EXPECT_TRUE(button.isPointerOver(100.0f, 50.0f));
    pointerAt(143, 92);
    beginFrame();
    EXPECT_FALSE(button.isPointerOver(100.0f, 50.0f));
    pointerAt(142, 93);
    beginFrame();
    EXPECT_FALSE(button.isPointerOver(100.0f, 50.0f));
}

TEST_F(Buttons, ALeftPressPostsTheIdOnlyWhenEnabledAndVisible)
{
    CButton button(solidFrames("red", 1, 32, 32, kReds), 1, 10.0f, 10.0f, 7);
    pointerAt(120, 70);
    beginFrame(true);
    button.drawInWindow(100.0f, 50.0f);
    EXPECT_EQ(7, g_pEventManager->getClickedId());
    EXPECT_TRUE(button.hovered);
    EXPECT_EQ(255, readPixel(120, 70).r);

    beginFrame();  // no new press: the id lasts one frame
    button.drawInWindow(100.0f, 50.0f);
    EXPECT_EQ(-1, g_pEventManager->getClickedId());

    button.setEnabled(false);
    beginFrame(true);
    button.drawInWindow(100.0f, 50.0f);
    EXPECT_EQ(-1, g_pEventManager->getClickedId());
    EXPECT_TRUE(button.hovered);  // still animates

    button.setEnabled(true);
    button.setVisible(false);
    beginFrame(true);
    button.drawInWindow(100.0f, 50.0f);
    EXPECT_EQ(-1, g_pEventManager->getClickedId());
    EXPECT_EQ(0, readPixel(120, 70).r);
}

TEST_F(Buttons, OfOverlappingButtonsTheOneDrawnLaterPostsItsId)
{
    CButton first(solidFrames("red", 1, 32, 32, kReds), 1, 0.0f, 0.0f, 1);
    CButton second(solidFrames("green", 1, 32, 32, kGreens), 1, 16.0f, 16.0f, 2);
    pointerAt(120, 120);
    beginFrame(true);
    first.drawInWindow(100.0f, 100.0f);
    second.drawInWindow(100.0f, 100.0f);
    EXPECT_TRUE(first.hovered);
    EXPECT_TRUE(second.hovered);
    EXPECT_EQ(2, g_pEventManager->getClickedId());
}

TEST_F(Buttons, SetSizeResizesEveryFrameAndTheHitRectangle)
{
    CButton button(solidFrames("steps", 3, 32, 32, kSteps), 3, 0.0f, 0.0f, 3);
    button.setSize(64, 48);
    EXPECT_FLOAT_EQ(64.0f, button.getWidth());
    EXPECT_FLOAT_EQ(48.0f, button.getHeight());
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(64.0f, button.getFrame(i)->getWidth());
        EXPECT_FLOAT_EQ(48.0f, button.getFrame(i)->getHeight());
    }
    pointerAt(264, 248);
    beginFrame();
    EXPECT_TRUE(button.isPointerOver(200.0f, 200.0f));
}

TEST_F(Buttons, TheSpritePlaysOnceWhileHoveredAndRewindsWhenLeft)
{
    static Uint32 now = 1000;
    CSprite::setClock([]() { return now; });
    CButton button(solidFrames("steps", 3, 32, 32, kSteps), 3, 0.0f, 0.0f, 3);
    button.setSpeed(10);  // a new frame after more than 100 ms
    pointerAt(310, 310);
    for (int frame = 0; frame < 5; ++frame) {
        beginFrame();
        button.drawInWindow(300.0f, 300.0f);
        now += 101;
    }
    EXPECT_EQ(3u, button.sprite->getCurrentFrame());  // held on the last frame
    EXPECT_EQ(255, readPixel(310, 310).b);
    pointerAt(10, 10);
    beginFrame();
    button.drawInWindow(300.0f, 300.0f);
    EXPECT_FALSE(button.hovered);
    EXPECT_EQ(1u, button.sprite->getCurrentFrame());
    EXPECT_EQ(255, readPixel(310, 310).r);
    CSprite::setClock(nullptr);
}

TEST_F(Buttons, HoverTextsArePrintedAsTheyStand)
{
    CButton button(solidFrames("red", 1, 32, 32, kReds), 1, 0.0f, 0.0f, 3);
    button.setHoverText("100% %s %n", 400.0f, 400.0f);
    pointerAt(310, 310);
    beginFrame();
    button.drawInWindow(300.0f, 300.0f);
    EXPECT_STREQ("100% %s %n", g_pFontManager->getFont(1)->getText());
}

TEST_F(Buttons, WithoutASpriteNothingIsDrawnAndTheSizeIsZero)
{
    CButton* bare = new CButton();
    EXPECT_FLOAT_EQ(0.0f, bare->getWidth());
    bare->setSize(10, 10);
    pointerAt(5, 5);
    beginFrame(true);
    bare->draw();
    bare->drawAt(0.0f, 0.0f);
    EXPECT_FALSE(bare->isPointerOver(0.0f, 0.0f));
    EXPECT_EQ(-1, g_pEventManager->getClickedId());
    CToggleButton* bareToggle = new CToggleButton();
    bareToggle->draw();
    EXPECT_FLOAT_EQ(0.0f, bareToggle->getWidth());
    CWindow window;
    window.addButton(bare);  // the window owns and deletes them
    window.addToggleButton(bareToggle);
    EXPECT_EQ(1u, window.buttons.size());
}

TEST_F(Buttons, AToggleFlipsOnAPressAndShowsItFromTheNextFrame)
{
    CToggleButton toggle(solidFrames("red", 1, 32, 32, kReds), 1, solidFrames("green", 1, 32, 32, kGreens), 1,
                         10.0f, 10.0f, 9);
    pointerAt(120, 70);
    beginFrame(true);
    toggle.drawInWindow(100.0f, 50.0f);
    EXPECT_EQ(9, g_pEventManager->getClickedId());
    EXPECT_EQ(255, readPixel(120, 70).r);  // still the off picture in this frame
    beginFrame();
    toggle.drawInWindow(100.0f, 50.0f);
    EXPECT_EQ(255, readPixel(120, 70).g);
    EXPECT_EQ(-1, g_pEventManager->getClickedId());

    beginFrame(true);
    toggle.drawInWindow(100.0f, 50.0f);
    beginFrame();
    toggle.drawInWindow(100.0f, 50.0f);
    EXPECT_EQ(255, readPixel(120, 70).r);

    toggle.setEnabled(false);
    beginFrame(true);
    toggle.drawInWindow(100.0f, 50.0f);
    EXPECT_EQ(-1, g_pEventManager->getClickedId());
    EXPECT_TRUE(toggle.hovered);
    beginFrame();
    toggle.drawInWindow(100.0f, 50.0f);
    EXPECT_EQ(255, readPixel(120, 70).r);
}

TEST_F(Buttons, ToggleSettersTruncateAndWindowsHoldThemInside)
{
    CToggleButton* toggle = new CToggleButton(solidFrames("wide", 1, 40, 20, kReds), 1,
                                              solidFrames("green", 1, 32, 32, kGreens), 1, 0.0f, 0.0f, 4);
    toggle->setX(10.7f);
    EXPECT_FLOAT_EQ(10.0f, toggle->getX());
    EXPECT_FLOAT_EQ(10.0f, toggle->onSprite->getX());
    toggle->setX(-3.5f);
    EXPECT_FLOAT_EQ(-3.0f, toggle->getX());
    toggle->setX(180.0f);
    CWindow window;
    window.setRect(100, 50, 300, 250);
    window.addToggleButton(toggle);
    EXPECT_FLOAT_EQ(160.0f, toggle->getX());
    EXPECT_FLOAT_EQ(160.0f, toggle->onSprite->getX());
}

TEST_F(Buttons, OutsideWindowsEveryPressIsReportedOnceDrawnBeforeOrAfterTheEngineUpdate)
{
    for (const bool drawFirst : {true, false}) {
        const Clicks clicks = clickOutsideWindows(drawFirst);
        EXPECT_EQ(3, clicks.button) << "drawn first: " << drawFirst;
        EXPECT_EQ(3, clicks.toggle) << "drawn first: " << drawFirst;
        EXPECT_TRUE(clicks.toggleOn) << "flipped three times, not six";
    }
}

TEST_F(Buttons, AWindowWithoutABackgroundWritesNothingAndItsButtonsStillClick)
{
    testing_support::CStdoutCapture capture;
    capture.start();
    CWindow window(100, 50, 300, 250, "", false, 1.0f, 15, 1, false);
    EXPECT_EQ(std::vector<std::string>{}, capture.lines());
    EXPECT_TRUE(window.images.empty());
    window.addButton(new CButton(solidFrames("red", 1, 32, 32, kReds), 1, 10.0f, 10.0f, 7));
    window.setVisible(true);
    pointerAt(120, 70);
    beginFrame(true);
    window.draw();
    EXPECT_EQ(7, g_pEventManager->getClickedId());
    EXPECT_EQ(255, readPixel(120, 70).r);
    EXPECT_EQ(0, readPixel(250, 200).r);  // no background drawn
}
