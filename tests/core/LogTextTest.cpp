// Names from files and callers as log lines show them: one line each, never a flood.
#include "engine/core/LogText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LogText, ControlCharactersBecomeQuestionMarksAndLongNamesAreCut)
{
    const std::string hostile = std::string("a\nb\rc\td") + char(0x7F) + char(0x1B) + "\xC3\xA9";
    // Bytes of UTF-8 (0x80 and up) stay: they are text, not control characters.
    EXPECT_EQ("\"a?b?c?d??\xC3\xA9\"", CLogText::quoted(hostile, 160));
    EXPECT_EQ("a?b?c?d??\xC3\xA9", CLogText::oneLine(hostile));
    EXPECT_EQ("a??b", CLogText::oneLine(std::string("a\n") + '\0' + "b"));

    // Exactly the limit is shown whole; one more is cut with "..." inside the quotes.
    const std::string sixtyFour(64, 'x');
    EXPECT_EQ("\"" + sixtyFour + "\"", CLogText::quoted(sixtyFour, 64));
    EXPECT_EQ("\"" + sixtyFour + "...\"", CLogText::quoted(sixtyFour + "y", 64));
    EXPECT_EQ("\"\"", CLogText::quoted("", 64));
    EXPECT_EQ("\"...\"", CLogText::quoted("ab", 0));
    // A line is never cut: its known parts must stay whole.
    EXPECT_EQ(std::string(100000, 'z'), CLogText::oneLine(std::string(100000, 'z')));
}

}  // namespace
