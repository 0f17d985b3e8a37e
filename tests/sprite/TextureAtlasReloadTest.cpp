// An atlas loaded again and again keeps one set of page textures: each load deletes the GL
// textures of the one before.
#include "engine/core/Registry.h"
#include "engine/sprite/AtlasRegion.h"
#include "engine/sprite/TextureAtlas.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// Two pages of 1024 by 1024 (4 MiB a level, about 5.3 MiB with the smaller levels), one frame each.
std::string writeAtlas(const std::string& dir)
{
    std::string frames;
    for (int page = 0; page < 2; ++page) {
        const std::string image = "page" + std::to_string(page) + ".png";
        writeSolidPng(dir + "/" + image, 1024, 1024, page == 0 ? "#ff0000" : "#0000ff");
        std::ofstream(dir + "/page" + std::to_string(page) + ".json")
            << R"({ "frames": { "whole": { "frame": { "x": 0, "y": 0, "w": 1024, "h": 1024 }, "rotated": false,)"
               R"( "trimmed": false, "spriteSourceSize": { "x": 0, "y": 0, "w": 1024, "h": 1024 },)"
               R"( "sourceSize": { "w": 1024, "h": 1024 } } },)"
               R"( "meta": { "image": ")"
            << image << R"(", "format": "RGBA8888", "size": { "w": 1024, "h": 1024 }, "scale": "1" } })";
    }
    return dir + "/page";
}

}  // namespace

// Twenty loads once added about 186 MiB: the old pages were destroyed, their GL textures never
// deleted.
TEST(TextureAtlasReload, TwentyLoadsKeepOnePageLiveAndNoGrowth)
{
    sharedEngine();
    const std::string stem = writeAtlas(makeTempDir());
    CStdoutCapture quiet;
    quiet.start();
    CTextureAtlas atlas;
    std::vector<unsigned> seen;
    resetPeak();
    const long before = peakKilobytes();
    for (int i = 0; i < 20; ++i) {
        // Alternating between two descriptors, as an editor saving its atlas would.
        ASSERT_TRUE(atlas.load(stem + std::to_string(i % 2) + ".json"));
        ASSERT_EQ(1u, atlas.getRegionCount());
        seen.push_back(atlas.getRegion(0)->texture->id);
    }
    const long grown = peakKilobytes() - before;
    quiet.lines();
    const unsigned current = atlas.getRegion(0)->texture->id;
    int oldLive = 0;
    for (unsigned name : seen)
        oldLive += name != current && glIsTexture(name) == GL_TRUE ? 1 : 0;
    EXPECT_EQ(0, oldLive);
    EXPECT_EQ(GL_TRUE, glIsTexture(current));
    // The first load alone takes some 10 MiB (its decoded image and its texture); twenty leaked
    // pages would take over 100.
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer holds freed memory back in quarantine: there the live names bound it.
    // What the driver and the allocator keep of freed images moves the peak by tens of MiB from
    // one run to the next; twenty reloads that leaked their two pages would add over 200 MiB.
    EXPECT_LT(grown, 100 * 1024) << "kilobytes";
#else
    (void)grown;
#endif
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}
