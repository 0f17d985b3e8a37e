#include "engine/core/Log.h"

#include <iostream>
#include <mutex>

namespace {

// Built on first use: an object constructed before main (a global texture) may log already.
// The engine logs from the main thread, but an application may redirect from another one; the
// lock keeps a half-replaced sink from being called.
struct Destination {
    std::mutex mutex;
    std::ostream* stream = &std::cout;
    CLog::Sink sink;
};

Destination& destination()
{
    static Destination instance;
    return instance;
}

void emit(const std::string& text, bool endLine)
{
    Destination& to = destination();
    CLog::Sink sink;
    {
        std::lock_guard<std::mutex> lock(to.mutex);
        if (!to.sink) {
            if (to.stream == nullptr)
                return;
            *to.stream << text;
            if (endLine)
                *to.stream << std::endl;
            return;
        }
        sink = to.sink;
    }
    // A copy, called without the lock: a sink may log itself (a second line, a warning) or change
    // the destination, which would otherwise wait forever for the lock it is called under.
    sink(endLine ? text + "\n" : text);
}

}  // namespace

void CLog::write(const std::string& text)
{
    emit(text, false);
}

void CLog::line(const std::string& text)
{
    emit(text, true);
}

void CLog::errorLine(const std::string& text)
{
    std::cerr << text << std::endl;
}

void CLog::setStream(std::ostream* stream)
{
    Destination& to = destination();
    std::lock_guard<std::mutex> lock(to.mutex);
    to.stream = stream;
}

void CLog::setSink(Sink function)
{
    Destination& to = destination();
    std::lock_guard<std::mutex> lock(to.mutex);
    to.sink = std::move(function);
}

void CLog::reset()
{
    Destination& to = destination();
    std::lock_guard<std::mutex> lock(to.mutex);
    to.stream = &std::cout;
    to.sink = nullptr;
}
