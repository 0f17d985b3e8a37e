#ifndef ENGINE_TILEMAP_MAPPROPERTIES_H
#define ENGINE_TILEMAP_MAPPROPERTIES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The custom properties Tiled attaches to a map, a layer, a tileset's tile or an object, in the
// file's order: a name, Tiled's type name ("string", "int", "float", "bool", "color", "file", or
// another such as "object" or "class") and the value as text. A file property holds its path
// resolved from the folder of the file that names it; a class property holds no value (Not yet:
// its members). The typed getters read the text and give the fallback when the property is missing
// or its text does not read as that type. Names are kept keyed beside the ordered list, so set() and
// the getters take the same time however many properties there are, and a map of n properties
// loads in time proportional to n. A plain value; owns its strings.
class CMapProperties {
public:
    struct Entry {
        std::string name;
        std::string type;
        std::string value;
    };

    // Replaces a property of the same name, else appends one.
    void set(const std::string& name, const std::string& type, const std::string& value);
    void clear();

    bool has(const std::string& name) const;
    // The value as written; empty when missing.
    std::string get(const std::string& name) const;
    // Tiled's type name; empty when missing.
    std::string getType(const std::string& name) const;
    int getInt(const std::string& name, int fallback = 0) const;
    float getFloat(const std::string& name, float fallback = 0.0f) const;
    // "true" or "false".
    bool getBool(const std::string& name, bool fallback = false) const;
    // "#AARRGGBB" or "#RRGGBB" (opaque), as fractions from 0 to 1. False, the outputs untouched,
    // when missing or not such a text.
    bool getColour(const std::string& name, float& red, float& green, float& blue, float& alpha) const;

    const std::vector<Entry>& getEntries() const;
    std::size_t size() const;
    bool empty() const;

    // How many times any property list in the process has compared two names, since the program
    // started: a measure for benchmarks and tests that lookups stay constant as lists grow.
    static uint64_t nameComparisons();

private:
    struct CountingEqual {
        bool operator()(const std::string& a, const std::string& b) const;
    };

    const Entry* find(const std::string& name) const;

    std::vector<Entry> entries;
    // Each name's position in entries.
    std::unordered_map<std::string, std::size_t, std::hash<std::string>, CountingEqual> positions;
};

#endif
