// The one wording every JSON reader's failure lines use (atlas descriptors, tile maps), checked on
// the edges of its ranges: signed and unsigned, the largest numbers JSON can write, values of the
// wrong type, and the first failure winning over every later one.
#include "engine/core/JsonFields.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

using Json = nlohmann::json;

// The failure text of one whole-number read of value in [min, max], or "read N".
std::string readWhole(const std::string& value, int64_t min, int64_t max)
{
    const Json object = Json::parse("{\"w\":" + value + "}");
    CJsonFields fields;
    int64_t out = 7;
    if (!fields.whole(CJsonFields::find(object, "w"), "meta.size.w", true, min, max, out))
        return fields.error();
    return "read " + std::to_string(out);
}

TEST(JsonFields, WholeNumbersAreNamedWithOneWordingAtTheEdgesOfTheirRanges)
{
    struct Case {
        std::string value;
        int64_t min, max;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"1", 1, 65535, "read 1"},
        {"65535", 1, 65535, "read 65535"},
        {"0", 1, 65535, "meta.size.w is 0, less than 1"},
        {"65536", 1, 65535, "meta.size.w is larger than 65535"},
        {"-1", 0, 65535, "meta.size.w is negative"},
        {"-65536", -65536, 65536, "read -65536"},
        {"-65537", -65536, 65536, "meta.size.w is -65537, less than -65536"},
        {"-9223372036854775808", INT64_MIN, INT64_MAX, "read -9223372036854775808"},
        {"9223372036854775807", INT64_MIN, INT64_MAX, "read 9223372036854775807"},
        // Written without a minus sign, past what a signed 64-bit number holds.
        {"18446744073709551615", INT64_MIN, INT64_MAX, "meta.size.w is larger than 9223372036854775807"},
        {"2.0", 0, 10, "meta.size.w is not a whole number"},
        {"\"4\"", 0, 10, "meta.size.w is not a whole number"},
        {"true", 0, 10, "meta.size.w is not a whole number"},
        {"null", 0, 10, "meta.size.w is not a whole number"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, readWhole(c.value, c.min, c.max)) << c.value;

    // Counts reach 2^64 - 1 and are never negative.
    const Json object = Json::parse(R"({"big": 18446744073709551615, "minus": -1})");
    CJsonFields fields;
    uint64_t out = 0;
    EXPECT_TRUE(fields.count(CJsonFields::find(object, "big"), "big", true, 0, UINT64_MAX, out));
    EXPECT_EQ(UINT64_MAX, out);
    EXPECT_FALSE(fields.count(CJsonFields::find(object, "minus"), "frame: page", true, 0, UINT64_MAX, out));
    EXPECT_EQ("frame: page is negative", fields.error());
}

TEST(JsonFields, OtherTypesAbsentFieldsAndTheFirstFailure)
{
    const Json object = Json::parse(R"({"n": 1e31, "s": 3, "b": 1, "o": [], "a": {}, "f": -2.5})");
    struct Case {
        const char* key;
        std::string expected;
    };
    // Each read on a fresh reader, so that each reports its own failure.
    const std::vector<Case> cases = {
        {"n", "the map's n is not a number"},      {"s", "the map's s is not a string"},
        {"b", "the map's b is not true or false"}, {"o", "the map's o is not an object"},
        {"a", "the map's a is not an array"},      {"missing", "the map's missing is missing"}};
    for (const Case& c : cases) {
        CJsonFields fields;
        const Json* value = CJsonFields::find(object, c.key);
        const std::string name = std::string("the map's ") + c.key;
        float number = 0.0f;
        bool flag = false;
        std::string text;
        const bool read = c.key[0] == 'n'   ? fields.number(value, name, number)
                          : c.key[0] == 's' ? fields.text(value, name, false, text)
                          : c.key[0] == 'b' ? fields.flag(value, name, flag)
                          : c.key[0] == 'o' ? fields.object(value, name, true) != nullptr
                          : c.key[0] == 'a' ? fields.array(value, name, true) != nullptr
                                            : fields.text(value, name, true, text);
        EXPECT_FALSE(read) << c.key;
        EXPECT_EQ(c.expected, fields.error());
    }

    // An absent optional field leaves the value as it was; -2.5 is a number a float holds.
    CJsonFields fields;
    float number = 4.0f;
    int64_t whole = 9;
    EXPECT_TRUE(fields.number(CJsonFields::find(object, "absent"), "absent", number));
    EXPECT_TRUE(fields.whole(CJsonFields::find(object, "absent"), "absent", false, 0, 10, whole));
    EXPECT_EQ(4.0f, number);
    EXPECT_EQ(9, whole);
    EXPECT_TRUE(fields.number(CJsonFields::find(object, "f"), "f", number));
    EXPECT_EQ(-2.5f, number);
    EXPECT_EQ(nullptr, CJsonFields::find(Json::array(), "f"));  // no object, no member

    // After a failure, reads that would succeed return false and the first text stays.
    EXPECT_FALSE(fields.number(CJsonFields::find(object, "n"), "first", number));
    EXPECT_FALSE(fields.number(CJsonFields::find(object, "f"), "f", number));
    std::string text;
    EXPECT_FALSE(fields.text(CJsonFields::find(object, "s"), "second", false, text));
    EXPECT_EQ("first is not a number", fields.error());
    fields.clear();
    EXPECT_TRUE(fields.number(CJsonFields::find(object, "f"), "f", number));
}

}  // namespace
