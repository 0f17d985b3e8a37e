#ifndef ENGINE_CORE_LOG_H
#define ENGINE_CORE_LOG_H

#include <functional>
#include <iosfwd>
#include <string>

// The engine's progress log: plain text on standard output, no levels, no time stamps.
// Every line end flushes, so a crash never swallows the last line and tests see each
// line as soon as it is written. An application may send the log elsewhere: to a stream of its
// own, to a function, or nowhere. The log points to that stream and never owns it.
class CLog {
public:
    // Receives the text exactly as it would have been written, line ends included.
    using Sink = std::function<void(const std::string& text)>;

    // Writes the text without a line end (start-up progress is completed by "done").
    static void write(const std::string& text);
    // Writes the text, a newline, and flushes.
    static void line(const std::string& text = std::string());
    // Same shape on standard error, for the few reports that go there.
    static void errorLine(const std::string& text);

    // Sends the log to the stream from now on; null silences it. The stream must outlive its use
    // here (set standard output back before destroying it).
    static void setStream(std::ostream* stream);
    // Sends the log to the function instead of any stream; an empty function restores the stream.
    // The function is called without the log's lock held, so it may log (and is then called again
    // with that text) or change the destination itself.
    static void setSink(Sink sink);
    // Standard output again, no sink: the default.
    static void reset();
};

#endif
