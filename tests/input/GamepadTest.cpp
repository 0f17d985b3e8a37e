// Standard gamepads through the shared engine's event manager: on either SDL, joystick events
// pushed on SDL's real queue for a pad identified through a sysfs folder the test makes; on
// sdl12-compat also SDL 2 virtual joysticks, which SDL lists as real joysticks. The expected values
// are worked out by hand from the Linux layouts the tests state.
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "tests/support/EventManagerAccess.h"
#include "tests/support/TestHarness.h"
#include "tests/support/VirtualPad.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace testing_support;

namespace {

const char* const kXboxName = "Microsoft X-Box 360 pad";

// js<number> of a sysfs root made for the test, as Linux's xpad driver lists an Xbox 360 pad.
std::string fakeSysfs(const std::vector<std::string>& names)
{
    const std::string root = makeTempDir();
    mkdir((root + "/class").c_str(), 0755);
    mkdir((root + "/class/input").c_str(), 0755);
    for (std::size_t number = 0; number < names.size(); ++number) {
        const std::string device = root + "/class/input/js" + std::to_string(number);
        mkdir(device.c_str(), 0755);
        mkdir((device + "/device").c_str(), 0755);
        mkdir((device + "/device/id").c_str(), 0755);
        std::ofstream(device + "/device/name") << names[number] << "\n";
        std::ofstream(device + "/device/id/bustype") << "0003\n";
        std::ofstream(device + "/device/id/vendor") << "045e\n";
        std::ofstream(device + "/device/id/product") << "028e\n";
        std::ofstream(device + "/device/id/version") << "0114\n";
    }
    return root;
}

void pushJoystick(Uint8 type, int index, int value)
{
    SDL_Event event{};
    event.type = type;
    event.jaxis.which = 0;
    event.jaxis.axis = Uint8(index);  // jbutton.button and jhat.hat share this byte
    if (type == SDL_JOYAXISMOTION)
        event.jaxis.value = Sint16(value);
    else if (type == SDL_JOYHATMOTION)
        event.jhat.value = Uint8(value);
    else
        event.jbutton.state = type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    pushEvent(event);
}

void pushButton(int button, bool down)
{
    pushJoystick(down ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP, button, 0);
}

void pushAxis(int axis, int value)
{
    pushJoystick(SDL_JOYAXISMOTION, axis, value);
}

// What a game reads, the same code whatever SDL and pad are behind it.
struct GameReads {
    bool a, b, start;
    float leftX, leftY;
};

GameReads gameReads()
{
    const CGamepads& pads = g_pEventManager->getGamepads();
    return GameReads{pads.isDown(GamepadButton::A), pads.isDown(GamepadButton::B),
                     pads.isDown(GamepadButton::Start), pads.getAxis(GamepadAxis::LeftX),
                     pads.getAxis(GamepadAxis::LeftY)};
}

class Gamepad : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        events = g_pEventManager;
        drainEvents();
        events->update();
        events->takeEveryEvent(true);
    }
    void TearDown() override
    {
        drainEvents();
        events->takeEveryEvent(false);
        events->getGamepads().setStickDeadZone(0.15f);
        events->getGamepads().setTriggerDeadZone(0.1f);
        events->openJoysticks();  // the real joysticks again, with fresh tables
        events->update();
        events->clearEdges();
    }
    // The events pushed, applied; the edges they set stay until the next frame().
    void frame()
    {
        events->clearEdges();
        events->update();
    }

    CEventManager* events = nullptr;
};

}  // namespace

TEST_F(Gamepad, TheBuiltInTableReadsAPadLinuxIdentifies)
{
    ScopedEnvironment sysfs("QUARL_SYSFS_ROOT", fakeSysfs({"Another Stick", kXboxName}));
    CGamepads& pads = events->getGamepads();
    pads.open({kXboxName});
    ASSERT_EQ(1, pads.getCount());
    EXPECT_TRUE(pads.getPad(0).isMapped());
    EXPECT_EQ("030000005e0400008e02000014010000", pads.getPad(0).getIdentity().guid());
    // xpad's order: A B X Y LB RB Back Start Guide; axes LX LY LT RX RY RT; the d-pad on hat 0.
    pushButton(0, true);
    pushButton(7, true);
    pushAxis(0, 32767);
    pushJoystick(SDL_JOYHATMOTION, 0, SDL_HAT_LEFTUP);
    frame();
    const GameReads read = gameReads();
    EXPECT_TRUE(read.a);
    EXPECT_FALSE(read.b);
    EXPECT_TRUE(read.start);
    EXPECT_FLOAT_EQ(1.0f, read.leftX);
    EXPECT_EQ(0.0f, read.leftY);
    EXPECT_TRUE(pads.isDown(GamepadButton::DPadUp));
    EXPECT_TRUE(pads.isDown(GamepadButton::DPadLeft));
    EXPECT_FALSE(pads.isDown(GamepadButton::DPadDown));
    // Never reported, the trigger reads 0; at rest (-32768) too; fully pulled, 1.
    EXPECT_EQ(0.0f, pads.getAxis(GamepadAxis::LeftTrigger));
    pushAxis(2, -32768);
    frame();
    EXPECT_EQ(0.0f, pads.getAxis(GamepadAxis::LeftTrigger));
    pushAxis(2, 32767);
    frame();
    EXPECT_FLOAT_EQ(1.0f, pads.getAxis(GamepadAxis::LeftTrigger));
    EXPECT_TRUE(pads.isPressed(GamepadButton::LeftTrigger));
    // The raw joystick tables are filled as before.
    EXPECT_EQ(1, events->isJoystickButtonDown(0, 7));
}

