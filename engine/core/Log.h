#ifndef ENGINE_CORE_LOG_H
#define ENGINE_CORE_LOG_H

#include <string>

// The engine's progress log: plain text on standard output, no levels, no time stamps.
// Every line end flushes, so a crash never swallows the last line and tests see each
// line as soon as it is written.
class CLog {
public:
    // Writes the text without a line end (start-up progress is completed by "done").
    static void write(const std::string& text);
    // Writes the text, a newline, and flushes.
    static void line(const std::string& text = std::string());
    // Same shape on standard error, for the few reports that go there.
    static void errorLine(const std::string& text);
};

#endif
