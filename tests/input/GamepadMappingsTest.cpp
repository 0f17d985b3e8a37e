// The mapping reader on lines of the community database's format written here, shape by shape,
// with the values each shape must give worked out by hand; and the Linux identity read from a
// sysfs folder the tests make.
#include "engine/input/GamepadMappings.h"
#include "engine/input/GamepadIdentity.h"
#include "tests/support/TestHarness.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace testing_support;

namespace {

const char* const kGuid = "030000005e0400008e02000014010000";

struct Read {
    bool buttons[int(GamepadButton::Count)];
    float axes[int(GamepadAxis::Count)];
    bool button(GamepadButton which) const
    {
        return buttons[int(which)];
    }
    float axis(GamepadAxis which) const
    {
        return axes[int(which)];
    }
};

CGamepadMapping parsed(const std::string& fields)
{
    CGamepadMapping mapping;
    std::string error;
    EXPECT_TRUE(mapping.parse(std::string(kGuid) + ",Test Pad," + fields, error)) << error;
    return mapping;
}

Read read(const CGamepadMapping& mapping, const SGamepadRawState& raw)
{
    Read out;
    mapping.apply(raw, out.buttons, out.axes);
    return out;
}

void setAxis(SGamepadRawState& raw, int axis, int value)
{
    raw.axes[axis] = int16_t(value);
    raw.axisReported[axis] = true;
}

}  // namespace

TEST(GamepadMapping, ButtonsHatsAndAxesReachTheirOutputs)
{
    const CGamepadMapping mapping =
        parsed("a:b5,dpup:h1.1,dpright:h1.2,dpdown:h1.4,leftx:a3,lefty:a1~,platform:Linux,");
    SGamepadRawState raw;
    Read out = read(mapping, raw);
    EXPECT_FALSE(out.button(GamepadButton::A));
    EXPECT_EQ(0.0f, out.axis(GamepadAxis::LeftX));
    raw.buttons[5] = true;
    raw.hats[1] = SDL_HAT_RIGHTUP;
    setAxis(raw, 3, 16384);
    setAxis(raw, 1, 32767);
    out = read(mapping, raw);
    EXPECT_TRUE(out.button(GamepadButton::A));
    EXPECT_TRUE(out.button(GamepadButton::DPadUp));
    EXPECT_TRUE(out.button(GamepadButton::DPadRight));
    EXPECT_FALSE(out.button(GamepadButton::DPadDown));
    EXPECT_FALSE(out.button(GamepadButton::B));
    EXPECT_NEAR(0.5, out.axis(GamepadAxis::LeftX), 1e-4);   // 16384 / 32767
    EXPECT_NEAR(-1.0, out.axis(GamepadAxis::LeftY), 1e-4);  // inverted by the ~
}

TEST(GamepadMapping, HalfAxesAndSignedOutputs)
{
    const CGamepadMapping mapping =
        parsed("-leftx:b13,+leftx:b14,+rightx:a6,-rightx:a7,lefttrigger:+a2,righttrigger:-a5,a:+a0,b:-a0,x:a4");
    SGamepadRawState raw;
    raw.buttons[13] = true;
    Read out = read(mapping, raw);
    EXPECT_EQ(-1.0f, out.axis(GamepadAxis::LeftX));
    raw.buttons[13] = false;
    raw.buttons[14] = true;
    EXPECT_EQ(1.0f, read(mapping, raw).axis(GamepadAxis::LeftX));

    // A whole input axis spread over one half of the output: its low end is the centre.
    setAxis(raw, 6, 32767);
    EXPECT_NEAR(1.0, read(mapping, raw).axis(GamepadAxis::RightX), 1e-4);
    setAxis(raw, 6, -32768);
    setAxis(raw, 7, 32767);
    EXPECT_NEAR(-1.0, read(mapping, raw).axis(GamepadAxis::RightX), 1e-4);
    setAxis(raw, 7, 0);
    EXPECT_NEAR(-0.5, read(mapping, raw).axis(GamepadAxis::RightX), 1e-4);

    // Half input axes on triggers: +a2 reads 0..32767, -a5 reads 0 down to -32768.
    setAxis(raw, 2, 16384);
    setAxis(raw, 5, -32768);
    out = read(mapping, raw);
    EXPECT_NEAR(0.5, out.axis(GamepadAxis::LeftTrigger), 1e-4);
    EXPECT_NEAR(1.0, out.axis(GamepadAxis::RightTrigger), 1e-4);
    setAxis(raw, 2, -20000);
    EXPECT_EQ(0.0f, read(mapping, raw).axis(GamepadAxis::LeftTrigger));

    // An axis as a button is pressed past the middle of its range: 16384 of +a0, 0 of a4.
    setAxis(raw, 0, 16000);
    setAxis(raw, 4, -100);
    out = read(mapping, raw);
    EXPECT_FALSE(out.button(GamepadButton::A));
    EXPECT_FALSE(out.button(GamepadButton::X));
    setAxis(raw, 0, 20000);
    setAxis(raw, 4, 100);
    out = read(mapping, raw);
    EXPECT_TRUE(out.button(GamepadButton::A));
    EXPECT_FALSE(out.button(GamepadButton::B));
    EXPECT_TRUE(out.button(GamepadButton::X));
    setAxis(raw, 0, -20000);
    EXPECT_TRUE(read(mapping, raw).button(GamepadButton::B));
}

