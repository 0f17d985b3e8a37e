// The one path from pixels to GL: surfaces of every layout SDL describes come out as the same
// bytes, and an upload sets what it is told and leaves the unpack alignment as it found it.
#include "engine/texture/PixelUpload.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace testing_support;

namespace {

// Six pixels of a 3 by 2 picture as red, green, blue, alpha; every channel 0 or 255 so that a
// 16-bit surface holds them exactly, and no two pixels alike so that a shear or flip shows.
const uint8_t kPicture[6][4] = {{255, 0, 0, 255},   {0, 255, 0, 255},   {0, 0, 255, 255},
                                {255, 255, 0, 255}, {0, 255, 255, 255}, {255, 0, 255, 255}};

struct Layout {
    const char* name;
    int bits;
    Uint32 r, g, b, a;
};

// Fills a 3 by 2 surface of the layout with the picture through SDL's own colour mapping (a
// palette of the six colours for 8 bits).
SDL_Surface* pictureIn(const Layout& layout)
{
    SDL_Surface* surface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 3, 2, layout.bits, layout.r, layout.g, layout.b, layout.a);
    if (layout.bits == 8) {
        SDL_Color colours[6];
        for (int i = 0; i < 6; ++i)
            colours[i] = SDL_Color{kPicture[i][0], kPicture[i][1], kPicture[i][2], 0};
        SDL_SetColors(surface, colours, 0, 6);
    }
    for (int i = 0; i < 6; ++i) {
        SDL_Rect pixel = {Sint16(i % 3), Sint16(i / 3), 1, 1};
        SDL_FillRect(surface, &pixel,
                     layout.bits == 8
                         ? Uint32(i)
                         : SDL_MapRGBA(surface->format, kPicture[i][0], kPicture[i][1], kPicture[i][2], 255));
    }
    return surface;
}

class PixelLayouts : public ::testing::TestWithParam<Layout> { };

}  // namespace

TEST_P(PixelLayouts, ConvertToTheSameRedGreenBlueAlphaBytes)
{
    SDL_Surface* surface = pictureIn(GetParam());
    ASSERT_NE(nullptr, surface);
    const std::vector<Uint8> bytes = CPixelUpload::convert(surface, 4, 1, false);
    SDL_FreeSurface(surface);
    ASSERT_EQ(24u, bytes.size());
    for (int i = 0; i < 6; ++i)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(kPicture[i][c], bytes[std::size_t(i) * 4 + c]) << "pixel " << i << " channel " << c;
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, PixelLayouts,
                         ::testing::Values(Layout{"palette8", 8, 0, 0, 0, 0},
                                           Layout{"rgb565", 16, 0xF800, 0x07E0, 0x001F, 0},
                                           Layout{"argb4444", 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
                                           Layout{"rgb24", 24, 0x0000FF, 0x00FF00, 0xFF0000, 0},
                                           Layout{"bgr24", 24, 0xFF0000, 0x00FF00, 0x0000FF, 0},
                                           Layout{"rgba32", 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
                                           Layout{"bgra32", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
                                           Layout{"xrgb32", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0}),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return std::string(info.param.name);
                         });

TEST(PixelConversion, PadsRowsPutsTheLastRowFirstAndClearsTheColourKey)
{
    SDL_Surface* surface = pictureIn(Layout{"rgb24", 24, 0x0000FF, 0x00FF00, 0xFF0000, 0});
    SDL_SetColorKey(surface, SDL_SRCCOLORKEY, SDL_MapRGB(surface->format, 0, 255, 0));
    // Three RGB pixels are 9 bytes, padded to 12; bottom-up, the picture's second row comes first.
    const std::vector<Uint8> rgb = CPixelUpload::convert(surface, 3, 4, true);
    ASSERT_EQ(24u, rgb.size());
    EXPECT_EQ((std::vector<Uint8>{255, 255, 0, 0, 255, 255, 255, 0, 255, 0, 0, 0}),
              std::vector<Uint8>(rgb.begin(), rgb.begin() + 12));
    EXPECT_EQ((std::vector<Uint8>{255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0}),
              std::vector<Uint8>(rgb.begin() + 12, rgb.end()));
    // With alpha, the keyed green pixel alone is transparent.
    const std::vector<Uint8> rgba = CPixelUpload::convert(surface, 4, 1, false);
    SDL_FreeSurface(surface);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(i == 1 ? 0 : 255, rgba[std::size_t(i) * 4 + 3]) << "pixel " << i;
}

TEST(PixelUploadToGL, UploadsTightRowsWithTheGivenSettingsAndRestoresTheAlignment)
{
    sharedEngine();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    std::vector<Uint8> tight;
    for (int i = 0; i < 6; ++i)
        tight.insert(tight.end(), kPicture[i], kPicture[i] + 3);
    const GLuint name =
        CPixelUpload::upload(CPixelUpload::Pixels{tight.data(), 3, 2, 3, 1},
                             CPixelUpload::Settings{GL_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE, false});
    ASSERT_NE(0u, name);
    GLint bound = 0, alignment = 0, minFilter = 0, wrap = 0, level1 = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
    EXPECT_EQ(GLint(name), bound);
    EXPECT_EQ(8, alignment);
    EXPECT_EQ(GL_NEAREST, minFilter);
    EXPECT_EQ(GL_CLAMP_TO_EDGE, wrap);

    std::vector<Uint8> back(18, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(tight, back);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
    EXPECT_EQ(0, level1) << "one level only without mipmaps";

    // Mipmapped: the levels below level 0 exist.
    const GLuint mipmapped = CPixelUpload::upload(CPixelUpload::Pixels{tight.data(), 3, 2, 3, 1},
                                                  CPixelUpload::Settings{GL_LINEAR, 0, 0, true});
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
    EXPECT_GT(level1, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glDeleteTextures(1, &name);
    glDeleteTextures(1, &mipmapped);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

// A row length, skips or an unpack buffer the application left set once made uploads read past the
// pixels; they are set aside for the upload and are as they were afterwards.
TEST(PixelUploadToGL, UnpackStateTheApplicationLeftIsNeitherFollowedNorChanged)
{
    sharedEngine();
    std::vector<Uint8> tight;
    for (int i = 0; i < 6; ++i)
        tight.insert(tight.end(), kPicture[i], kPicture[i] + 3);
    ASSERT_TRUE(GLEW_ARB_pixel_buffer_object);
    GLuint buffer = 0;
    glGenBuffersARB(1, &buffer);
    glBindBufferARB(GL_PIXEL_UNPACK_BUFFER_ARB, buffer);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 6);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 1);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 2);
    const GLuint name =
        CPixelUpload::upload(CPixelUpload::Pixels{tight.data(), 3, 2, 3, 1},
                             CPixelUpload::Settings{GL_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE, false});
    GLint rowLength = 0, skipRows = 0, bound = 0;
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_UNPACK_SKIP_ROWS, &skipRows);
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING_ARB, &bound);
    EXPECT_EQ(6, rowLength);
    EXPECT_EQ(1, skipRows);
    EXPECT_EQ(GLint(buffer), bound);
    glBindBufferARB(GL_PIXEL_UNPACK_BUFFER_ARB, 0);
    glDeleteBuffersARB(1, &buffer);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);

    std::vector<Uint8> back(18, 0);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    EXPECT_EQ(tight, back);
    glDeleteTextures(1, &name);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}
