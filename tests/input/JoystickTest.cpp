// Joystick input as an application sees it after the engine's update: from SDL's queue and, where
// the kernel offers /dev/uinput, from a virtual joystick device that SDL opens like a real one.
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "tests/support/TestHarness.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/uinput.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace testing_support;

namespace {

// Runs engine frames until the condition holds, for at most about two seconds.
template <typename Condition>
bool framesUntil(Condition condition)
{
    for (int frame = 0; frame < 200; ++frame) {
        sharedEngine().update();
        if (condition())
            return true;
        SDL_Delay(10);
    }
    return false;
}

// A joystick made by the kernel's uinput driver: two axes, one button and one hat.
class VirtualJoystick {
public:
    static constexpr const char* Name = "Quarl virtual joystick";

    VirtualJoystick()
    {
        fd = open("/dev/uinput", O_WRONLY | O_NONBLOCK);
        if (fd < 0) {
            reason = std::string("/dev/uinput: ") + std::strerror(errno);
            return;
        }
        ioctl(fd, UI_SET_EVBIT, EV_KEY);
        ioctl(fd, UI_SET_KEYBIT, BTN_A);
        ioctl(fd, UI_SET_EVBIT, EV_ABS);
        uinput_user_dev device;
        std::memset(&device, 0, sizeof(device));
        std::strncpy(device.name, Name, UINPUT_MAX_NAME_SIZE - 1);
        device.id.bustype = BUS_VIRTUAL;
        device.id.vendor = 0x1234;
        device.id.product = 0x5678;
        for (int axis : {ABS_X, ABS_Y}) {
            ioctl(fd, UI_SET_ABSBIT, axis);
            device.absmin[axis] = -32768;
            device.absmax[axis] = 32767;
        }
        for (int axis : {ABS_HAT0X, ABS_HAT0Y}) {
            ioctl(fd, UI_SET_ABSBIT, axis);
            device.absmin[axis] = -1;
            device.absmax[axis] = 1;
        }
        if (write(fd, &device, sizeof(device)) != ssize_t(sizeof(device)) || ioctl(fd, UI_DEV_CREATE) != 0) {
            reason = std::string("uinput refused the device: ") + std::strerror(errno);
            close(fd);
            fd = -1;
        }
    }
    ~VirtualJoystick()
    {
        if (fd >= 0) {
            ioctl(fd, UI_DEV_DESTROY);
            close(fd);
        }
    }

    bool ready() const { return fd >= 0; }
    // One input event followed by the report that makes the kernel deliver it.
    void send(int type, int code, int value)
    {
        emit(type, code, value);
        emit(EV_SYN, SYN_REPORT, 0);
    }

    std::string reason;

private:
    void emit(int type, int code, int value)
    {
        input_event event;
        std::memset(&event, 0, sizeof(event));
        event.type = __u16(type);
        event.code = __u16(code);
        event.value = value;
        if (write(fd, &event, sizeof(event)) != ssize_t(sizeof(event)))
            ADD_FAILURE() << "uinput write failed: " << std::strerror(errno);
    }

    int fd = -1;
};

class Joystick : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        events = g_pEventManager;
        drainEvents();
        events->update();
    }
    void TearDown() override
    {
        // Whatever the test found, no device of its own stays open.
        events->openJoysticks();
    }

    CEventManager* events = nullptr;
};

} // namespace

TEST_F(Joystick, QueuedJoystickEventsReachTheApplicationThroughTheEngineFrame)
{
    SDL_Event press{};
    press.type = SDL_JOYBUTTONDOWN;
    press.jbutton.type = SDL_JOYBUTTONDOWN;
    press.jbutton.which = 0;
    press.jbutton.button = 2;
    press.jbutton.state = SDL_PRESSED;
    pushEvent(press);
    SDL_Event axis{};
    axis.type = SDL_JOYAXISMOTION;
    axis.jaxis.type = SDL_JOYAXISMOTION;
    axis.jaxis.which = 0;
    axis.jaxis.axis = 1;
    axis.jaxis.value = -12345;
    pushEvent(axis);

    sharedEngine().update();
    EXPECT_TRUE(events->isEventPolled());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeJoyButtonDown));
    EXPECT_EQ(1, events->isJoystickButtonDown(0, 2));
    EXPECT_EQ(2, events->getEvent().jbutton.button);
    sharedEngine().update();
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeJoyAxis));
    EXPECT_EQ(-12345, events->getJoystickAxis(0, 1));
}

// Runs only where the kernel offers uinput (it needs /dev/uinput and the rights to it); skipped,
// with the reason, elsewhere.
TEST_F(Joystick, AVirtualJoystickDeviceIsOpenedAndDrivesTheTables)
{
    VirtualJoystick device;
    if (!device.ready())
        GTEST_SKIP() << "no virtual joystick: " << device.reason;

    // SDL 1.2 lists devices when its joystick subsystem starts; the device node may take a moment.
    int index = -1;
    for (int attempt = 0; attempt < 40 && index < 0; ++attempt) {
        SDL_Delay(50);
        const int count = events->openJoysticks();
        for (int joystick = 0; joystick < count; ++joystick)
            if (events->getJoystickName(joystick) == VirtualJoystick::Name)
                index = joystick;
    }
    ASSERT_GE(index, 0) << "SDL did not find the virtual joystick";

    device.send(EV_ABS, ABS_X, 32767);
    EXPECT_TRUE(framesUntil([&] { return events->getJoystickAxis(index, 0) > 30000; }));
    device.send(EV_ABS, ABS_Y, -32768);
    EXPECT_TRUE(framesUntil([&] { return events->getJoystickAxis(index, 1) < -30000; }));
    device.send(EV_KEY, BTN_A, 1);
    EXPECT_TRUE(framesUntil([&] {
        return events->isEventCode(CEventManager::CodeJoyButtonDown) && events->isJoystickButtonDown(index, 0);
    }));
    device.send(EV_KEY, BTN_A, 0);
    EXPECT_TRUE(framesUntil([&] { return events->isJoystickButtonDown(index, 0) == 0; }));
    device.send(EV_ABS, ABS_HAT0X, 1);
    EXPECT_TRUE(framesUntil([&] {
        return events->isEventCode(CEventManager::CodeJoyHat) && events->getJoystickHat(index, 0) == SDL_HAT_RIGHT;
    }));
}