TEST_F(Gamepad, AnUnmappedPadSaysSoOnceAndAMappingLineMapsIt)
{
    ScopedEnvironment sysfs("QUARL_SYSFS_ROOT", fakeSysfs({}));
    CGamepads& pads = events->getGamepads();
    static int run = 0;  // a name never seen before in this process, each run
    const std::string name = "Unknown Stick " + std::to_string(++run);
    CStdoutCapture capture;
    capture.start();
    pads.open({name});
    pads.open({name});
    frame();
    EXPECT_EQ(std::vector<std::string>{"No gamepad mapping for \"" + name +
                                       "\": it reads as a raw joystick; add a mapping line for it with "
                                       "loadGamepadMappings() or SDL_GAMECONTROLLERCONFIG"},
              capture.lines());
    EXPECT_FALSE(pads.getPad(0).isMapped());
    pushButton(3, true);
    frame();
    EXPECT_FALSE(pads.isDown(GamepadButton::A));
    EXPECT_EQ(1, events->isJoystickButtonDown(0, 3));  // still a raw joystick

    // Mapped from a file at run time, by name: the button held reads through the new mapping.
    const std::string path = makeTempDir() + "/pads.txt";
    std::ofstream(path) << "05000000000000000000000000000000," << name
                        << ",a:b3,b:b2,start:b9,leftx:a1~,lefty:a0,platform:Linux,\n";
    EXPECT_EQ(1, pads.loadGamepadMappings(path));
    EXPECT_TRUE(pads.getPad(0).isMapped());
    EXPECT_TRUE(pads.isDown(GamepadButton::A));
    pushButton(9, true);
    pushAxis(1, -32768);
    frame();
    const GameReads read = gameReads();
    EXPECT_TRUE(read.a);
    EXPECT_TRUE(read.start);
    EXPECT_FLOAT_EQ(1.0f, read.leftX);  // inverted
}

TEST_F(Gamepad, StickDeadZonesAreRadialAndRescaled)
{
    ScopedEnvironment sysfs("QUARL_SYSFS_ROOT", fakeSysfs({kXboxName}));
    CGamepads& pads = events->getGamepads();
    pads.open({kXboxName});
    // 0.1 right and 0.1 down: 0.141 from the centre, inside 0.15 though each is outside 0.1.
    pushAxis(0, 3277);
    pushAxis(1, 3277);
    frame();
    EXPECT_EQ(0.0f, pads.getAxis(GamepadAxis::LeftX));
    EXPECT_EQ(0.0f, pads.getAxis(GamepadAxis::LeftY));
    // 0.16 right: (0.16 - 0.15) / 0.85 = 0.01176.
    pushAxis(0, 5243);
    pushAxis(1, 0);
    frame();
    EXPECT_NEAR(0.01176, pads.getAxis(GamepadAxis::LeftX), 2e-4);
    // 0.6 both ways: length 0.8485, rescaled to 0.8218, so each 0.8218 / sqrt(2) = 0.5811.
    pushAxis(0, 19660);
    pushAxis(1, -19660);
    frame();
    EXPECT_NEAR(0.5811, pads.getAxis(GamepadAxis::LeftX), 2e-4);
    EXPECT_NEAR(-0.5811, pads.getAxis(GamepadAxis::LeftY), 2e-4);
    // Full tilt on a diagonal reaches 1 in length, no more; straight, 1.
    pushAxis(0, 32767);
    pushAxis(1, 32767);
    frame();
    EXPECT_NEAR(0.7071, pads.getAxis(GamepadAxis::LeftX), 2e-4);
    pushAxis(1, 0);
    frame();
    EXPECT_FLOAT_EQ(1.0f, pads.getAxis(GamepadAxis::LeftX));

    // Per pad: a wider zone swallows 0.25; the trigger's own zone of 0.2 rescales 0.6 to 0.5.
    pads.getPad(0).setStickDeadZone(0.3f);
    pads.getPad(0).setTriggerDeadZone(0.2f);
    pushAxis(3, 8192);
    pushAxis(2, 19660);  // (0.6 + 1) / 2 = 0.8 of the trigger's travel: (0.8 - 0.2) / 0.8 = 0.75
    frame();
    EXPECT_EQ(0.0f, pads.getAxis(GamepadAxis::RightX));
    EXPECT_NEAR(0.75, pads.getAxis(GamepadAxis::LeftTrigger), 2e-4);
    EXPECT_FLOAT_EQ(0.3f, pads.getPad(0).getStickDeadZone());
    pads.getPad(0).setStickDeadZone(2.0f);
    EXPECT_FLOAT_EQ(0.95f, pads.getPad(0).getStickDeadZone());
    pads.getPad(0).setStickDeadZone(-1.0f);
    EXPECT_FLOAT_EQ(0.0f, pads.getPad(0).getStickDeadZone());
}

