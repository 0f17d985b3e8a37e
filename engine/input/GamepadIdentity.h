#ifndef ENGINE_INPUT_GAMEPADIDENTITY_H
#define ENGINE_INPUT_GAMEPADIDENTITY_H

#include <cstdint>
#include <string>
#include <vector>

// Who made a pad, as Linux tells it: the joystick device's bus, vendor, product and version, read
// from sysfs (class/input/jsN/device/id/ and its name), under the root QUARL_SYSFS_ROOT names
// (/sys unless set; tests point it at a folder of their own).
//
// SDL 1.2 does not say which device a joystick is, so SDL's joysticks are matched to the js
// devices by name and order: SDL's k-th joystick of a name is the k-th js device (by number) of
// that name. Both list the devices in the kernel's order, so this holds unless two pads of one
// name were plugged in an order their numbers do not follow; a pad without a match is known by its
// name only.
class CGamepadIdentity {
public:
    bool known = false;  // read from sysfs; otherwise only the name stands
    uint16_t bus = 0;
    uint16_t vendor = 0;
    uint16_t product = 0;
    uint16_t version = 0;
    std::string name;

    // The GUID the mapping lines use for this identity (32 hex digits, Linux's layout), empty
    // when not known.
    std::string guid() const;

    // Every js device sysfs lists, by number.
    static std::vector<CGamepadIdentity> listDevices();
    // The identities of SDL's joysticks, given their names in SDL's order.
    static std::vector<CGamepadIdentity> match(const std::vector<std::string>& sdlNames);
};

#endif
