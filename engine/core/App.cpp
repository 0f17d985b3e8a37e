#include "engine/core/App.h"

#include "engine/core/Engine.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

// Window and event-thread failures travel as std::string and nobody catches them; print the text
// so that the user sees why the program ended before the runtime aborts it.
[[noreturn]] void reportUncaught()
{
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::string& message) {
            std::fprintf(stderr, "%s\n", message.c_str());
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
        } catch (...) {
        }
    }
    std::fflush(stderr);
    std::abort();
}

} // namespace

CApp::CApp()
    : width(1024),
      height(768),
      bitsPerPixel(16),
      caption("Engine Demo"),
      flag(true),
      engine(nullptr)
{
    std::set_terminate(reportUncaught);
    engine = new CEngine();
}

CApp::~CApp()
{
    if (engine != nullptr) {
        delete engine;
        engine = nullptr;
    }
}
