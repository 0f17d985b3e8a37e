// Named actions over the shared engine's event manager: keys and buttons pushed on SDL's real
// queue or typed through the X server (XTEST), a pad from pushed joystick events (a made sysfs
// names it an Xbox 360 pad) or, on sdl12-compat, an SDL 2 virtual joystick; files in a folder the
// test makes. Expected values and file texts are written out by hand.
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "tests/support/TestHarness.h"
#include "tests/support/VirtualPad.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>

#include "tests/support/XTestInput.h"

using namespace testing_support;

namespace {

const char* const kXboxName = "Microsoft X-Box 360 pad";

std::string fakeXboxSysfs(const std::string& name)
{
    const std::string root = makeTempDir();
    const std::string device = root + "/class/input/js0/device";
    for (const std::string& folder :
         {root + "/class", root + "/class/input", root + "/class/input/js0", device, device + "/id"})
        mkdir(folder.c_str(), 0755);
    std::ofstream(device + "/name") << name << "\n";
    std::ofstream(device + "/id/bustype") << "0003\n";
    std::ofstream(device + "/id/vendor") << "045e\n";
    std::ofstream(device + "/id/product") << "028e\n";
    std::ofstream(device + "/id/version") << "0114\n";
    return root;
}

void pushJoystick(Uint8 type, int index, int value)
{
    SDL_Event event{};
    event.type = type;
    event.jaxis.axis = Uint8(index);
    if (type == SDL_JOYAXISMOTION)
        event.jaxis.value = Sint16(value);
    else
        event.jbutton.state = type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    pushEvent(event);
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class InputActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        events = g_pEventManager;
        drainEvents();
        events->update();
        events->takeEveryEvent(true);
        events->clearEdges();
    }
    void TearDown() override
    {
        actions().clearAll();
        drainEvents();
        events->takeEveryEvent(false);
        events->openJoysticks();
        events->discardWaiting();
        events->update();
        events->clearEdges();
    }
    CInputActions& actions()
    {
        return events->getActions();
    }
    void frame()
    {
        events->clearEdges();
        events->update();
    }
    // A pad at index 0 read through the built-in Xbox 360 line: pushed events on the classic SDL.
    void openPushedPad()
    {
        sysfs.reset(new ScopedEnvironment("QUARL_SYSFS_ROOT", fakeXboxSysfs(kXboxName)));
        events->getGamepads().open({kXboxName});
        ASSERT_TRUE(events->getGamepads().getPad(0).isMapped());
    }

    CEventManager* events = nullptr;
    std::unique_ptr<ScopedEnvironment> sysfs;
};

}  // namespace

TEST_F(InputActions, ValuesAndEdgesComeFromEveryKindOfBinding)
{
    openPushedPad();
    CInputActions& input = actions();
    for (const char* binding : {"-key:left", "+key:right", "axis:leftx"})
        ASSERT_TRUE(input.bind("move_x", binding));
    for (const char* binding : {"key:space", "pad:a", "mouse:3"})
        ASSERT_TRUE(input.bind("jump", binding));
    EXPECT_EQ((std::vector<std::string>{"move_x", "jump"}), input.getActionNames());
    EXPECT_EQ((std::vector<std::string>{"-key:left", "+key:right", "axis:leftx"}), input.getBindings("move_x"));

    pushKey(true, SDLK_LEFT);
    frame();
    EXPECT_EQ(-1.0f, input.getActionValue("move_x"));
    EXPECT_TRUE(input.isActionPressed("move_x"));
    pushKey(true, SDLK_RIGHT);
    frame();
    EXPECT_EQ(0.0f, input.getActionValue("move_x"));  // the pair held together
    EXPECT_TRUE(input.isActionDown("move_x"));
    pushKey(false, SDLK_LEFT);
    pushKey(false, SDLK_RIGHT);
    pushJoystick(SDL_JOYAXISMOTION, 0, -19660);  // 0.6 left: (0.6 - 0.15) / 0.85 = 0.5294
    frame();
    EXPECT_NEAR(-0.5294, input.getActionValue("move_x"), 2e-4);
    EXPECT_TRUE(input.isActionDown("move_x"));  // past the press threshold of 0.5
    EXPECT_TRUE(input.isActionPressed("move_x"));
    pushJoystick(SDL_JOYAXISMOTION, 0, 0);
    frame();
    EXPECT_FALSE(input.isActionDown("move_x"));
    EXPECT_TRUE(input.isActionReleased("move_x"));

    // Two presses of space, the right mouse button and the pad's A in one frame: four; the button
    // still held keeps the action down, so it is not released.
    pushKey(true, SDLK_SPACE);
    pushKey(false, SDLK_SPACE);
    pushMouseButton(true, SDL_BUTTON_RIGHT, 5, 5);
    pushJoystick(SDL_JOYBUTTONDOWN, 0, 0);
    pushKey(true, SDLK_SPACE);
    pushKey(false, SDLK_SPACE);
    frame();
    EXPECT_EQ(4, input.getActionPressCount("jump"));
    EXPECT_TRUE(input.isActionDown("jump"));
    EXPECT_FALSE(input.isActionReleased("jump"));
    EXPECT_EQ(1.0f, input.getActionValue("jump"));  // one sign, however many bindings hold it
    pushMouseButton(false, SDL_BUTTON_RIGHT, 5, 5);
    pushJoystick(SDL_JOYBUTTONUP, 0, 0);
    frame();
    EXPECT_TRUE(input.isActionReleased("jump"));
    EXPECT_FALSE(input.isActionDown("jump"));
    EXPECT_EQ(0, input.getActionPressCount("jump"));
    EXPECT_EQ(0.0f, input.getActionValue("nothing"));
    EXPECT_FALSE(input.isActionDown("nothing"));
}

