#include "engine/core/JsonFields.h"

#include <nlohmann/json.hpp>

#include <cmath>

const CJsonFields::Json* CJsonFields::find(const Json& object, const char* key)
{
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

bool CJsonFields::present(const Json* value, const std::string& name, bool required)
{
    if (value == nullptr && required)
        fail(name + " is missing");
    return value != nullptr && firstError.empty();
}

bool CJsonFields::whole(const Json* value, const std::string& name, bool required, int64_t min, int64_t max,
                        int64_t& out)
{
    if (!present(value, name, required))
        return firstError.empty();
    if (!value->is_number_integer())
        return fail(name + " is not a whole number");
    // The parser stores every number written without a minus sign as unsigned.
    if (value->is_number_unsigned()) {
        const uint64_t read = value->get<uint64_t>();
        if (min > 0 && read < uint64_t(min))
            return fail(name + " is " + std::to_string(read) + ", less than " + std::to_string(min));
        if (max < 0 || read > uint64_t(max))
            return fail(name + " is larger than " + std::to_string(max));
        out = int64_t(read);
        return true;
    }
    const int64_t read = value->get<int64_t>();
    if (read < min)
        return fail(read < 0 && min >= 0
                        ? name + " is negative"
                        : name + " is " + std::to_string(read) + ", less than " + std::to_string(min));
    if (read > max)
        return fail(name + " is larger than " + std::to_string(max));
    out = read;
    return true;
}

bool CJsonFields::count(const Json* value, const std::string& name, bool required, uint64_t min, uint64_t max,
                        uint64_t& out)
{
    if (!present(value, name, required))
        return firstError.empty();
    if (!value->is_number_integer())
        return fail(name + " is not a whole number");
    if (!value->is_number_unsigned())
        return fail(name + " is negative");
    const uint64_t read = value->get<uint64_t>();
    if (read < min)
        return fail(name + " is " + std::to_string(read) + ", less than " + std::to_string(min));
    if (read > max)
        return fail(name + " is larger than " + std::to_string(max));
    out = read;
    return true;
}

bool CJsonFields::number(const Json* value, const std::string& name, float& out)
{
    if (!present(value, name, false))
        return firstError.empty();
    if (!value->is_number() || !(std::fabs(value->get<double>()) <= 1e30))
        return fail(name + " is not a number");
    out = float(value->get<double>());
    return true;
}

bool CJsonFields::flag(const Json* value, const std::string& name, bool& out)
{
    if (!present(value, name, false))
        return firstError.empty();
    if (!value->is_boolean())
        return fail(name + " is not true or false");
    out = value->get<bool>();
    return true;
}

bool CJsonFields::text(const Json* value, const std::string& name, bool required, std::string& out)
{
    if (!present(value, name, required))
        return firstError.empty();
    if (!value->is_string())
        return fail(name + " is not a string");
    out = value->get<std::string>();
    return true;
}

const CJsonFields::Json* CJsonFields::object(const Json* value, const std::string& name, bool required)
{
    if (!present(value, name, required))
        return nullptr;
    if (!value->is_object()) {
        fail(name + " is not an object");
        return nullptr;
    }
    return value;
}

const CJsonFields::Json* CJsonFields::array(const Json* value, const std::string& name, bool required)
{
    if (!present(value, name, required))
        return nullptr;
    if (!value->is_array()) {
        fail(name + " is not an array");
        return nullptr;
    }
    return value;
}

bool CJsonFields::fail(const std::string& text)
{
    if (firstError.empty())
        firstError = text;
    return false;
}

const std::string& CJsonFields::error() const
{
    return firstError;
}

void CJsonFields::clear()
{
    firstError.clear();
}
