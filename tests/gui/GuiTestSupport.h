#ifndef TESTS_GUI_GUITESTSUPPORT_H
#define TESTS_GUI_GUITESTSUPPORT_H

#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

// Frames for the GUI tests: the real X pointer is moved, SDL's queue emptied, at most one pushed
// button event, then the event manager's update, exactly as the engine's frame starts.
namespace gui_test {

inline void pointerAt(int x, int y)
{
    testing_support::movePointer(x, y);
    testing_support::drainEvents();
}

// Begins a frame with the pointer where it is; with press, a left press is the frame's event.
inline void beginFrame(bool press = false, bool release = false)
{
    testing_support::drainEvents();
    if (press)
        testing_support::pushMouseButton(true, SDL_BUTTON_LEFT, g_pEventManager->getMouseX(),
                                         g_pEventManager->getMouseY());
    if (release)
        testing_support::pushMouseButton(false, SDL_BUTTON_LEFT, g_pEventManager->getMouseX(),
                                         g_pEventManager->getMouseY());
    g_pEventManager->update();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Solid-colour sprite frames base1.png ... baseN.png in a fresh folder; returns the base.
inline std::string solidFrames(const std::string& name, int count, int w, int h, const char* colours[])
{
    static const std::string dir = testing_support::makeTempDir();
    for (int i = 0; i < count; ++i)
        testing_support::writeSolidPng(dir + "/" + name + std::to_string(i + 1) + ".png", w, h, colours[i]);
    return dir + "/" + name;
}

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::sharedEngine();
    }
    void TearDown() override
    {
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }
};

}  // namespace gui_test

#endif
