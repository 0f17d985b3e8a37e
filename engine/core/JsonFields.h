#ifndef ENGINE_CORE_JSONFIELDS_H
#define ENGINE_CORE_JSONFIELDS_H

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <string>

// Reads the fields of a parsed JSON file (an atlas descriptor, a tile map) with one wording for what
// is wrong with a field: the field's name as the caller gives it ("meta.size.w", "the map's width"),
// then "is missing", "is not a whole number", "is negative", "is 0, less than 1", "is larger than
// 65535", "is not a number", "is not true or false", "is not a string", "is not an object" or "is
// not an array". Keeps the first failure: once one has happened every read returns false, so that
// a chain of reads stops at it. A read given no value (the key was absent) leaves out as it is,
// and fails only when the field is required. Owns its failure text; points into no document.
class CJsonFields {
public:
    using Json = nlohmann::json;

    // object[key], or null when object has no such key (or is no object).
    static const Json* find(const Json& object, const char* key);

    // A whole number from min to max (max at least 0).
    bool whole(const Json* value, const std::string& name, bool required, int64_t min, int64_t max, int64_t& out);
    // The same for numbers up to 2^64 - 1.
    bool count(const Json* value, const std::string& name, bool required, uint64_t min, uint64_t max,
               uint64_t& out);
    // Any number of at most 1e30 either way, which a float holds.
    bool number(const Json* value, const std::string& name, float& out);
    bool flag(const Json* value, const std::string& name, bool& out);
    bool text(const Json* value, const std::string& name, bool required, std::string& out);
    // The value itself when it is an object (or an array); null otherwise, after a failure unless
    // it is absent and not required.
    const Json* object(const Json* value, const std::string& name, bool required);
    const Json* array(const Json* value, const std::string& name, bool required);

    // Keeps text unless a failure came first; returns false.
    bool fail(const std::string& text);
    // Empty while nothing has failed.
    const std::string& error() const;
    void clear();

private:
    bool present(const Json* value, const std::string& name, bool required);

    std::string firstError;
};

#endif
