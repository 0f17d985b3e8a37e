// shader_gallery: the ten built-in shaders on one lit 3D scene, rolling hills and three spheres,
// seen through the engine's first-person camera. Keys 0 to 9 choose the shader, the mouse looks,
// the arrows or W, A, S, D walk, F12 saves the window to shader_gallery.png, Escape ends it.
// The scene is drawn into a render target, whose texture the 2D overlay shows under the name.
// The built-in shaders read the fixed-function state: light 0, the material (here glColor through
// GL_COLOR_MATERIAL), the normals and the texture on unit 0; shader 0 also wants its "colors" tint.
#include <GL/glew.h>  // for the uniform of shader 0; before any other OpenGL header
#include <GL/glu.h>
#include <SDL.h>

#include <engine/QuarlEngine.h>

#include <cmath>

namespace {

const char* const kNames[10] = {"Simple texture", "Flat colour", "Height field", "Directional light, per pixel",
                                "Directional light, per vertex", "Point light, per pixel", "Spot light, per pixel",
                                "Toon", "Directional light per vertex, textured",
                                "Directional light per pixel, textured"};

// The whole scene in one display list; every vertex has a normal and a texture coordinate.
GLuint buildScene()
{
    // The hills' height in [0, 1]: the height-field shader colours by the model's own y in [0, 1].
    const auto hill = [](float x, float z) { return 0.5f + 0.5f * std::sin(x * 0.15f) * std::cos(z * 0.2f); };
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glPushMatrix();
    glScalef(1.0f, 8.0f, 1.0f);  // 8 units high; OpenGL's normal matrix keeps the normals right
    glColor3f(0.5f, 0.75f, 0.4f);
    for (float z = -40; z < 40; z += 2) {
        glBegin(GL_TRIANGLE_STRIP);
        for (float x = -40; x <= 40; x += 2)
            for (float zz = z; zz <= z + 2; zz += 2) {
                const float h = hill(x, zz);  // the normal from the slopes of y = hill(x, z)
                glNormal3f((h - hill(x + 0.01f, zz)) / 0.01f, 1.0f, (h - hill(x, zz + 0.01f)) / 0.01f);
                glTexCoord2f(x / 8.0f, zz / 8.0f);
                glVertex3f(x, h, zz);
            }
        glEnd();
    }
    glPopMatrix();
    GLUquadric* sphere = gluNewQuadric();
    gluQuadricTexture(sphere, GL_TRUE);  // smooth normals come by default, texture coordinates not
    const float colours[3][3] = {{1.0f, 0.35f, 0.3f}, {0.9f, 0.9f, 0.9f}, {0.3f, 0.5f, 1.0f}};
    for (int i = 0; i < 3; ++i) {
        glPushMatrix();
        glTranslatef(16.0f * (i - 1), 14.0f, i == 1 ? -12.0f : -2.0f);
        glScalef(5.0f, 5.0f, 5.0f);  // a unit sphere: the height field ramps it from -1 to 1
        glColor3fv(colours[i]);
        gluSphere(sphere, 1.0, 32, 24);
        glPopMatrix();
    }
    gluDeleteQuadric(sphere);
    glEndList();
    return list;
}

// A grey checkerboard for the four shaders that read a texture.
GLuint makeChecker()
{
    unsigned char pixels[64 * 64 * 3];
    for (int i = 0; i < 64 * 64; ++i)
        pixels[3 * i] = pixels[3 * i + 1] = pixels[3 * i + 2] = ((i % 64) / 8 + i / 512) % 2 ? 255 : 190;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, 64, 64, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    return texture;
}

} // namespace

