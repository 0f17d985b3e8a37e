#include "engine/input/GamepadIdentity.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

namespace {

std::string sysfsRoot()
{
    const char* root = std::getenv("QUARL_SYSFS_ROOT");
    return root != nullptr && root[0] != '\0' ? root : "/sys";
}

bool readLine(const std::string& path, std::string& out)
{
    std::ifstream in(path);
    if (!in || !std::getline(in, out))
        return false;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
        out.pop_back();
    return true;
}

bool readHex(const std::string& path, uint16_t& out)
{
    std::string text;
    if (!readLine(path, text) || text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    out = uint16_t(std::strtoul(text.c_str(), nullptr, 16));
    return true;
}

}  // namespace

std::string CGamepadIdentity::guid() const
{
    if (!known)
        return std::string();
    char text[33];
    const uint16_t words[8] = {bus, 0, vendor, 0, product, 0, version, 0};
    for (int word = 0; word < 8; ++word)
        std::snprintf(text + word * 4, 5, "%02x%02x", words[word] & 0xFF, words[word] >> 8);
    return std::string(text, 32);
}

std::vector<CGamepadIdentity> CGamepadIdentity::listDevices()
{
    const std::string folder = sysfsRoot() + "/class/input";
    std::vector<std::pair<int, std::string>> numbered;
    if (DIR* directory = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(directory)) {
            const std::string entryName = entry->d_name;
            if (entryName.size() < 3 || entryName.compare(0, 2, "js") != 0 ||
                entryName.find_first_not_of("0123456789", 2) != std::string::npos || entryName.size() > 6)
                continue;
            numbered.emplace_back(std::atoi(entryName.c_str() + 2), entryName);
        }
        closedir(directory);
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<CGamepadIdentity> devices;
    for (const auto& each : numbered) {
        const std::string device = folder + "/" + each.second + "/device/";
        CGamepadIdentity identity;
        readLine(device + "name", identity.name);
        identity.known =
            readHex(device + "id/bustype", identity.bus) && readHex(device + "id/vendor", identity.vendor) &&
            readHex(device + "id/product", identity.product) && readHex(device + "id/version", identity.version);
        devices.push_back(identity);
    }
    return devices;
}

std::vector<CGamepadIdentity> CGamepadIdentity::match(const std::vector<std::string>& sdlNames)
{
    std::vector<CGamepadIdentity> devices = listDevices();
    std::vector<bool> taken(devices.size(), false);
    std::vector<CGamepadIdentity> matched;
    for (const std::string& sdlName : sdlNames) {
        CGamepadIdentity identity;
        identity.name = sdlName;
        for (std::size_t index = 0; index < devices.size(); ++index) {
            if (!taken[index] && devices[index].name == sdlName) {
                taken[index] = true;
                identity = devices[index];
                break;
            }
        }
        matched.push_back(identity);
    }
    return matched;
}