TEST_F(Gamepad, EdgesAndCountsCoverEveryEventOfTheFrame)
{
    ScopedEnvironment sysfs("QUARL_SYSFS_ROOT", fakeSysfs({kXboxName}));
    CGamepads& pads = events->getGamepads();
    pads.open({kXboxName});
    // A pressed twice, held at the end; the d-pad's up from the hat pressed and let go; the stick
    // pushed right twice past the threshold.
    pushButton(0, true);
    pushButton(0, false);
    pushButton(0, true);
    pushJoystick(SDL_JOYHATMOTION, 0, SDL_HAT_UP);
    pushJoystick(SDL_JOYHATMOTION, 0, SDL_HAT_CENTERED);
    pushAxis(0, 30000);
    pushButton(1, true);  // keeps the axis values from merging
    pushAxis(0, 0);
    pushButton(1, false);
    pushAxis(0, 30000);
    frame();
    EXPECT_EQ(2, pads.getPressCount(GamepadButton::A));
    EXPECT_TRUE(pads.isPressed(GamepadButton::A));
    EXPECT_TRUE(pads.isReleased(GamepadButton::A));
    EXPECT_TRUE(pads.isDown(GamepadButton::A));
    EXPECT_EQ(1, pads.getPressCount(GamepadButton::DPadUp));
    EXPECT_TRUE(pads.isReleased(GamepadButton::DPadUp));
    EXPECT_FALSE(pads.isDown(GamepadButton::DPadUp));
    EXPECT_EQ(2, pads.getPressCount(GamepadButton::LeftStickRight));
    EXPECT_TRUE(pads.isDown(GamepadButton::LeftStickRight));
    EXPECT_FALSE(pads.isPressed(GamepadButton::LeftStickLeft));

    CEventManagerAccess::hideEdges(*events, true);
    EXPECT_FALSE(pads.isPressed(GamepadButton::A));
    EXPECT_EQ(0, pads.getPressCount(GamepadButton::A));
    CEventManagerAccess::hideEdges(*events, false);
    frame();
    EXPECT_FALSE(pads.isPressed(GamepadButton::A));
    EXPECT_TRUE(pads.isDown(GamepadButton::A));
    pushButton(0, false);
    frame();
    EXPECT_TRUE(pads.isReleased(GamepadButton::A));
    EXPECT_FALSE(pads.isPressed(GamepadButton::A));
}

TEST_F(Gamepad, ARescanKeepsTheLayoutAndReleasesWhatWasHeld)
{
    const std::string root = fakeSysfs({kXboxName});
    ScopedEnvironment sysfs("QUARL_SYSFS_ROOT", root);
    CGamepads& pads = events->getGamepads();
    pads.open({kXboxName});
    EXPECT_FALSE(pads.devicesChanged());
    pads.getPad(0).setStickDeadZone(0.4f);
    pushButton(0, true);
    frame();
    ASSERT_TRUE(pads.isDown(GamepadButton::A));

    // Linux lists a second pad: worth a look.
    const std::string second = root + "/class/input/js1";
    mkdir(second.c_str(), 0755);
    mkdir((second + "/device").c_str(), 0755);
    std::ofstream(second + "/device/name") << "Second\n";
    EXPECT_TRUE(pads.devicesChanged());

    events->clearEdges();
    pads.open({kXboxName, "Second"});
    EXPECT_FALSE(pads.devicesChanged());
    EXPECT_FALSE(pads.isDown(GamepadButton::A));
    EXPECT_TRUE(pads.isReleased(GamepadButton::A));
    EXPECT_TRUE(pads.getPad(0).isMapped());
    EXPECT_FLOAT_EQ(0.4f, pads.getPad(0).getStickDeadZone());
    EXPECT_FALSE(pads.getPad(1).isMapped());
    pushButton(1, true);
    frame();
    EXPECT_TRUE(pads.isDown(GamepadButton::B));

    // Gone altogether: nothing reads held, and the pads out of range answer as empty ones.
    pads.open({});
    EXPECT_EQ(0, pads.getCount());
    EXPECT_FALSE(pads.isDown(GamepadButton::B));
    EXPECT_FALSE(pads.getPad(0).isDown(GamepadButton::B));
    EXPECT_EQ(-1, pads.getPad(0).getIndex());
    EXPECT_EQ(0.0f, pads.getAxis(GamepadAxis::LeftX));
}

