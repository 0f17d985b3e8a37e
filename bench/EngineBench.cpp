// One measurement of the engine's drawing paths, or of hand-written OpenGL beside them, as a
// process of its own; scripts/bench.sh runs it through bench_runner, interleaved with the peers.
//   engine_bench <mode> <quads or lines per frame> <seconds> [last frame file]
// Quad modes (the shared scene's quads; draw, batch and begin also as "<mode>-general", the quads
// rotated, scaled and off the pixel grid, sampled linearly):
//   draw      CTexture::draw per quad, in the engine's 2D state
//   twin      the calls CTexture::draw makes, written by hand, in the same state
//   batch     CSpriteBatch, one batch per frame
//   begin     one glBegin for all quads, by hand, in a window of its own with plain 2D state
//             (no depth or scissor test, nearest filtering), without the engine
// Text modes (the shared scene's lines, font 1):
//   print     CFont::print per line
//   calllists the calls of a print written by hand: the state once per frame, then per line the
//             matrix, shader 0 with "colors" and one glCallLists
//   textbatch CFont::addTo (a sprite batch) per line, one batch per frame
// TrueType text modes (the same lines in DejaVu Sans at 16 pixels, shaped and kerned):
//   ttprint    CFont::print per line
//   ttbatch    CFont::addTo (a sprite batch) per line, one batch per frame
//   ttretained a CText per line, laid out once, added to one batch per frame
//   width      prints "WIDTH <pixels>": the ink width of the first line at <count> pixels, no window loop
// Flame modes (<count> animated 128 by 192 flames, each frame stepping every flame's picture; also
// as "<mode>-general", turned, scaled and off the pixel grid, sampled linearly):
//   flames     CTextureAtlas::add of each flame's frame into one CSpriteBatch, from the trimmed
//              atlas make_atlas packs from Data/Flame at build time (QUARL_BENCH_FLAME_ATLAS)
//   flamebegin the same trimmed quads by hand: one glBegin, the atlas page, plain state
// Tile map modes (a <count> by <count> map of 32-pixel tiles in a 1280 by 720 window, scrolled by
// whole pixels every frame; the rate is in frames):
//   tilemap    CTileMap::draw of the view into one CSpriteBatch, the map written as a .tmx (CSV
//              layer) into a temporary folder at start and loaded from there
//   tilebegin  the visible tiles by hand: one glBegin, plain state, the view by glTranslatef
// The flame, tile map and by-hand modes print "DRAWCALLS <n>" for their last frame.
// Any engine mode also as "<mode>-nodepth": the engine's window opened without a depth buffer
// (CGraphicsCore::setDepthBits(0)), the 2D opt-in; without the suffix the default window, a depth
// buffer as deep as the colour.
//   startup    the time from main() to the first frame shown: the engine, its window (shaders and
//              font 1 loaded), one cleared frame swapped; the rate is in start-ups per second
// Built with QUARL_BENCH_BASELINE defined, against an earlier engine that has no depth choice, the
// "-nodepth" modes are refused: the regression figures compare such a build with this one.
#include "bench/BenchScene.h"

#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/shader/Shader.h"
#include "engine/shader/ShaderManager.h"
#include "engine/sprite/AtlasAnimation.h"
#include "engine/sprite/AtlasDescriptor.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/sprite/TextureAtlas.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/text/Text.h"
#include "engine/texture/Texture.h"
#include "engine/tilemap/TileMap.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef QUARL_BENCH_FLAME_ATLAS
#define QUARL_BENCH_FLAME_ATLAS "flame.json"
#endif

