#include "engine/core/Engine.h"

#include "engine/Version.h"
#include "engine/audio/SoundManager.h"
#include "engine/camera/Camera.h"
#include "engine/camera/CameraManager.h"
#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/core/Utils.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/graphics/LogicalScreen.h"
#include "engine/gui/WindowManager.h"
#include "engine/input/EventManager.h"
#include "engine/shader/ShaderManager.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/texture/TextureManager.h"

#include <GL/glew.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>

namespace {

// glGetString answers null without a current context; never build a string from null.
std::string orEmpty(const char* text)
{
    return text ? std::string(text) : std::string();
}

template <typename T>
void destroy(T*& manager)
{
    if (manager != nullptr) {
        delete manager;
        manager = nullptr;
    }
}

}  // namespace

namespace {

// The engine alive in this program: the managers sit behind global pointers, so a second engine
// would take them over and leave the first one's pointing at freed managers.
const CEngine* liveEngine = nullptr;

// A shut-down or deleted engine has no managers to act on: one line instead of a null pointer
// followed. Reads nothing of the engine itself, which may be freed.
bool refusedWhenDown(const CEngine* engine, const char* what)
{
    if (CEngine::isUp(engine))
        return false;
    CLog::line(std::string("Cannot ") + what + ": the engine is shut down or deleted");
    return true;
}

// Window and event-thread failures travel as std::string and nothing catches them: print the text
// and end with status 1, rather than the runtime's abort (status 134, a core file, the text lost).
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
            CLog::errorLine("Error: the program ended on an exception of an unknown type");
        }
    }
    std::fflush(nullptr);
    std::_Exit(1);
}

}  // namespace

CEngine::CEngine()
    : showFPS(false),
      fpsInCaption(false),
      frameCap(0),
      deltaTime(0.0f),
      lastUpdate(),
      updatedBefore(false)
{
    // Installed here so that a game without CApp reports its failures the same way.
    std::set_terminate(reportUncaught);
    if (liveEngine != nullptr)
        throw std::string("Error: a CEngine already exists; a program has one engine (or one CApp) at a time");
    g_pGraphicsCore = nullptr;
    g_pTextureManager = nullptr;
    g_pWindowManager = nullptr;
    g_pEventManager = nullptr;
    g_pUtils = nullptr;
    g_pSoundManager = nullptr;
    g_pShaderManager = nullptr;
    g_pCamera = nullptr;
    g_pCameraManager = nullptr;
    g_pFontManager = nullptr;
    liveEngine = this;
    try {
        startUp();
    } catch (...) {
        // Never constructed, so never destroyed: another engine may be made.
        liveEngine = nullptr;
        throw;
    }
}

CEngine::~CEngine()
{
    shutDown();
    liveEngine = nullptr;
}

void CEngine::startUp()
{
    // Each step ends with "done": new throws rather than answering null, so no step can fail here.
    CLog::line();
    CLog::line("Quarl Engine version " QUARL_VERSION_STRING "...");
    CLog::line();

    CLog::write("Initialize Graphics Core...");
    g_pGraphicsCore = new CGraphicsCore();
    CLog::line("done");

    CLog::write("Initialize Texture Manager...");
    g_pTextureManager = new CTextureManager();
    CLog::line("done");

    CLog::write("Initialize Window Manager...");
    g_pWindowManager = new CWindowManager();
    CLog::line("done");

    CLog::write("Initialize Event Manager...");
    initEventThread();
    g_pEventManager = new CEventManager();
    CLog::line("done");

    CLog::write("Initialize Utils...");
    g_pUtils = new CUtils();
    CLog::line("done");

    // The sound, shader and camera managers are created before their progress text, so whatever
    // their constructors report ("Unable to open audio") stands on the line before.
    g_pSoundManager = new CSoundManager();
    CLog::write("Initialize Sound Manager...");
    CLog::line("done");

    g_pShaderManager = new CShaderManager();
    CLog::write("Initialize Shader Manager...");
    CLog::line("done");

    g_pCamera = new CCamera();
    CLog::write("Initialize the Camera...");
    CLog::line("done");

    CLog::write("Initialize the Camera Manager...");
    g_pCameraManager = new CCameraManager();
    CLog::line("done");

    CLog::write("Initialize the Font Manager...");
    g_pFontManager = new CFontManager();
    CLog::line("done");
}

void CEngine::shutDown()
{
    // The graphics core goes first and shuts SDL down; the managers after it must not need SDL video.
    destroy(g_pGraphicsCore);
    destroy(g_pFontManager);
    destroy(g_pUtils);
    destroy(g_pTextureManager);
    destroy(g_pWindowManager);
    destroy(g_pEventManager);
    destroy(g_pSoundManager);
    destroy(g_pShaderManager);
    destroy(g_pCamera);
    destroy(g_pCameraManager);
}

