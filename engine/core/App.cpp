#include "engine/core/App.h"

#include "engine/core/Engine.h"

#include <string>

CApp::CApp()
    : width(1024),
      height(768),
      bitsPerPixel(16),
      caption("Engine Demo"),
      flag(true),
      engine(nullptr)
{
    engine = new CEngine();
}

CApp::~CApp()
{
    if (engine != nullptr) {
        delete engine;
        engine = nullptr;
    }
}
