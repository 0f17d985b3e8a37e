#ifndef ENGINE_CORE_UTILS_H
#define ENGINE_CORE_UTILS_H

#include "engine/core/BitmapImage.h"

// Frame-rate counter, immediate-mode debug shapes and BMP loading. The frame-rate counter runs in
// the engine's update while the frame rate is shown; once a second it appends " Current FPS: " and
// the count to the window title. Its running totals are shared by the whole program, so a second
// CUtils continues the same count. The debug shapes draw on the current model-view matrix and leave
// texturing switched off. Owns nothing. Main thread only.
class CUtils {
public:
    CUtils();
    ~CUtils();

    // Counts a frame, measures the time since the previous call and, once more than a second has
    // passed since the last report, updates getFPS() and the window title.
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

    // A cube two units wide centred on the point, each face its own colour.
    void drawCube(float x, float y, float z);
    // A grey grid of 60 by 60 unit squares on the horizontal (x, z) plane, centred on the point.
    void drawGrid(float x, float y, float z);
    // A green square two units wide, facing along z, centred one unit along z from the point.
    void drawQuad(float x, float y, float z);
    // Red, green and blue lines ten units long from the origin along x, y and z.
    void drawAxes();

    // Loads a BMP into a mipmapped RGB texture, left bound, and answers its GL texture name. Logs
    // "Loading Texture: " and the path; on failure "Failed to load the image: ..." and returns 0,
    // refusing before decoding while no OpenGL window is open or when the header's size exceeds
    // GL_MAX_TEXTURE_SIZE.
    unsigned int loadBMPTexture(const char* path);
    // A BMP file as bottom-up RGB pixels, or null (with a line on standard error). The caller frees
    // the record and its data (see CBitmapImage).
    CBitmapImage* loadBMP(const char* path);
    // Exchanges the two bytes.
    void swapBytes(unsigned char* a, unsigned char* b);

private:
    int fps;
    float frameTime;
    char fpsText[20];
};

#endif
