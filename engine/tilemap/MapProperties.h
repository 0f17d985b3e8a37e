#ifndef ENGINE_TILEMAP_MAPPROPERTIES_H
#define ENGINE_TILEMAP_MAPPROPERTIES_H

#include <cstddef>
#include <string>
#include <vector>

// The custom properties Tiled attaches to a map, a layer, a tileset's tile or an object, in the
// file's order: a name, Tiled's type name ("string", "int", "float", "bool", "color", "file", or
// another such as "object" or "class") and the value as text. A file property holds its path
// resolved from the folder of the file that names it; a class property holds no value (Not yet:
// its members). The typed getters read the text and give the fallback when the property is missing
// or its text does not read as that type. A plain value; owns its strings.
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

private:
    const Entry* find(const std::string& name) const;

    std::vector<Entry> entries;
};

#endif