namespace {

using bench::Arguments;

// The mode asked for the 2D window without a depth buffer.
bool noDepth = false;
const std::chrono::steady_clock::time_point programStart = std::chrono::steady_clock::now();

// Opens the engine's window: the default one, or without a depth buffer when the mode asks.
bool openEngineWindow(CEngine& engine, int width, int height)
{
    if (noDepth) {
#ifdef QUARL_BENCH_BASELINE
        std::fprintf(stderr, "This engine has no depth choice.\n");
        return false;
#else
        g_pGraphicsCore->setDepthBits(0);
#endif
    }
    engine.setVideoMode(width, height, 24, false, true);
    return true;
}

// What the engine's frames clear: without a depth buffer only the colour.
GLbitfield clearMask()
{
    return noDepth ? GL_COLOR_BUFFER_BIT : GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;
}

float unit(uint8_t byte)
{
    return float(byte) / 255.0f;
}

void swapBuffers()
{
    SDL_GL_SwapBuffers();
    // Keep the X connection drained, as a game's event loop does.
    SDL_Event event;
    while (SDL_PollEvent(&event)) { }
}

bool readBack(const Arguments& args, int width = bench::kWindowWidth, int height = bench::kWindowHeight)
{
    std::vector<uint8_t> rgba(std::size_t(width) * height * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    if (!bench::writeFrame(args.framePath, rgba)) {
        std::fprintf(stderr, "Cannot write %s\n", args.framePath.c_str());
        return false;
    }
    return true;
}

// The calls CTexture::draw makes for an untransformed quad of the whole image, the uniform's
// look-up included.
void drawLikeTheEngine(GLuint id, GLhandleARB program, float x, float y, const uint8_t* tint)
{
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, id);
    glTranslatef(x, y, 0.0f);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glUseProgramObjectARB(program);
    glUniform4fARB(glGetUniformLocationARB(program, "colors"), unit(tint[0]), unit(tint[1]), unit(tint[2]),
                   unit(tint[3]));
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(32.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(32.0f, 32.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 32.0f);
    glEnd();
    glUseProgramObjectARB(0);
    glColor3f(1.0f, 1.0f, 1.0f);
    glPopMatrix();
}

// The by-hand programs' window: the plainest 2D state that draws the scenes.
bool openPlainWindow(int width, int height)
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return false;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (SDL_SetVideoMode(width, height, 24, SDL_OPENGL) == nullptr) {
        std::fprintf(stderr, "No window: %s\n", SDL_GetError());
        return false;
    }
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return true;
}

// An image file as a texture of its own bytes (RGBA, top row first), without the engine; 0 when it
// does not load.
GLuint uploadImage(const std::string& path, GLint filter, int& width, int& height)
{
    SDL_Surface* image = IMG_Load(path.c_str());
    if (image == nullptr) {
        std::fprintf(stderr, "Cannot load %s: %s\n", path.c_str(), SDL_GetError());
        return 0;
    }
    SDL_PixelFormat format = {};
    format.BitsPerPixel = 32;
    format.BytesPerPixel = 4;
    format.Rmask = SDL_SwapLE32(0x000000FFu);
    format.Gmask = SDL_SwapLE32(0x0000FF00u);
    format.Bmask = SDL_SwapLE32(0x00FF0000u);
    format.Amask = SDL_SwapLE32(0xFF000000u);
    for (Uint32 mask = format.Rmask; mask != 0 && !(mask & 1u); mask >>= 1)
        ++format.Rshift;
    for (Uint32 mask = format.Gmask; mask != 0 && !(mask & 1u); mask >>= 1)
        ++format.Gshift;
    for (Uint32 mask = format.Bmask; mask != 0 && !(mask & 1u); mask >>= 1)
        ++format.Bshift;
    for (Uint32 mask = format.Amask; mask != 0 && !(mask & 1u); mask >>= 1)
        ++format.Ashift;
    format.alpha = 255;
    SDL_Surface* rgba = SDL_ConvertSurface(image, &format, SDL_SWSURFACE);
    SDL_FreeSurface(image);
    if (rgba == nullptr)
        return 0;
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rgba->pitch / 4);
    SDL_LockSurface(rgba);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, rgba->w, rgba->h, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba->pixels);
    SDL_UnlockSurface(rgba);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    width = rgba->w;
    height = rgba->h;
    SDL_FreeSurface(rgba);
    return id;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The single-glBegin program: its own window and the plainest state that draws the scene.