// sdl12-compat: an SDL 2 virtual joystick, read through SDL 2's own layout and through the
// engine's table, gives the game the same reads as the pushed events above give on the classic SDL.
TEST_F(Gamepad, AVirtualPadOnSdl12CompatReadsTheSameInBothLayouts)
{
    if (SDL_Linked_Version()->patch < 50) {
        // The classic SDL lists no SDL 2 joystick; the pushed-event tests above cover it.
        EXPECT_EQ(0, events->openJoysticks());
        return;
    }
    for (int layout = 0; layout < 3; ++layout) {
        SCOPED_TRACE(layout);
        // 0: SDL 2's layout (the hint). 1: the engine's built-in table, the pad known to Linux as an
        // Xbox 360 pad. 2: a mapping line for the pad's name, in another order.
        ScopedEnvironment hint("SDL12COMPAT_USE_GAME_CONTROLLERS", layout == 0 ? "1" : "");
        ScopedEnvironment sysfs("QUARL_SYSFS_ROOT", fakeSysfs({layout == 1 ? "Virtual Pad" : "Elsewhere"}));
        CVirtualPad pad("Virtual Pad", 0x045e, 0x028e, 15, 6, 1);
        ASSERT_TRUE(pad.ready());
        ASSERT_EQ(1, events->openJoysticks());
        CGamepads& pads = events->getGamepads();
        EXPECT_EQ(layout == 0, pads.isSdlLayout());
        if (layout == 2) {
            CStdoutCapture quiet;
            quiet.start();
            pads.addGamepadMappings("00000000000000000000000000000000,Virtual Pad,a:b4,b:b5,start:b3,leftx:a2,"
                                    "lefty:a3,platform:Linux,");
        }
        ASSERT_TRUE(pads.getPad(0).isMapped());
        // SDL 2's layout and xpad's: A 0, B 1, Start 6 or 7; the left stick on axes 0 and 1.
        const int a = layout == 2 ? 4 : 0;
        const int b = layout == 2 ? 5 : 1;
        const int start = layout == 0 ? 6 : layout == 1 ? 7 : 3;
        const int x = layout == 2 ? 2 : 0;
        pad.setButton(a, true);
        pad.setButton(start, true);
        pad.setAxis(x, -32768);
        pad.update();
        frame();
        GameReads read = gameReads();
        EXPECT_TRUE(read.a);
        EXPECT_FALSE(read.b);
        EXPECT_TRUE(read.start);
        EXPECT_FLOAT_EQ(-1.0f, read.leftX);
        EXPECT_EQ(0.0f, read.leftY);
        EXPECT_EQ(1, pads.getPressCount(GamepadButton::A));
        pad.setButton(a, false);
        pad.setButton(b, true);
        pad.update();
        frame();
        read = gameReads();
        EXPECT_FALSE(read.a);
        EXPECT_TRUE(read.b);
        EXPECT_TRUE(pads.isReleased(GamepadButton::A));
        EXPECT_TRUE(pads.isPressed(GamepadButton::B));
    }
    // The pads detached: a look finds none, and nothing reads held.
    events->openJoysticks();
    EXPECT_EQ(0, events->getJoystickCount());
    EXPECT_FALSE(gameReads().b);
}

// A release dropped with the waiting events (after a loading screen) once left the pad's button
// held for good.
TEST_F(Gamepad, DiscardingWaitingEventsLeavesNoPadButtonHeld)
{
    ScopedEnvironment sysfs("QUARL_SYSFS_ROOT", fakeSysfs({kXboxName}));
    CGamepads& pads = events->getGamepads();
    pads.open({kXboxName});
    pushButton(0, true);
    pushAxis(2, 32767);
    frame();
    ASSERT_TRUE(pads.isDown(GamepadButton::A));
    pushButton(0, false);
    pushAxis(2, -32768);
    events->discardWaiting();
    frame();
    EXPECT_FALSE(pads.isDown(GamepadButton::A));
    EXPECT_EQ(0.0f, pads.getAxis(GamepadAxis::LeftTrigger));
    EXPECT_FALSE(pads.isPressed(GamepadButton::A));
}