// SDL 1.2 seeds no axis value: a whole-axis trigger rests at -32768, which must not read as half
// pressed before the pad first reports it.
TEST(GamepadMapping, ATriggerNeverReportedReadsZero)
{
    const CGamepadMapping mapping = parsed("lefttrigger:a2,righttrigger:a5~,leftx:a0,");
    SGamepadRawState raw;
    Read out = read(mapping, raw);
    EXPECT_EQ(0.0f, out.axis(GamepadAxis::LeftTrigger));
    EXPECT_EQ(0.0f, out.axis(GamepadAxis::RightTrigger));
    setAxis(raw, 2, -32768);
    EXPECT_EQ(0.0f, read(mapping, raw).axis(GamepadAxis::LeftTrigger));
    setAxis(raw, 2, 0);
    EXPECT_NEAR(0.5, read(mapping, raw).axis(GamepadAxis::LeftTrigger), 1e-4);
    setAxis(raw, 2, 32767);
    setAxis(raw, 5, -32768);
    out = read(mapping, raw);
    EXPECT_NEAR(1.0, out.axis(GamepadAxis::LeftTrigger), 1e-4);
    EXPECT_NEAR(1.0, out.axis(GamepadAxis::RightTrigger), 1e-4);
}

TEST(GamepadMapping, FieldsItDoesNotKnowAreSkippedAndTheIdentityIsRead)
{
    CGamepadMapping mapping;
    std::string error;
    ASSERT_TRUE(mapping.parse(std::string("  ") + kGuid +
                                  " , Odd Pad ,misc1:b15,paddle1:b16,touchpad:b17,crc:1a2b,"
                                  "hint:!SDL_GAMECONTROLLER_USE_BUTTON_LABELS:=1,sdk>=:33,a:b0 ,  start:b7,\r",
                              error))
        << error;
    EXPECT_EQ("Odd Pad", mapping.getName());
    EXPECT_EQ(kGuid, mapping.getGuid());
    EXPECT_EQ(0x0003, mapping.getBus());
    EXPECT_EQ(0x045e, mapping.getVendor());
    EXPECT_EQ(0x028e, mapping.getProduct());
    EXPECT_EQ(0x0114, mapping.getVersion());
    SGamepadRawState raw;
    raw.buttons[7] = true;
    raw.buttons[15] = true;
    const Read out = read(mapping, raw);
    EXPECT_TRUE(out.button(GamepadButton::Start));
    EXPECT_FALSE(out.button(GamepadButton::A));

    CGamepadMapping other;
    ASSERT_TRUE(other.parse("xinput,XInput Controller,a:b0,platform:Windows,", error));
    EXPECT_FALSE(other.isForThisPlatform());
}