int runSingleBegin(const Arguments& args, bool general)
{
    if (!openPlainWindow(bench::kWindowWidth, bench::kWindowHeight))
        return 1;
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    const GLint filter = general ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    const std::vector<uint8_t> pixels = bench::texturePixels();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, bench::kTextureSize, bench::kTextureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.data());

    std::vector<bench::Quad> quads;
    std::vector<bench::Placement> places;
    for (int i = 0; i < args.count; ++i) {
        quads.push_back(bench::quad(i));
        places.push_back(bench::placement(i, general));
    }
    static const float texels[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    bool wrote = true;
    bench::measure(
        args, args.count,
        [&] {
            glClear(GL_COLOR_BUFFER_BIT);
            glBegin(GL_QUADS);
            for (std::size_t i = 0; i < quads.size(); ++i) {
                float at[4][2];
                bench::corners(places[i], at);
                glColor4ubv(quads[i].tint);
                for (int c = 0; c < 4; ++c) {
                    glTexCoord2fv(texels[c]);
                    glVertex2fv(at[c]);
                }
            }
            glEnd();
        },
        swapBuffers, [&] { wrote = readBack(args); });
    SDL_Quit();
    return wrote && glGetError() == GL_NO_ERROR ? 0 : 1;
}

int runEngine(const Arguments& args, bool general)
{
    if (access("shaders/simpleTexture.vert", R_OK) != 0 || access("Data/Font/font.tga", R_OK) != 0) {
        std::fprintf(stderr, "Run from the repository root (Data/ and shaders/ are read there).\n");
        return 2;
    }
    std::unique_ptr<CEngine> engine(new CEngine());
    if (!openEngineWindow(*engine, bench::kWindowWidth, bench::kWindowHeight))
        return 2;

    std::vector<uint8_t> pixels = bench::texturePixels();
    SDL_Surface* image =
        SDL_CreateRGBSurfaceFrom(pixels.data(), bench::kTextureSize, bench::kTextureSize, 32,
                                 bench::kTextureSize * 4, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    CTexture texture;
    texture.upload(image);
    texture.shader = g_pShaderManager->getShader(0);
    const GLhandleARB program = texture.shader->getProgram();
    CFont* font = g_pFontManager->getFont(1);
    if (program == 0 || font == nullptr) {
        std::fprintf(stderr, "Shader 0 or font 1 did not load.\n");
        return 1;
    }
    const GLint colors = glGetUniformLocationARB(program, "colors");
    font->setColour(unit(bench::kTextColour[0]), unit(bench::kTextColour[1]), unit(bench::kTextColour[2]),
                    unit(bench::kTextColour[3]));

    std::vector<bench::Quad> quads;
    std::vector<bench::Placement> places;
    for (int i = 0; i < args.count; ++i) {
        quads.push_back(bench::quad(i));
        places.push_back(bench::placement(i, general));
    }
    CSpriteBatch batch;
    const std::string& mode = args.mode;
    const bool trueType = mode == "ttprint" || mode == "ttbatch" || mode == "ttretained" || mode == "width";
    const bool text = trueType || mode == "print" || mode == "calllists" || mode == "textbatch";
    CFont* sans = nullptr;
    std::vector<CText> retained;
    if (trueType) {
        sans = g_pFontManager->loadTrueTypeFont(bench::kSansPath, nullptr, mode == "width" ? args.count : 16);
        if (sans == nullptr)
            return 1;
        if (mode == "width") {
            std::printf("WIDTH %.1f\n", sans->measureText(bench::line(0), 0).x);
            return 0;
        }
        sans->setColour(unit(bench::kTextColour[0]), unit(bench::kTextColour[1]), unit(bench::kTextColour[2]),
                        unit(bench::kTextColour[3]));
        for (int i = 0; i < args.count; ++i) {
            retained.emplace_back(sans, bench::line(i), 16);
            retained.back().setPosition(float(bench::lineX(i)), float(bench::lineY(i)));
            retained.back().setColour(unit(bench::kTextColour[0]), unit(bench::kTextColour[1]),
                                      unit(bench::kTextColour[2]), unit(bench::kTextColour[3]));
        }
    }
    auto drawFrame = [&] {
        glClear(clearMask());
        if (mode == "draw") {
            for (std::size_t i = 0; i < quads.size(); ++i) {
                const bench::Quad& q = quads[i];
                const bench::Placement& p = places[i];
                texture.draw(p.x, p.y, p.scale, p.angle, unit(q.tint[0]), unit(q.tint[1]), unit(q.tint[2]),
                             unit(q.tint[3]));
            }
        } else if (mode == "twin") {
            for (const bench::Quad& q : quads)
                drawLikeTheEngine(texture.id, program, float(q.x), float(q.y), q.tint);
        } else if (mode == "batch") {
            batch.begin();
            for (std::size_t i = 0; i < quads.size(); ++i) {
                const bench::Quad& q = quads[i];
                const bench::Placement& p = places[i];
                batch.add(texture, p.x, p.y, p.scale, p.angle, unit(q.tint[0]), unit(q.tint[1]), unit(q.tint[2]),
                          unit(q.tint[3]));
            }
            batch.end();
        } else if (mode == "print") {
            for (int i = 0; i < args.count; ++i)
                font->print(bench::lineX(i), bench::lineY(i), 0, "%s", bench::line(i));
        } else if (mode == "textbatch") {
            batch.begin();
            for (int i = 0; i < args.count; ++i)
                font->addTo(batch, float(bench::lineX(i)), float(bench::lineY(i)), 0, bench::line(i));
            batch.end();
        } else if (mode == "ttprint") {
            for (int i = 0; i < args.count; ++i)
                sans->print(bench::lineX(i), bench::lineY(i), 0, "%s", bench::line(i));
        } else if (mode == "ttbatch") {
            batch.begin();
            for (int i = 0; i < args.count; ++i)
                sans->addTo(batch, float(bench::lineX(i)), float(bench::lineY(i)), 0, bench::line(i));
            batch.end();
        } else if (mode == "ttretained") {
            batch.begin();
            for (CText& line : retained)
                line.addTo(batch);
            batch.end();
        } else if (mode == "calllists") {
            GLint viewport[4];
            glGetIntegerv(GL_VIEWPORT, viewport);
            glDisable(GL_DEPTH_TEST);
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            glLoadIdentity();
            glOrtho(0.0, viewport[2], viewport[3], 0.0, -1.0, 1.0);
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glBindTexture(GL_TEXTURE_2D, font->glyphImage.textureName);
            glListBase(font->listBase - 32u);
            for (int i = 0; i < args.count; ++i) {
                glLoadIdentity();
                glTranslatef(float(bench::lineX(i)), float(bench::lineY(i)), 0.0f);
                glActiveTextureARB(GL_TEXTURE0_ARB);
                glUseProgramObjectARB(program);
                glUniform4fARB(colors, font->colourRed, font->colourGreen, font->colourBlue, font->colourAlpha);
                glCallLists(bench::kLineLength, GL_UNSIGNED_BYTE, bench::line(i));
                glUseProgramObjectARB(0);
            }
            glBindTexture(GL_TEXTURE_2D, 0);
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
            glEnable(GL_DEPTH_TEST);
        }
    };
    if (!(text || mode == "draw" || mode == "twin" || mode == "batch") || (general && (text || mode == "twin"))) {
        std::fprintf(stderr, "Unknown mode %s\n", mode.c_str());
        return 2;
    }
    bool wrote = true;
    bench::measure(args, text ? long(args.count) * bench::kLineLength : args.count, drawFrame, swapBuffers,
                   [&] { wrote = readBack(args); });
    return wrote && glGetError() == GL_NO_ERROR ? 0 : 1;
}

// The flames through the engine: the trimmed atlas make_atlas packed from Data/Flame, its frames in
// order by name (CAtlasAnimation::setFramesByPrefix), every flame's current frame added with
// CTextureAtlas::add to one batch, which lands it where the untrimmed picture would.
int runFlames(const Arguments& args, bool general)
{
    std::unique_ptr<CEngine> engine(new CEngine());
    if (!openEngineWindow(*engine, bench::kWindowWidth, bench::kWindowHeight))
        return 2;
    CTextureAtlas atlas(QUARL_BENCH_FLAME_ATLAS);
    CAtlasAnimation animation;
    if (!atlas.isLoaded() || !animation.setFramesByPrefix(atlas, "flame") ||
        animation.getFrameCount() != unsigned(bench::kFlameFrames)) {
        std::fprintf(stderr, "The flame atlas %s did not load with %d frames.\n", QUARL_BENCH_FLAME_ATLAS,
                     bench::kFlameFrames);
        return 1;
    }
    std::vector<const CAtlasRegion*> frames;
    for (int i = 0; i < bench::kFlameFrames; ++i)
        frames.push_back(animation.getFrame(unsigned(i)));
    const std::vector<bench::Flame> flames = bench::flames(args.count, general);
    CSpriteBatch batch;
    bench::Stepper stepper;
    std::size_t drawCalls = 0;
    bool wrote = true;
    bench::measure(
        args, args.count,
        [&] {
            glClear(clearMask());
            const long step = stepper.next();
            batch.begin();
            for (const bench::Flame& f : flames) {
                const bench::Placement& p = f.place;
                CTextureAtlas::add(batch, *frames[std::size_t(bench::flameFrame(f, step))], p.x, p.y, p.scale,
                                   p.angle, unit(f.tint[0]), unit(f.tint[1]), unit(f.tint[2]), unit(f.tint[3]));
            }
            batch.end();
            drawCalls = batch.getDrawCallCount();
        },
        swapBuffers, [&] { wrote = readBack(args); });
    std::printf("DRAWCALLS %zu\n", drawCalls);
    return wrote && glGetError() == GL_NO_ERROR ? 0 : 1;
}

// The same trimmed quads by hand: the atlas's descriptor read for the frames' places, its page as a
// texture of its own, one glBegin a frame in plain state.
int runHandFlames(const Arguments& args, bool general)
{
    if (!openPlainWindow(bench::kWindowWidth, bench::kWindowHeight))
        return 1;
    const std::string descriptorPath = QUARL_BENCH_FLAME_ATLAS;
    CAtlasDescriptor descriptor;
    if (!descriptor.parse(readText(descriptorPath)) || descriptor.getPages().size() != 1) {
        std::fprintf(stderr, "The flame atlas %s does not read as one page: %s\n", descriptorPath.c_str(),
                     descriptor.getError().c_str());
        return 1;
    }
    const std::string folder = descriptorPath.substr(0, descriptorPath.rfind('/') + 1);
    int pageWidth = 0, pageHeight = 0;
    const GLuint page = uploadImage(folder + descriptor.getPages()[0].image, general ? GL_LINEAR : GL_NEAREST,
                                    pageWidth, pageHeight);
    if (page == 0)
        return 1;
    std::vector<CAtlasDescriptor::Frame> frames;
    for (int i = 0; i < bench::kFlameFrames; ++i) {
        const std::size_t index = descriptor.findFrame("flame" + std::to_string(i + 1));
        if (index >= descriptor.getFrames().size())
            return 1;
        frames.push_back(descriptor.getFrames()[index]);
    }
    const std::vector<bench::Flame> flames = bench::flames(args.count, general);
    bench::Stepper stepper;
    bool wrote = true;
    bench::measure(
        args, args.count,
        [&] {
            glClear(GL_COLOR_BUFFER_BIT);
            const long step = stepper.next();
            glBegin(GL_QUADS);
            for (const bench::Flame& f : flames) {
                const CAtlasDescriptor::Frame& fr = frames[std::size_t(bench::flameFrame(f, step))];
                float at[4][2];
                bench::partCorners(f.place, float(fr.sourceWidth), float(fr.sourceHeight), float(fr.offsetX),
                                   float(fr.offsetY), float(fr.width), float(fr.height), at);
                const float s0 = float(fr.x) / float(pageWidth), s1 = float(fr.x + fr.width) / float(pageWidth);
                const float t0 = float(fr.y) / float(pageHeight), t1 = float(fr.y + fr.height) / float(pageHeight);
                const float texels[4][2] = {{s0, t0}, {s1, t0}, {s1, t1}, {s0, t1}};
                glColor4ubv(f.tint);
                for (int c = 0; c < 4; ++c) {
                    glTexCoord2fv(texels[c]);
                    glVertex2fv(at[c]);
                }
            }
            glEnd();
        },
        swapBuffers, [&] { wrote = readBack(args); });
    std::printf("DRAWCALLS 1\n");
    SDL_Quit();
    return wrote && glGetError() == GL_NO_ERROR ? 0 : 1;
}

// A count by count map of the scene's tiles as Tiled writes it: one CSV layer, the tileset embedded,
// its image named beside the map.
std::string tileMapText(int count, int imageWidth, int imageHeight)
{
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<map version=\"1.10\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" << count
        << "\" height=\"" << count << "\" tilewidth=\"" << bench::kTileSize << "\" tileheight=\""
        << bench::kTileSize << "\" infinite=\"0\">\n"
        << " <tileset firstgid=\"1\" name=\"tiles\" tilewidth=\"" << bench::kTileSize << "\" tileheight=\""
        << bench::kTileSize << "\" tilecount=\"" << bench::kTilesetTiles << "\" columns=\""
        << bench::kTilesetColumns << "\">\n"
        << "  <image source=\"tiles.png\" width=\"" << imageWidth << "\" height=\"" << imageHeight << "\"/>\n"
        << " </tileset>\n"
        << " <layer id=\"1\" name=\"ground\" width=\"" << count << "\" height=\"" << count << "\">\n"
        << "  <data encoding=\"csv\">\n";
    std::string row;
    for (int y = 0; y < count; ++y) {
        row.clear();
        for (int x = 0; x < count; ++x) {
            row += char('1' + bench::tileOf(x, y));
            if (x + 1 < count || y + 1 < count)
                row += ',';
        }
        out << row << '\n';
    }
    out << "</data>\n </layer>\n</map>\n";
    return out.str();
}

// The map through the engine: written into a temporary folder with a copy of the tileset image,
// loaded with CTileMap, and every frame the view's tiles added to one batch under a glTranslatef
// that scrolls by whole pixels.
int runTileMap(const Arguments& args)
{
    if (access(bench::kTilesetPath, R_OK) != 0) {
        std::fprintf(stderr, "Run from the repository root (%s is read there).\n", bench::kTilesetPath);
        return 2;
    }
    std::unique_ptr<CEngine> engine(new CEngine());
    if (!openEngineWindow(*engine, bench::kMapViewWidth, bench::kMapViewHeight))
        return 2;
    char folder[] = "/tmp/quarl_bench_map_XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    const std::string mapPath = std::string(folder) + "/map.tmx", imagePath = std::string(folder) + "/tiles.png";
    const std::string image = readText(bench::kTilesetPath);
    SDL_Surface* probe = IMG_Load(bench::kTilesetPath);
    const int imageWidth = probe ? probe->w : 0, imageHeight = probe ? probe->h : 0;
    if (probe != nullptr)
        SDL_FreeSurface(probe);
    {
        std::ofstream(imagePath, std::ios::binary) << image;
        std::ofstream(mapPath, std::ios::binary) << tileMapText(args.count, imageWidth, imageHeight);
    }
    CTileMap map;
    const bool loaded = map.load(mapPath);
    std::remove(mapPath.c_str());
    std::remove(imagePath.c_str());
    rmdir(folder);
    if (!loaded || map.getWidth() != args.count) {
        std::fprintf(stderr, "The generated map did not load.\n");
        return 1;
    }
    CSpriteBatch batch;
    bench::Stepper stepper;
    std::size_t drawCalls = 0;
    bool wrote = true;
    bench::measure(
        args, 1,
        [&] {
            glClear(clearMask());
            int x = 0, y = 0;
            bench::mapView(stepper.next(), args.count, x, y);
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            glTranslatef(-float(x), -float(y), 0.0f);
            batch.begin();
            map.draw(batch, float(x), float(y), float(bench::kMapViewWidth), float(bench::kMapViewHeight), 0);
            batch.end();
            glLoadIdentity();
            drawCalls = batch.getDrawCallCount();
        },
        swapBuffers, [&] { wrote = readBack(args, bench::kMapViewWidth, bench::kMapViewHeight); });
    std::printf("DRAWCALLS %zu\n", drawCalls);
    return wrote && glGetError() == GL_NO_ERROR ? 0 : 1;
}

// The visible tiles by hand: the cells the view reaches, one glBegin, the view by glTranslatef.
int runHandTiles(const Arguments& args)
{
    if (!openPlainWindow(bench::kMapViewWidth, bench::kMapViewHeight))
        return 1;
    int imageWidth = 0, imageHeight = 0;
    const GLuint tiles = uploadImage(bench::kTilesetPath, GL_NEAREST, imageWidth, imageHeight);
    if (tiles == 0)
        return 1;
    const float tileS = float(bench::kTileSize) / float(imageWidth),
                tileT = float(bench::kTileSize) / float(imageHeight);
    bench::Stepper stepper;
    bool wrote = true;
    bench::measure(
        args, 1,
        [&] {
            glClear(GL_COLOR_BUFFER_BIT);
            int x = 0, y = 0;
            bench::mapView(stepper.next(), args.count, x, y);
            glLoadIdentity();
            glTranslatef(-float(x), -float(y), 0.0f);
            const int columnEnd =
                std::min(args.count, (x + bench::kMapViewWidth + bench::kTileSize - 1) / bench::kTileSize);
            const int rowEnd =
                std::min(args.count, (y + bench::kMapViewHeight + bench::kTileSize - 1) / bench::kTileSize);
            glColor4ub(255, 255, 255, 255);
            glBegin(GL_QUADS);
            for (int row = y / bench::kTileSize; row < rowEnd; ++row) {
                for (int column = x / bench::kTileSize; column < columnEnd; ++column) {
                    const int tile = bench::tileOf(column, row);
                    const float s0 = float(tile % bench::kTilesetColumns) * tileS;
                    const float t0 = float(tile / bench::kTilesetColumns) * tileT;
                    const float left = float(column * bench::kTileSize), top = float(row * bench::kTileSize);
                    const float right = left + float(bench::kTileSize), bottom = top + float(bench::kTileSize);
                    glTexCoord2f(s0, t0);
                    glVertex2f(left, top);
                    glTexCoord2f(s0 + tileS, t0);
                    glVertex2f(right, top);
                    glTexCoord2f(s0 + tileS, t0 + tileT);
                    glVertex2f(right, bottom);
                    glTexCoord2f(s0, t0 + tileT);
                    glVertex2f(left, bottom);
                }
            }
            glEnd();
        },
        swapBuffers, [&] { wrote = readBack(args, bench::kMapViewWidth, bench::kMapViewHeight); });
    std::printf("DRAWCALLS 1\n");
    SDL_Quit();
    return wrote && glGetError() == GL_NO_ERROR ? 0 : 1;
}

// From main() to the first frame shown: the engine, its window, one cleared frame.
int runStartUp(const Arguments& args)
{
    std::unique_ptr<CEngine> engine(new CEngine());
    if (!openEngineWindow(*engine, bench::kWindowWidth, bench::kWindowHeight))
        return 2;
    glClear(clearMask());
    bool wrote = true;
    if (!args.framePath.empty())
        wrote = readBack(args);
    SDL_GL_SwapBuffers();
    glFinish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - programStart).count();
    std::printf("RESULT %.3f %ld 1 %.1f\n", 1.0 / seconds, bench::peakRssKiB(), bench::processCpuSeconds() * 1e6);
    return wrote && glGetError() == GL_NO_ERROR ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    Arguments args;
    if (!bench::parseArguments(argc, argv, args)) {
        std::fprintf(stderr, "Usage: %s <mode> <count> <seconds> [frame file]\n", argv[0]);
        return 2;
    }
    noDepth = bench::takeSuffix(args.mode, "-nodepth");
    if (args.mode == "startup")
        return runStartUp(args);
    const bool general = bench::takeGeneral(args.mode);
    if (noDepth && (args.mode == "begin" || args.mode == "flamebegin" || args.mode == "tilebegin")) {
        std::fprintf(stderr, "The by-hand modes open their own window: no -nodepth.\n");
        return 2;
    }
    if (args.mode == "begin")
        return runSingleBegin(args, general);
    if (args.mode == "flames" || args.mode == "flamebegin") {
        if (access("Data/Flame/flame1.png", R_OK) != 0 || access("shaders/simpleTexture.vert", R_OK) != 0) {
            std::fprintf(stderr, "Run from the repository root (Data/ and shaders/ are read there).\n");
            return 2;
        }
        return args.mode == "flames" ? runFlames(args, general) : runHandFlames(args, general);
    }
    if (!general && args.mode == "tilemap")
        return runTileMap(args);
    if (!general && args.mode == "tilebegin")
        return runHandTiles(args);
    return runEngine(args, general);
}
