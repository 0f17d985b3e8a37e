// Textures, TGA images and render targets that outlive their engine: each test makes its own
// engines (never the shared window), so the context generation moves as a program's would.
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/texture/RenderTarget.h"
#include "engine/texture/TGAImage.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

std::unique_ptr<CEngine> openEngine()
{
    CStdoutCapture quiet;
    quiet.start();
    std::unique_ptr<CEngine> engine(new CEngine());
    engine->setVideoMode(320, 240, 24, false, true);
    quiet.lines();
    return engine;
}

// Drawn 8 times its size at (40, 40) over opaque black; the window pixel at (48, 48).
Rgba drawnMiddle(CTexture& texture)
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    texture.draw(40.0f, 40.0f, 8.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    return readPixel(48, 48);
}

bool near(const Rgba& pixel, int r, int g, int b)
{
    return std::abs(pixel.r - r) <= 2 && std::abs(pixel.g - g) <= 2 && std::abs(pixel.b - b) <= 2;
}

}  // namespace

TEST(ContextLifetime, TheGenerationMovesWhenAWindowOpensAndWhenItCloses)
{
    const unsigned before = CGLStateScope::contextGeneration();
    CStdoutCapture quiet;
    quiet.start();
    std::unique_ptr<CEngine> engine(new CEngine());
    EXPECT_EQ(before, CGLStateScope::contextGeneration());
    engine->setVideoMode(320, 240, 24, false, true);
    EXPECT_EQ(before + 1, CGLStateScope::contextGeneration());
    // The same context: a resize and a second video mode keep every name.
    EXPECT_TRUE(g_pGraphicsCore->resizeWindow(300, 200));
    g_pGraphicsCore->setVideoMode(320, 240, 24, false, true);
    EXPECT_EQ(before + 1, CGLStateScope::contextGeneration());
    engine.reset();
    quiet.lines();
    EXPECT_EQ(before + 2, CGLStateScope::contextGeneration());
    EXPECT_FALSE(CGLStateScope::hasContext());
}

// Drawing a texture after its engine read the shader the shader manager had deleted (ASan:
// heap-use-after-free in CShader::getProgram), and deleting one after a new engine started deleted
// whatever the new context had given the same number.
TEST(ContextLifetime, WhatOutlivesItsEngineDrawsNothingAndLeavesTheNextEnginesNamesAlone)
{
    const std::string dir = makeTempDir();
    writeSolidPng(dir + "/red.png", 2, 2, "#ff0000");
    writeSolidPng(dir + "/green.png", 2, 2, "#00ff00");

    std::unique_ptr<CEngine> first = openEngine();
    CStdoutCapture quiet;
    quiet.start();
    std::unique_ptr<CTexture> texture(new CTexture(dir + "/red.png"));
    CTexture survivor(dir + "/red.png");
    std::unique_ptr<CTGAImage> image(new CTGAImage());
    const uint8_t pixel[4] = {255, 0, 0, 255};
    ASSERT_TRUE(image->loadPixels(1, 1, pixel));
    std::unique_ptr<CRenderTarget> target(new CRenderTarget(8, 8));
    quiet.lines();
    ASSERT_TRUE(texture->isLoaded());
    ASSERT_TRUE(target->isCreated());
    const std::vector<unsigned> oldNames = {texture->id, survivor.id, image->textureName, target->getTexture().id};
    first.reset();

    CStdoutCapture capture;
    capture.start();
    texture->draw(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    texture->draw(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);  // unloaded now: silent
    target->getTexture().draw(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_FALSE(target->begin());
    const std::string closed = ", Error: the OpenGL window it was made in has closed";
    EXPECT_EQ(std::vector<std::string>({"Failed to draw the texture: " + dir + "/red.png" + closed,
                                        "Failed to draw the texture: (made from pixels in memory)" + closed,
                                        "Failed to draw into the render target" + closed}),
              capture.lines());
    EXPECT_FALSE(texture->isLoaded());

    std::unique_ptr<CEngine> second = openEngine();
    quiet.start();
    // Enough textures that the new context hands out every number the old one had.
    std::vector<std::unique_ptr<CTexture>> greens;
    for (int i = 0; i < 12; ++i)
        greens.emplace_back(new CTexture(dir + "/green.png"));
    quiet.lines();
    std::vector<unsigned> newNames;
    for (const auto& green : greens)
        newNames.push_back(green->id);
    for (unsigned name : oldNames)
        ASSERT_NE(newNames.end(), std::find(newNames.begin(), newNames.end(), name)) << name;

    capture.start();
    texture.reset();
    survivor.unload();
    image->loadPixels(1, 1, pixel);  // replaces (releases) the first picture's name
    image.reset();
    target.reset();
    EXPECT_TRUE(capture.lines().empty());
    for (const auto& green : greens) {
        EXPECT_EQ(GL_TRUE, glIsTexture(green->id)) << green->id;
        EXPECT_TRUE(near(drawnMiddle(*green), 0, 255, 0));
    }
    // Made again, in this window, from its file.
    quiet.start();
    survivor.reload();
    quiet.lines();
    ASSERT_TRUE(survivor.isLoaded());
    EXPECT_TRUE(near(drawnMiddle(survivor), 255, 0, 0));
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    greens.clear();
    survivor.unload();
}

// Name 0 was "uploaded" and true returned.
TEST(ContextLifetime, APictureWithoutAWindowIsRefusedWithOneLine)
{
    ASSERT_FALSE(CGLStateScope::hasContext());
    const uint8_t pixel[4] = {1, 2, 3, 4};
    CTGAImage image;
    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(image.loadPixels(1, 1, pixel));
    EXPECT_EQ(std::vector<std::string>(
                  {"Could not upload the picture: no OpenGL window is open yet, call setVideoMode first"}),
              capture.lines());
    EXPECT_EQ(0u, image.textureName);
    EXPECT_EQ(nullptr, image.pixels);
}
