#ifndef ENGINE_CORE_UTILS_H
#define ENGINE_CORE_UTILS_H

#include "engine/core/BitmapImage.h"

// Frame-rate counter, immediate-mode debug shapes and BMP loading. The frame-rate counter runs in
// the engine's update while the frame rate is shown; once a second it appends " Current FPS: " and
// the count to the window title. Its running totals are shared by the whole program, so a second
// CUtils continues the same count. Owns nothing. Main thread only.
class CUtils {
public:
    CUtils();
    ~CUtils();

    // Counts a frame, measures the time since the previous call and, once more than a second has
    // passed since the last report, updates fps and the window title.
    void updateFPS();
    // Frames counted in the last completed interval of a little more than one second.
    int getFPS() const;
    // Seconds between the last two updateFPS() calls.
    float getFrameTime() const;
    // Replaces the frame time until the next updateFPS(): for applications that step time
    // themselves (a fixed step, a replay) and for tests of what the frame time drives.
    void setFrameTime(float seconds);
    // " Current FPS: <n>" of the last report.
    const char* getFPSText() const;

    // Debug shapes on the current model-view matrix, texturing switched off.
    void drawCube(float x, float y, float z);
    void drawGrid(float x, float y, float z);
    void drawQuad(float x, float y, float z);
    void drawAxes();

    // Loads a BMP into a mipmapped RGB texture (left bound). Logs "Loading Texture: " and the path;
    // on failure "Failed to load the image: ..." and returns 0, refusing before decoding while no
    // OpenGL window is open or when the header's size exceeds GL_MAX_TEXTURE_SIZE.
    unsigned int loadBMPTexture(const char* path);  // a GL texture name
    // A BMP file as bottom-up RGB pixels, or null (with a line on standard error).
    CBitmapImage* loadBMP(const char* path);
    void swapBytes(unsigned char* a, unsigned char* b);

private:
    int fps;
    float frameTime;
    char fpsText[20];
};

#endif
