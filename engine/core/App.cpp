#include "engine/core/App.h"

#include "engine/core/Engine.h"
#include "engine/core/Log.h"

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
            CLog::errorLine(message);
        } catch (const std::exception& error) {
            CLog::errorLine(error.what());
        } catch (...) {
        }
    }
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