TEST(GamepadMappings, EachBadLineIsOneLineAndTheOthersLoad)
{
    CGamepadMappings mappings;
    const std::size_t builtIn = mappings.size();
    const std::string text = std::string("# a comment\n\n") +                                         // 1, 2
                             kGuid + ",Good One,a:b0,\n" +                                            // 3
                             "0300005e04,Short,a:b0,\n" +                                             // 4
                             kGuid + "\n" +                                                           // 5
                             kGuid + ",No Colon,a:b0,start\n" +                                       // 6
                             kGuid + ",Bad Input,a:q3,\n" +                                           // 7
                             kGuid + ",Bad Hat,dpup:h0,\n" +                                          // 8
                             kGuid + ",Signed Button,+a:b0,\n" +                                      // 9
                             kGuid + ",Too Far,a:b999,\n" +                                           // 10
                             kGuid + ",Inverted Button,a:b0~,\n" +                                    // 11
                             "03000000000000000000000000000000,Mac Only,a:b0,platform:Mac OS X,\n" +  // 12
                             kGuid + ",Good Two,b:b1,platform:Linux,\r\n";                            // 13
    CStdoutCapture capture;
    capture.start();
    EXPECT_EQ(2, mappings.addMappings(text, "pads.txt"));
    const std::vector<std::string> lines = capture.lines();
    EXPECT_EQ(builtIn + 2, mappings.size());
    const std::vector<std::string> expected = {
        "Bad gamepad mapping in pads.txt, line 4: the GUID \"0300005e04\" is not 32 hexadecimal digits",
        "Bad gamepad mapping in pads.txt, line 5: no name after the GUID",
        "Bad gamepad mapping in pads.txt, line 6: the field \"start\" has no colon",
        "Bad gamepad mapping in pads.txt, line 7: the input \"q3\" of a is not bN, hN.M or aN",
        "Bad gamepad mapping in pads.txt, line 8: the input \"h0\" of dpup is not bN, hN.M or aN",
        "Bad gamepad mapping in pads.txt, line 9: the button \"a\" has a sign",
        "Bad gamepad mapping in pads.txt, line 10: the input \"b999\" of a is not bN, hN.M or aN",
        "Bad gamepad mapping in pads.txt, line 11: the input \"b0~\" of a is not bN, hN.M or aN"};
    EXPECT_EQ(expected, lines);
    EXPECT_EQ("Good Two", mappings.find(true, 3, 0x045e, 0x028e, 0x0114, "")->getName());
}

TEST(GamepadMappings, FindsByIdentityThenByNameAndTheNewestLineWins)
{
    CGamepadMappings mappings;
    // The built-in table knows each pad it promises, whatever the version.
    struct Known {
        uint16_t bus, vendor, product;
        const char* name;
    };
    for (const Known& pad :
         {Known{3, 0x045e, 0x028e, "Xbox 360 Controller"}, Known{3, 0x045e, 0x02ea, "Xbox One S Controller"},
          Known{3, 0x045e, 0x0b12, "Xbox Series X Controller"}, Known{5, 0x054c, 0x09cc, "PS4 Controller"},
          Known{3, 0x054c, 0x0ce6, "PS5 Controller"}, Known{3, 0x057e, 0x2009, "Nintendo Switch Pro Controller"},
          Known{3, 0x28de, 0x11ff, "Steam Virtual Gamepad"}}) {
        const CGamepadMapping* found = mappings.find(true, pad.bus, pad.vendor, pad.product, 0x8111, "whatever");
        ASSERT_NE(nullptr, found) << pad.name;
        EXPECT_EQ(pad.name, found->getName());
    }
    mappings.addMappings("030000005e0400008e02000000000000,Any Version,a:b1,\n"
                         "030000005e0400008e02000014010000,Version 114,a:b2,\n"
                         "05000000000000000000000000000000,Named Pad,a:b3,\n",
                         "test");
    EXPECT_EQ("Version 114", mappings.find(true, 3, 0x045e, 0x028e, 0x0114, "")->getName());
    EXPECT_EQ("Any Version", mappings.find(true, 3, 0x045e, 0x028e, 0x0110, "")->getName());
    EXPECT_EQ("Named Pad", mappings.find(true, 3, 0x1234, 0x5678, 1, "Named Pad")->getName());
    EXPECT_EQ("Named Pad", mappings.find(false, 0, 0, 0, 0, "Named Pad")->getName());
    EXPECT_EQ(nullptr, mappings.find(false, 3, 0x045e, 0x028e, 0x0114, "Nobody"));
    mappings.addMappings("030000005e0400008e02000014010000,Newer,a:b4,\n", "test");
    EXPECT_EQ("Newer", mappings.find(true, 3, 0x045e, 0x028e, 0x0114, "")->getName());
}