bool CEngine::isUp(const CEngine* engine)
{
    // The graphics core is made first, so it stands for the whole set.
    return engine != nullptr && engine == liveEngine && g_pGraphicsCore != nullptr;
}

void CEngine::initEventThread()
{
    if (SDL_InitSubSystem(SDL_INIT_EVENTTHREAD) != 0)
        throw std::string("Error: SDL Eventhread cannot not be initialized: ") + SDL_GetError();
}

void CEngine::setVideoMode(int width, int height, int bitsPerPixel, bool fullscreen, bool mode2D)
{
    if (refusedWhenDown(this, "open the window"))
        return;
    g_pGraphicsCore->setVideoMode(width, height, bitsPerPixel, fullscreen, mode2D);
    // SDL cleared every event filter when its video started.
    g_pEventManager->listen();

    CLog::line();
    CLog::line("Detected Video Card Vendor: " + orEmpty(g_pGraphicsCore->getVendor()));
    CLog::line("Detected Renderer: " + orEmpty(g_pGraphicsCore->getRenderer()));
    CLog::line("Detected OpenGL version: " + orEmpty(g_pGraphicsCore->getVersion()));

    // Shaders first: a font takes built-in shader 0 when it is built.
    g_pShaderManager->loadBuiltInShaders();
    g_pFontManager->loadFont("Data/Font/font.tga");
}

void CEngine::setDataFolder(const std::string& folder)
{
    CDataFiles::setFolder(folder);
}

void CEngine::setShowFPS(bool on)
{
    showFPS = on;
}

void CEngine::setShowFPSInCaption(bool on)
{
    fpsInCaption = on;
}

void CEngine::setVSync(bool on)
{
    if (refusedWhenDown(this, "set vertical sync"))
        return;
    g_pGraphicsCore->setVSync(on);
}

void CEngine::setFrameCap(int framesPerSecond)
{
    frameCap = framesPerSecond > 0 ? framesPerSecond : 0;
}

float CEngine::getDeltaTime() const
{
    return deltaTime;
}

void CEngine::update()
{
    // Before any member is read: this engine may already be deleted.
    if (refusedWhenDown(this, "update the engine"))
        return;
    const Clock::time_point start = Clock::now();
    if (updatedBefore)
        deltaTime = std::chrono::duration<float>(start - lastUpdate).count();
    lastUpdate = start;
    updatedBefore = true;

    g_pEventManager->update();
    g_pSoundManager->update();
    g_pGraphicsCore->set2DState();
    glLoadIdentity();
    g_pWindowManager->drawAll();
    // After the GUI, so that a cursor chosen by a window shows in the same frame.
    if (g_pGraphicsCore->hasCursor)
        g_pGraphicsCore->drawCursor();
    // The only place that runs the frame-rate counter: its frame time (which the camera reads)
    // is fresh only while the frame rate is shown, on screen or in the caption; getDeltaTime()
    // is the one every update refreshes.
    if (showFPS || fpsInCaption)
        g_pUtils->updateFPS();
    if (showFPS) {
        if (CFont* font = g_pFontManager->getFont(1))
            font->print(1, 1, 0, "Current FPS %d", g_pUtils->getFPS());
    }
    g_pCameraManager->apply();
    if (g_pGraphicsCore->is3D())
        g_pGraphicsCore->end2D();
    // A game drawn at its own size goes into the window now, before the screenshot reads it.
    CLogicalScreen& logicalScreen = g_pGraphicsCore->getLogicalScreen();
    logicalScreen.present();
    saveRequestedScreenshot();
    // Last, once the whole frame is drawn: the resize keeps that frame and shows it, so dragging a
    // corner never flashes a blank or half-drawn frame.
    followWindowResize();
    logicalScreen.resume();
    // Measured from this update's start, so the next one starts a whole frame later at the
    // earliest, and an idle game sleeps instead of spinning.
    if (frameCap > 0)
        std::this_thread::sleep_until(start + std::chrono::microseconds(1000000 / frameCap));
}

void CEngine::followWindowResize()
{
    // Among every event the update applied, which under CGameLoop is more than the last one.
    int width = 0;
    int height = 0;
    if (g_pEventManager->getResizeInUpdate(width, height))
        g_pGraphicsCore->resizeWindow(width, height);
}

void CEngine::requestScreenshot(const std::string& path)
{
    requestedScreenshot = path;
}

void CEngine::saveRequestedScreenshot()
{
    if (!requestedScreenshot.empty()) {
        g_pGraphicsCore->saveScreenshot(requestedScreenshot.c_str());
        requestedScreenshot.clear();
    }
    const char* path = std::getenv("QUARL_SCREENSHOT");
    if (g_pEventManager->isKeyPressedInUpdate(SDLK_PRINT) && path != nullptr && path[0] != '\0')
        g_pGraphicsCore->saveScreenshot(path);
}
