// shader_gallery: the ten built-in shaders on one lit 3D scene, a ground and five spheres, seen
// through the engine's first-person camera. Keys 0 to 9 choose the shader, the mouse looks, the
// arrows or W, A, S, D walk, F12 saves the window to shader_gallery.png, Escape ends it. The window
// may be resized; the texture is made by tools/make_gallery_texture.py.
// The built-in shaders read the fixed-function state: light 0, the material (here glColor through
// GL_COLOR_MATERIAL), the normals and the texture on unit 0; shader 0 also wants its "colors" tint.
#include <GL/glew.h>  // for the uniform of shader 0; before any other OpenGL header
#include <GL/glu.h>

#include <engine/QuarlEngine.h>

#include <cstdio>

namespace {

const char* const kNames[10] = {"Simple texture",
                                "Flat colour",
                                "Height field",
                                "Directional light, per pixel",
                                "Directional light, per vertex",
                                "Point light, per pixel",
                                "Spot light, per pixel",
                                "Toon",
                                "Directional light per vertex, textured",
                                "Directional light per pixel, textured"};

// The scene in one display list, every vertex with a normal and a texture coordinate. The height
// field shader colours by the model's own y: 0 on the ground, -1 to 1 over a unit sphere.
GLuint buildScene()
{
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    GLUquadric* quadric = gluNewQuadric();
    gluQuadricTexture(quadric, GL_TRUE);  // smooth normals come by default, texture coordinates not
    glPushMatrix();
    glRotatef(-90, 1, 0, 0);  // GLU's disk lies in the x-y plane, facing +z
    glColor3f(0.5f, 0.75f, 0.4f);
    gluDisk(quadric, 0.0, 40.0, 48, 8);
    glPopMatrix();
    for (int i = 0; i < 5; ++i) {
        glPushMatrix();
        glTranslatef(12.0f * (i - 2), 5.0f + 3 * (i % 2), -4.0f * (i % 3));
        glScalef(5, 5, 5);
        glColor3f(i % 2 ? 0.9f : 1.0f, 0.3f + 0.15f * i, 1.0f - 0.2f * i);
        gluSphere(quadric, 1.0, 32, 24);
        glPopMatrix();
    }
    gluDeleteQuadric(quadric);
    glEndList();
    return list;
}

// A dark panel under a line of text, so that white text reads over the sky and the ground alike.
void panelUnder(CFont* font, int x, int y, signed char style, const char* text)
{
    const CVector2 size = font->measureText(text, style);
    g_pGraphicsCore->begin2D();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glColor4f(0.0f, 0.0f, 0.0f, 0.7f);
    glRectf(float(x - 8), float(y - 4), float(x) + size.x + 8, float(y) + size.y + 4);
    glPopAttrib();
    g_pGraphicsCore->end2D();
    font->printColoured(x, y, style, 1, 1, 1, "%s", text);
}

}  // namespace

int main()
{
    CEngine engine;
    g_pGraphicsCore->setResizable(true);
    engine.setVideoMode(1024, 768, 24, false, false);  // windowed, 3D
    engine.setShowFPS(true);  // the camera walks by the frame time, measured only while shown
    g_pGraphicsCore->setCaption("Quarl Engine - Shader gallery");
    g_pGraphicsCore->showCursor(false);  // the camera keeps the pointer at the window centre
    g_pCamera->centrePointer();          // from there, or the first frame turns by where it was
    g_pCamera->place(0, 22, 48, 0, 6, 0, 0, 1, 0);
    g_pCamera->setWalkingSpeed(20.0f);  // the scene is 80 units wide
    const GLuint scene = buildScene();
    CTexture texture("Data/Gallery/tiles.png");  // for the shaders that read a texture
    // Light 0 is white; add ambient light, and a cone for the spot shader.
    const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 35.0f);
    glEnable(GL_COLOR_MATERIAL);  // glColor sets the ambient and diffuse colours

    int current = 3;  // the built-in shader shown
    uint32_t lookWidth = g_pGraphicsCore->width, lookHeight = g_pGraphicsCore->height;
    CGameLoop(engine).run(
        [&](float) {
            for (int key = SDLK_0; key <= SDLK_9; ++key)
                current = g_pEventManager->isKeyPressed(key) ? key - SDLK_0 : current;  // the last
            if (g_pEventManager->isKeyPressed(SDLK_F12))
                engine.requestScreenshot("shader_gallery.png");  // the finished frame
        },
        [&](float) {
            // After a resize the pointer stands at the old centre: move it to the new one, or the
            // camera would turn by the difference.
            if (g_pGraphicsCore->width != lookWidth || g_pGraphicsCore->height != lookHeight) {
                lookWidth = g_pGraphicsCore->width;
                lookHeight = g_pGraphicsCore->height;
                g_pCamera->centrePointer();
            }
            g_pCamera->update();
            // The engine's update leaves the 2D overlay's state behind: a black clear colour, depth
            // test always.
            glClearColor(0.55f, 0.7f, 0.9f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glDepthFunc(GL_LESS);
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
            if (current == 2)  // a sphere's model y runs from -1 to 1: water at the bottom, snow on top
                glUniform1fARB(glGetUniformLocationARB(shader->getProgram(), "minHeight"), -1.0f);
            texture.bindToUnit(0);
            glDisable(GL_BLEND);  // the scene is opaque; the engine's 2D overlay blends again
            glCallList(scene);
            glEnable(GL_BLEND);
            shader->disable();
            CFont* font = g_pFontManager->getFont(1);
            char name[64];
            snprintf(name, sizeof name, "%d: %s", current, kNames[current]);
            panelUnder(font, 20, 30, 2, name);
            panelUnder(font, 20, int(g_pGraphicsCore->height) - 28, 0,
                       "0-9 shader   mouse look   arrows/WASD walk   F12 screenshot   Escape quits");
        });
    glDeleteLists(scene, 1);
}