TEST(GamepadMappings, ReadsTheEnvironmentAndFiles)
{
    {
        ScopedEnvironment config("SDL_GAMECONTROLLERCONFIG",
                                 "0300000034120000785600000000000,Broken,a:b0,\n"
                                 "03000000341200007856000000000000,From The Environment,a:b0,\n");
        CStdoutCapture capture;
        capture.start();
        CGamepadMappings mappings;
        EXPECT_EQ(std::vector<std::string>{"Bad gamepad mapping in SDL_GAMECONTROLLERCONFIG, line 1: the GUID "
                                           "\"0300000034120000785600000000000\" is not 32 hexadecimal digits"},
                  capture.lines());
        ASSERT_NE(nullptr, mappings.find(true, 3, 0x1234, 0x5678, 0, ""));
        EXPECT_EQ("From The Environment", mappings.find(true, 3, 0x1234, 0x5678, 0, "")->getName());
    }
    CGamepadMappings mappings;
    EXPECT_EQ(nullptr, mappings.find(true, 3, 0x1234, 0x5678, 0, ""));
    const std::string path = makeTempDir() + "/gamecontrollerdb.txt";
    std::ofstream(path) << "# Linux\n03000000341200007856000000000000,From A File,a:b0,platform:Linux,\n"
                           "03000000341200007856000000000000,Windows,a:b0,platform:Windows,\n";
    EXPECT_EQ(1, mappings.loadGamepadMappings(path));
    EXPECT_EQ("From A File", mappings.find(true, 3, 0x1234, 0x5678, 0, "")->getName());
    CStdoutCapture capture;
    capture.start();
    EXPECT_EQ(0, mappings.loadGamepadMappings(path + ".missing"));
    EXPECT_EQ(std::vector<std::string>{"Failed to load gamepad mappings: " + path +
                                       ".missing, Error: No such file or directory"},
              capture.lines());
}

namespace {

void writeDevice(const std::string& root, int number, const std::string& name, const char* bus, const char* vendor,
                 const char* product, const char* version)
{
    const std::string device = root + "/class/input/js" + std::to_string(number) + "/device";
    for (const std::string& folder :
         {root + "/class", root + "/class/input", device.substr(0, device.size() - 7), device, device + "/id"})
        mkdir(folder.c_str(), 0755);
    std::ofstream(device + "/name") << name << "\n";
    std::ofstream(device + "/id/bustype") << bus << "\n";
    std::ofstream(device + "/id/vendor") << vendor << "\n";
    std::ofstream(device + "/id/product") << product << "\n";
    if (version != nullptr)
        std::ofstream(device + "/id/version") << version << "\n";
}

}  // namespace

TEST(GamepadIdentity, MatchesSdlsJoysticksToLinuxDevicesByNameAndOrder)
{
    const std::string root = makeTempDir();
    writeDevice(root, 10, "Pad", "0003", "045e", "028e", "0114");  // js10 after js2: numbers, not text
    writeDevice(root, 2, "Pad", "0005", "054c", "09cc", "8100");
    writeDevice(root, 0, "Other", "0003", "1234", "abcd", "0001");
    writeDevice(root, 1, "No Version", "0003", "1234", "abcd", nullptr);
    mkdir((root + "/class/input/event3").c_str(), 0755);
    ScopedEnvironment sysfs("QUARL_SYSFS_ROOT", root);

    const std::vector<CGamepadIdentity> matched =
        CGamepadIdentity::match({"Pad", "Other", "Pad", "Pad", "No Version"});
    ASSERT_EQ(5u, matched.size());
    EXPECT_TRUE(matched[0].known);
    EXPECT_EQ(0x0005, matched[0].bus);
    EXPECT_EQ("050000004c050000cc09000000810000", matched[0].guid());
    EXPECT_EQ(0x1234, matched[1].vendor);
    EXPECT_EQ(0xabcd, matched[1].product);
    EXPECT_EQ("030000005e0400008e02000014010000", matched[2].guid());
    EXPECT_FALSE(matched[3].known);  // a third "Pad" Linux does not list
    EXPECT_EQ("Pad", matched[3].name);
    EXPECT_EQ("", matched[3].guid());
    EXPECT_FALSE(matched[4].known);
    EXPECT_EQ(4u, CGamepadIdentity::listDevices().size());
}
