// Where the log goes: a sink, a stream, nowhere or standard output. The engine built here is the
// process's only one, so this file never uses the shared window.
#include "engine/core/Log.h"
#include "engine/core/Engine.h"
#include "tests/support/TestHarness.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using testing_support::CStdoutCapture;

// A sink that logs itself, as one that adds a warning would, waited forever for the log's lock.
TEST(LogDestination, ASinkMayLogAndChangeTheDestinationItself)
{
    std::vector<std::string> pieces;
    std::ostringstream stream;
    CLog::setSink([&pieces, &stream](const std::string& text) {
        pieces.push_back(text);
        if (text == "first\n") {
            CLog::line("from the sink");
            CLog::setStream(&stream);
            CLog::setSink(nullptr);
        }
    });
    CLog::line("first");
    CLog::line("then to the stream");
    CLog::reset();
    EXPECT_EQ((std::vector<std::string>{"first\n", "from the sink\n"}), pieces);
    EXPECT_EQ("then to the stream\n", stream.str());
}

TEST(LogDestination, ASinkOrAStreamTakesTheLinesAndNullSilencesThem)
{
    std::vector<std::string> pieces;
    CLog::setSink([&pieces](const std::string& text) { pieces.push_back(text); });
    CStdoutCapture capture;
    capture.start();
    {
        CEngine engine;
    }
    EXPECT_TRUE(capture.lines().empty()) << "the log still reached standard output";
    std::string joined;
    for (const std::string& piece : pieces)
        joined += piece;
    std::vector<std::string> expected;
    for (const std::string& line : testing_support::startUpLines())
        expected.push_back(line);
    EXPECT_EQ(expected, testing_support::splitLines(joined));
    EXPECT_EQ("Initialize Graphics Core...", pieces[3]) << "pieces arrive as written";

    CLog::setSink(nullptr);
    std::ostringstream stream;
    CLog::setStream(&stream);
    CLog::line("to the stream");
    CLog::setStream(nullptr);
    capture.start();
    CLog::line("to nowhere");
    CLog::reset();
    CLog::line("to standard output");
    EXPECT_EQ((std::vector<std::string>{"to standard output"}), capture.lines());
    EXPECT_EQ("to the stream\n", stream.str());
}