TEST_F(InputActions, ABindingItCannotReadIsOneLineAndChangesNothing)
{
    CInputActions& input = actions();
    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(input.bind("jump", "key:no such key"));
    EXPECT_FALSE(input.bind("jump", "pad:z"));
    EXPECT_FALSE(input.bind("jump", "mouse:9"));
    EXPECT_FALSE(input.bind("jump", "joystick:1"));
    EXPECT_FALSE(input.bind("two words", "key:a"));
    EXPECT_EQ((std::vector<std::string>{
                  "Cannot bind the action jump: no key is named \"no such key\"",
                  "Cannot bind the action jump: no pad button is named \"z\"",
                  "Cannot bind the action jump: no mouse button is numbered \"9\"",
                  "Cannot bind the action jump: the kind \"joystick\" is none of key, mouse, pad, axis",
                  "Cannot bind the action \"two words\": its name is empty or holds a space or a sign"}),
              capture.lines());
    EXPECT_TRUE(input.getActionNames().empty());
}

TEST_F(InputActions, SavesToTheConfigurationFolderAndLoadsWhatAPersonEdited)
{
    const std::string config = makeTempDir();
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", config);
        EXPECT_EQ(config + "/walker/input-actions.txt", CInputActions::configPath("walker"));
        ScopedEnvironment relative("XDG_CONFIG_HOME", "relative/folder");
        ScopedEnvironment home("HOME", "/home/player");
        EXPECT_EQ("/home/player/.config/walker/input-actions.txt", CInputActions::configPath("walker"));
        EXPECT_EQ("", CInputActions::configPath("../walker"));
        EXPECT_EQ("", CInputActions::configPath(""));
    }
    ScopedEnvironment xdg("XDG_CONFIG_HOME", config);
    const std::string path = CInputActions::configPath("walker");
    CInputActions& input = actions();
    input.bind("jump", "key:space");
    input.bind("jump", "pad:a");
    input.bind("move_x", "-key:left");
    input.bind("move_x", "+key:right");
    input.bind("move_x", "-axis:lefty");
    input.bind("fire", "mouse:1");
    input.bind("fire", "key:=");
    ASSERT_TRUE(input.save(path));
    EXPECT_EQ("# Input actions: one a line, \"name = binding | binding\" (key:space, mouse:1, pad:a,\n"
              "# pad:leftx+, axis:leftx; a leading - or + gives the binding that sign).\n"
              "jump = key:space | pad:a\n"
              "move_x = -key:left | +key:right | -axis:lefty\n"
              "fire = mouse:1 | key:=\n",
              fileText(path));

    // A person's edits: spaces, comments, a new action, bad lines among good ones.
    std::ofstream(path) << "# mine\n"
                           "jump=key:w|pad:leftx+   # up\n"
                           "move_x = key:nonsense | +key:right\n"
                           "crouch\n"
                           "two words = key:c\n"
                           "fire = mouse:1 | key:#\n"
                           "\n"
                           "look_y = axis:righty | pad:dpup | key:#273\n";
    input.clearAll();
    input.bind("move_x", "axis:leftx");
    CStdoutCapture capture;
    capture.start();
    EXPECT_TRUE(input.load(path));
    EXPECT_EQ((std::vector<std::string>{
                  "Bad input action in " + path + ", line 3: no key is named \"nonsense\"",
                  "Bad input action in " + path + ", line 4: no \"=\" after the action's name",
                  "Bad input action in " + path +
                      ", line 5: the action's name \"two words\" is empty or holds a space or a sign"}),
              capture.lines());
    EXPECT_EQ((std::vector<std::string>{"key:w", "pad:leftx+"}), input.getBindings("jump"));
    EXPECT_EQ((std::vector<std::string>{"axis:leftx"}), input.getBindings("move_x"));  // kept
    EXPECT_EQ((std::vector<std::string>{"mouse:1", "key:#"}), input.getBindings("fire"));
    EXPECT_EQ((std::vector<std::string>{"axis:righty", "pad:dpup", "key:up"}), input.getBindings("look_y"));

    capture.start();
    EXPECT_FALSE(input.load(path + ".missing"));
    EXPECT_FALSE(input.load(config));
    EXPECT_FALSE(input.save(""));
    EXPECT_EQ((std::vector<std::string>{"Failed to load input actions: " + path +
                                            ".missing, Error: No such file or directory",
                                        "Failed to load input actions: " + config + ", Error: not a regular file",
                                        "Failed to save input actions: , Error: no path"}),
              capture.lines());
}