class ShaderGallery : public CApp {
public:
    void init() override
    {
        engine->setVideoMode(1024, 768, 24, false, false);  // windowed, 3D
        g_pGraphicsCore->setCaption("Quarl Engine - Shader gallery");
        g_pGraphicsCore->showCursor(false);  // the camera keeps the pointer at the window centre
        engine->setShowFPS(true);  // the camera walks by the frame time, measured only while shown
        g_pCamera->place(0, 22, 48, 0, 6, 0, 0, 1, 0);
        scene = buildScene();
        checker = makeChecker();
        target.create(1024, 768);  // on failure it logs why; the scene is then drawn to the window

        // Light 0 is white; add ambient light and a cone (spot shader) and a highlight to the material.
        const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1}, specular[4] = {0.6f, 0.6f, 0.6f, 1};
        glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
        glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 35.0f);
        glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
        glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
        glMaterialf(GL_FRONT, GL_SHININESS, 40.0f);
    }

    void run() override
    {
        for (;;) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            // The camera turns by the pointer's distance from the window centre: steer only once the
            // pointer is there, or the first frame turns by wherever the pointer happened to be.
            if (!steering) {
                SDL_WarpMouse(512, 384);
                steering = g_pEventManager->getMouseX() == 512 && g_pEventManager->getMouseY() == 384;
            }
            if (steering)
                g_pCamera->update();
            // begin() gives the target a 2D projection of its own size: put back the window's 3D one.
            const bool intoTarget = target.begin();
            if (intoTarget) {
                glMatrixMode(GL_PROJECTION);
                glLoadIdentity();
                gluPerspective(60.0, 1024.0 / 768.0, 1.0, 4000.0);
                glMatrixMode(GL_MODELVIEW);
            }
            drawScene();
            if (intoTarget)
                target.end();

            g_pGraphicsCore->begin2D();  // window pixels, over whatever the scene drew
            glDepthFunc(GL_ALWAYS);
            target.getTexture().draw(0, 0, 1, 0, 1, 1, 1, 1);  // upright: the texture knows its rows
            CFont* font = g_pFontManager->getFont(1);
            for (int shadow = 2; shadow >= 0; shadow -= 2) {  // white on a black shadow
                const float c = shadow ? 0.0f : 1.0f;
                font->printColoured(20 + shadow, 30 + shadow, 2, c, c, c, "%d: %s", current, kNames[current]);
                font->printColoured(20 + shadow, 740 + shadow, 0, c, c, c,
                                    "0-9 shader   mouse look   arrows/WASD walk   F12 screenshot   Escape quits");
            }
            g_pGraphicsCore->end2D();

            engine->update();  // the FPS caption, then the pointer, drawn over it
            if (saveShot)  // the back buffer: the whole frame, about to be shown
                g_pGraphicsCore->saveScreenshot("shader_gallery.png");
            saveShot = false;
            SDL_GL_SwapBuffers();
            if (!g_pEventManager->isEventPolled())  // one event per update; react to new ones only
                continue;
            if (g_pEventManager->isEventCode(CEventManager::CodeKeyDown)) {  // only then is it a key event
                const SDLKey key = g_pEventManager->getEvent().key.keysym.sym;
                if (key >= SDLK_0 && key <= SDLK_9)
                    current = key - SDLK_0;
                saveShot = key == SDLK_F12;  // in the next frame, once drawn
            }
            if (g_pEventManager->isKeyDown(SDLK_ESCAPE) || g_pEventManager->isEventCode(CEventManager::CodeQuit))
                return;
        }
    }

    void cleanUp() override { glDeleteLists(scene, 1); }
    void userHook1() override {}
    void userHook2() override {}

private:
    // The scene in the camera's view, into whatever is bound: the target or the window.
    void drawScene()
    {
        // update() leaves the 2D overlay's state behind: a black clear colour, depth test always.
        glClearColor(0.55f, 0.7f, 0.9f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDepthFunc(GL_LESS);
        glLoadIdentity();
        g_pCamera->look();

        // In world space, after look(). Shaders 5 and 6 light from the lamp toward `down`; the
        // others read the position as the direction the light comes from.
        const GLfloat sun[4] = {0.5f, 1.0f, 0.7f, 0.0f}, lamp[4] = {0, 26, 12, 1}, down[3] = {0, -26, -14};
        glLightfv(GL_LIGHT0, GL_POSITION, current == 5 || current == 6 ? lamp : sun);
        glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, down);

        CShader* shader = g_pShaderManager->getShader(current);  // owned by the shader manager
        shader->enable();
        if (current == 0)  // no tint
            glUniform4fARB(glGetUniformLocationARB(shader->getProgram(), "colors"), 1, 1, 1, 1);
        glBindTexture(GL_TEXTURE_2D, checker);
        glCallList(scene);
        shader->disable();
    }

    CRenderTarget target;  // the scene's picture; freed before the engine closes the window
    GLuint scene = 0, checker = 0;  // a display list and a texture
    int current = 3;  // the built-in shader shown
    bool steering = false;
    bool saveShot = false;  // F12 was pressed
};

int main(int, char*[])
{
    ShaderGallery app;
    app.init();
    app.run();
    app.cleanUp();
    return 0;
}
