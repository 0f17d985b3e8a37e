#ifndef ENGINE_CORE_LOGTEXT_H
#define ENGINE_CORE_LOGTEXT_H

#include <cstddef>
#include <string>

// How a name taken from a file or a caller goes into a log line. A control character (a newline
// above all) would split the line in two, and a name of megabytes would flood the log: control
// characters are shown as '?', and a quoted name is cut short with "..." before its closing quote.
// Owns nothing; any thread.
class CLogText {
public:
    // text in double quotes, cut after limit characters.
    static std::string quoted(const std::string& text, std::size_t limit);
    // text as it is, control characters replaced: for a whole line made of known texts and names.
    static std::string oneLine(const std::string& text);
};

#endif
