#include "engine/tilemap/MapProperties.h"

#include <atomic>
#include <charconv>
#include <cmath>

namespace {

std::atomic<uint64_t> comparisons{0};

// from_chars, unlike strtol and strtod, ignores the locale: "0.5" reads the same under any
// LC_NUMERIC an application sets.
template <typename T>
bool readWhole(const std::string& text, T& out)
{
    const char* end = text.data() + text.size();
    T value{};
    const std::from_chars_result result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        return false;
    out = value;
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool CMapProperties::CountingEqual::operator()(const std::string& a, const std::string& b) const
{
    comparisons.fetch_add(1, std::memory_order_relaxed);
    return a == b;
}

uint64_t CMapProperties::nameComparisons()
{
    return comparisons.load(std::memory_order_relaxed);
}

void CMapProperties::set(const std::string& name, const std::string& type, const std::string& value)
{
    const auto found = positions.find(name);
    if (found != positions.end()) {
        Entry& entry = entries[found->second];
        entry.type = type;
        entry.value = value;
        return;
    }
    entries.push_back(Entry{name, type, value});
    positions.emplace(name, entries.size() - 1);
}

void CMapProperties::clear()
{
    entries.clear();
    positions.clear();
}

const CMapProperties::Entry* CMapProperties::find(const std::string& name) const
{
    const auto found = positions.find(name);
    return found == positions.end() ? nullptr : &entries[found->second];
}

bool CMapProperties::has(const std::string& name) const
{
    return find(name) != nullptr;
}

std::string CMapProperties::get(const std::string& name) const
{
    const Entry* entry = find(name);
    return entry ? entry->value : std::string();
}

std::string CMapProperties::getType(const std::string& name) const
{
    const Entry* entry = find(name);
    return entry ? entry->type : std::string();
}

int CMapProperties::getInt(const std::string& name, int fallback) const
{
    const Entry* entry = find(name);
    int value = fallback;
    return entry && readWhole(entry->value, value) ? value : fallback;
}

float CMapProperties::getFloat(const std::string& name, float fallback) const
{
    const Entry* entry = find(name);
    double value = 0.0;
    if (entry == nullptr || !readWhole(entry->value, value) || !std::isfinite(value))
        return fallback;
    return float(value);
}

bool CMapProperties::getBool(const std::string& name, bool fallback) const
{
    const Entry* entry = find(name);
    if (entry != nullptr && entry->value == "true")
        return true;
    if (entry != nullptr && entry->value == "false")
        return false;
    return fallback;
}

bool CMapProperties::getColour(const std::string& name, float& red, float& green, float& blue, float& alpha) const
{
    const Entry* entry = find(name);
    if (entry == nullptr)
        return false;
    const std::string& text = entry->value;
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#')
        return false;
    int bytes[4] = {255, 0, 0, 0};
    // Tiled writes alpha first: #AARRGGBB.
    const std::size_t count = (text.size() - 1) / 2;
    for (std::size_t i = 0; i < count; ++i) {
        const int high = hexDigit(text[1 + 2 * i]), low = hexDigit(text[2 + 2 * i]);
        if (high < 0 || low < 0)
            return false;
        bytes[i + 4 - count] = high * 16 + low;
    }
    alpha = float(bytes[0]) / 255.0f;
    red = float(bytes[1]) / 255.0f;
    green = float(bytes[2]) / 255.0f;
    blue = float(bytes[3]) / 255.0f;
    return true;
}

const std::vector<CMapProperties::Entry>& CMapProperties::getEntries() const
{
    return entries;
}

std::size_t CMapProperties::size() const
{
    return entries.size();
}

bool CMapProperties::empty() const
{
    return entries.empty();
}