namespace {

// Updates until the action has its new binding, for input that comes through the X server.
bool waitForRebind(CEventManager* events)
{
    for (int attempt = 0; attempt < 200 && events->getActions().isRebinding(); ++attempt) {
        events->clearEdges();
        events->update();
        if (events->getActions().isRebinding())
            SDL_Delay(5);
    }
    return !events->getActions().isRebinding();
}

}  // namespace

// "Press the key for jump" through real X key presses; the pad's part through an SDL 2 virtual
// pad on sdl12-compat, through pushed joystick events on the classic SDL; then saved and loaded.
TEST_F(InputActions, RebindsFromTheNextInputAndKeepsItAcrossSaveAndLoad)
{
    CXTestInput x;
    ASSERT_TRUE(x.ready());
    const bool compat = SDL_Linked_Version()->patch >= 50;
    std::unique_ptr<CVirtualPad> pad;
    if (compat) {
        sysfs.reset(new ScopedEnvironment("QUARL_SYSFS_ROOT", fakeXboxSysfs("Virtual Pad")));
        pad.reset(new CVirtualPad("Virtual Pad", 0x045e, 0x028e, 15, 6, 1));
        ASSERT_TRUE(pad->ready());
        ASSERT_EQ(1, events->openJoysticks());
        ASSERT_TRUE(events->getGamepads().getPad(0).isMapped());
    } else {
        openPushedPad();
    }
    CInputActions& input = actions();
    input.bind("jump", "key:space");
    input.bind("jump", "pad:a");
    input.bind("move_x", "-key:left");
    input.bind("move_x", "+key:right");
    input.bind("move_x", "axis:leftx");

    input.rebind("jump");
    EXPECT_TRUE(input.isRebinding());
    x.tap(XK_j);
    x.sync();
    ASSERT_TRUE(waitForRebind(events));
    EXPECT_EQ((std::vector<std::string>{"pad:a", "key:j"}), input.getBindings("jump"));

    // Escape gives up, and the binding stays.
    input.rebind("jump");
    x.tap(XK_Escape);
    x.sync();
    ASSERT_TRUE(waitForRebind(events));
    EXPECT_EQ((std::vector<std::string>{"pad:a", "key:j"}), input.getBindings("jump"));

    // The left of move_x from the A key: the right and the stick stay.
    input.rebind("move_x", -1);
    x.tap(XK_a);
    x.sync();
    ASSERT_TRUE(waitForRebind(events));
    EXPECT_EQ((std::vector<std::string>{"+key:right", "axis:leftx", "-key:a"}), input.getBindings("move_x"));

    // The pad's B for jump; the left stick pushed right for the left of move_x: inverted.
    input.rebind("jump");
    if (pad) {
        pad->setButton(1, true);
        pad->update();
    } else {
        pushJoystick(SDL_JOYBUTTONDOWN, 1, 0);
    }
    ASSERT_TRUE(waitForRebind(events));
    EXPECT_EQ((std::vector<std::string>{"key:j", "pad:b"}), input.getBindings("jump"));
    input.rebind("move_x", -1);
    if (pad) {
        pad->setAxis(0, 30000);
        pad->update();
    } else {
        pushJoystick(SDL_JOYAXISMOTION, 0, 30000);
    }
    ASSERT_TRUE(waitForRebind(events));
    EXPECT_EQ((std::vector<std::string>{"+key:right", "-key:a", "-axis:leftx"}), input.getBindings("move_x"));
    EXPECT_LT(input.getActionValue("move_x"), -0.9f);

    // The new key works, then everything survives a save and a load.
    x.tap(XK_j);
    x.sync();
    bool pressed = false;
    for (int attempt = 0; attempt < 200 && !pressed; ++attempt) {
        events->clearEdges();
        events->update();
        pressed = input.isActionPressed("jump");
        if (!pressed)
            SDL_Delay(5);
    }
    EXPECT_TRUE(pressed);
    const std::string path = makeTempDir() + "/game/input-actions.txt";
    ASSERT_TRUE(input.save(path));
    input.clearAll();
    ASSERT_TRUE(input.load(path));
    EXPECT_EQ((std::vector<std::string>{"key:j", "pad:b"}), input.getBindings("jump"));
    EXPECT_EQ((std::vector<std::string>{"+key:right", "-key:a", "-axis:leftx"}), input.getBindings("move_x"));
}
