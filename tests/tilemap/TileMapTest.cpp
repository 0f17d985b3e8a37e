// Tiled maps written by the test in every layer encoding, TMX and TMJ, with external tilesets,
// drawn in the real window and read back: flip flags, the pixels of CTexture::drawRegion, only the
// visible tiles, one draw call per tileset, animation under a fake clock; the data a game reads;
// and one failure line for each kind of bad file; what a map may cost, measured as name comparisons
// and peak memory, never as time. Then the corpus of tests/data/tilemap/ (written
// by make_tilemap_corpus.py with the pictures Tiled shows, computed there): colour keys, odd image
// sizes in every PNG colour type, margins and spacing, older files, a tileset larger than its
// image, and drawing between pixels and scaled without bleeding.
#include "engine/tilemap/TileMap.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/texture/Texture.h"
#include "engine/texture/TextureManager.h"
#include "engine/tilemap/MapProperties.h"
#include "engine/tilemap/TileMapData.h"
#include "engine/tilemap/TileMapReader.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// The tileset image: 32 by 32 texels, four 16 by 16 tiles, every texel a different colour.
const int kImage = 32;
const int kTile = 16;

Rgba texel(int x, int y)
{
    return Rgba{Uint8(16 + x * 7), Uint8(16 + y * 7), Uint8((x * 5 + y * 11) % 200 + 40), 255};
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

void writeTilesetImage(const std::string& path)
{
    SDL_Surface* surface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, kImage, kImage, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
    for (int y = 0; y < kImage; ++y)
        for (int x = 0; x < kImage; ++x) {
            Uint8* p = static_cast<Uint8*>(surface->pixels) + y * surface->pitch + x * 3;
            const Rgba c = texel(x, y);
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    SDL_SaveBMP(surface, path.c_str());
    SDL_FreeSurface(surface);
}

std::string base64(const std::vector<unsigned char>& bytes)
{
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = uint32_t(bytes[i]) << 16;
        n |= i + 1 < bytes.size() ? uint32_t(bytes[i + 1]) << 8 : 0;
        n |= i + 2 < bytes.size() ? uint32_t(bytes[i + 2]) : 0;
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

std::vector<unsigned char> littleEndian(const std::vector<uint32_t>& gids)
{
    std::vector<unsigned char> bytes;
    for (uint32_t gid : gids)
        for (int k = 0; k < 4; ++k)
            bytes.push_back((unsigned char)(gid >> (8 * k)));
    return bytes;
}

// zlib's own deflate: windowBits 15 writes a zlib stream, 31 a gzip one.
std::vector<unsigned char> deflated(const std::vector<unsigned char>& bytes, int windowBits)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> out(deflateBound(&stream, uLong(bytes.size())) + 32);
    stream.next_in = const_cast<Bytef*>(bytes.data());
    stream.avail_in = uInt(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string csv(const std::vector<uint32_t>& gids)
{
    std::string out;
    for (std::size_t i = 0; i < gids.size(); ++i)
        out += std::to_string(gids[i]) + (i + 1 < gids.size() ? "," : "");
    return out;
}

// The embedded tileset every map here uses: the image's tiles from gid first, four of 16 pixels
// unless another size is given.
std::string tilesetXml(int first, const std::string& image, const std::string& inside = "", int tileSize = kTile)
{
    const int columns = kImage / tileSize;
    return "<tileset firstgid=\"" + std::to_string(first) + "\" name=\"pattern\" tilewidth=\"" +
           std::to_string(tileSize) + "\" tileheight=\"" + std::to_string(tileSize) + "\" tilecount=\"" +
           std::to_string(columns * columns) + "\" columns=\"" + std::to_string(columns) + "\">" +
           "<image source=\"" + image + "\" width=\"32\" height=\"32\"/>" + inside + "</tileset>";
}

std::string tmx(int width, int height, const std::string& inside, int tileSize = kTile)
{
    return "<?xml version=\"1.0\"?><map version=\"1.10\" orientation=\"orthogonal\" width=\"" +
           std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" tilewidth=\"" +
           std::to_string(tileSize) + "\" tileheight=\"" + std::to_string(tileSize) + "\">" + inside + "</map>";
}

std::string csvLayer(int width, int height, const std::vector<uint32_t>& gids, const std::string& name = "Ground")
{
    return "<layer id=\"1\" name=\"" + name + "\" width=\"" + std::to_string(width) + "\" height=\"" +
           std::to_string(height) + "\"><data encoding=\"csv\">" + csv(gids) + "</data></layer>";
}

Uint32 fakeNow = 0;

Uint32 fakeClock()
{
    return fakeNow;
}

class TileMaps : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sharedEngine();
        dir = makeTempDir();
        writeTilesetImage(dir + "/tiles.bmp");
        writeTilesetImage(dir + "/tiles2.bmp");
    }

    void SetUp() override
    {
        g_pGraphicsCore->set2DState();
        glLoadIdentity();
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override
    {
        CTileMap::setClock(nullptr);
        glLoadIdentity();
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    // Writes the map and loads it, without its progress lines.
    static void load(CTileMap& map, const std::string& name, const std::string& text)
    {
        writeFile(dir + "/" + name, text);
        CStdoutCapture quiet;
        quiet.start();
        map.load(dir + "/" + name);
        quiet.lines();
    }

    static std::string dir;
};

std::string TileMaps::dir;

bool sameRgb(Rgba a, Rgba b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

TEST_F(TileMaps, EveryLayerEncodingGivesTheSameIdsWithTheirFlags)
{
    const std::vector<uint32_t> gids = {1,
                                        2,
                                        0,
                                        3 | kTileFlipHorizontal,
                                        4 | kTileFlipVertical,
                                        1 | kTileFlipDiagonal,
                                        2,
                                        2,
                                        0,
                                        3,
                                        4,
                                        1 | kTileFlipHorizontal | kTileFlipVertical | kTileFlipDiagonal};
    const std::vector<unsigned char> bytes = littleEndian(gids);
    auto layer = [](const std::string& dataAttributes, const std::string& text) {
        return tmx(4, 3,
                   tilesetXml(1, "tiles.bmp") + "<layer name=\"L\" width=\"4\" height=\"3\"><data" +
                       dataAttributes + ">" + text + "</data></layer>");
    };
    std::string elements;
    for (uint32_t gid : gids)
        elements += "<tile gid=\"" + std::to_string(gid) + "\"/>";
    auto json = [&](const std::string& data) {
        return "{\"type\":\"map\",\"orientation\":\"orthogonal\",\"width\":4,\"height\":3,"
               "\"tilewidth\":16,"
               "\"tileheight\":16,\"tilesets\":[{\"firstgid\":1,\"name\":\"pattern\",\"tilewidth\":"
               "16,"
               "\"tileheight\":16,\"tilecount\":4,\"columns\":2,\"image\":\"tiles.bmp\","
               "\"imagewidth\":32,"
               "\"imageheight\":32}],\"layers\":[{\"type\":\"tilelayer\",\"name\":\"L\",\"width\":"
               "4,"
               "\"height\":3," +
               data + "}]}";
    };
    const std::vector<std::pair<std::string, std::string>> files = {
        {"csv.tmx", layer(" encoding=\"csv\"", "\n" + csv(gids) + ",\n")},
        {"base64.tmx", layer(" encoding=\"base64\"", "\n   " + base64(bytes) + "\n  ")},
        {"zlib.tmx", layer(" encoding=\"base64\" compression=\"zlib\"", base64(deflated(bytes, 15)))},
        {"gzip.tmx", layer(" encoding=\"base64\" compression=\"gzip\"", base64(deflated(bytes, 31)))},
        {"elements.tmx", layer("", elements)},
        {"array.tmj", json("\"data\":[" + csv(gids) + "]")},
        {"zlib.tmj", json("\"encoding\":\"base64\",\"compression\":\"zlib\",\"data\":\"" +
                          base64(deflated(bytes, 15)) + "\"")},
        {"gzip.tmj", json("\"encoding\":\"base64\",\"compression\":\"gzip\",\"data\":\"" +
                          base64(deflated(bytes, 31)) + "\"")},
    };
    for (const auto& file : files) {
        CTileMap map;
        ASSERT_TRUE(map.parse(file.second, file.first)) << file.first;
        ASSERT_EQ(1u, map.getTileLayers().size()) << file.first;
        EXPECT_EQ(gids, map.getTileLayers()[0].gids) << file.first;
    }
}

TEST_F(TileMaps, FlipFlagsMirrorAndTurnTheTileAsTiledDoes)
{
    // Tile 4 (the image's bottom-right quarter) with each combination of flags, one per cell. What
    // each cell must show, as the texel of the unflipped tile at (u, v) for window offset (x, y).
    struct Case {
        uint32_t flags;
        int (*u)(int x, int y);
        int (*v)(int x, int y);
    };
    const int n = kTile - 1;
    static const Case cases[] = {
        {0, [](int x, int) { return x; }, [](int, int y) { return y; }},
        {kTileFlipHorizontal, [](int x, int) { return 15 - x; }, [](int, int y) { return y; }},
        {kTileFlipVertical, [](int x, int) { return x; }, [](int, int y) { return 15 - y; }},
        // Both mirrors: half a turn.
        {kTileFlipHorizontal | kTileFlipVertical, [](int x, int) { return 15 - x; },
         [](int, int y) { return 15 - y; }},
        // The axes swapped: mirrored across the diagonal from the top-left corner.
        {kTileFlipDiagonal, [](int, int y) { return y; }, [](int x, int) { return x; }},
        // A quarter turn clockwise, as Tiled's rotate button writes it.
        {kTileFlipDiagonal | kTileFlipHorizontal, [](int, int y) { return y; }, [](int x, int) { return 15 - x; }},
        // A quarter turn anticlockwise.
        {kTileFlipDiagonal | kTileFlipVertical, [](int, int y) { return 15 - y; }, [](int x, int) { return x; }},
        // Mirrored across the other diagonal.
        {kTileFlipDiagonal | kTileFlipHorizontal | kTileFlipVertical, [](int, int y) { return 15 - y; },
         [](int x, int) { return 15 - x; }},
    };
    std::vector<uint32_t> gids;
    for (const Case& c : cases)
        gids.push_back(4 | c.flags);
    CTileMap map;
    load(map, "flips.tmx", tmx(8, 1, tilesetXml(1, "tiles.bmp") + csvLayer(8, 1, gids)));
    ASSERT_TRUE(map.isLoaded());
    map.draw();
    for (int cell = 0; cell < 8; ++cell)
        for (int y = 0; y <= n; ++y)
            for (int x = 0; x <= n; ++x) {
                const Rgba expected = texel(kTile + cases[cell].u(x, y), kTile + cases[cell].v(x, y));
                ASSERT_TRUE(sameRgb(expected, readPixel(cell * kTile + x, y)))
                    << "cell " << cell << " at (" << x << ", " << y << ")";
            }
}

TEST_F(TileMaps, TilesDrawThePixelsOfDrawRegionAtWholeAndFractionalOffsets)
{
    const std::vector<uint32_t> gids = {1, 2, 3, 4, 4, 3, 2, 1, 2, 4, 1, 3};
    CTileMap map;
    load(map, "pixels.tmx", tmx(4, 3, tilesetXml(1, "tiles.bmp") + csvLayer(4, 3, gids)));
    CStdoutCapture quiet;
    quiet.start();
    CTexture texture(dir + "/tiles.bmp");
    quiet.lines();
    // The default inset leaves whole pixels alone; between pixels drawRegion's regions are those
    // without it (the inset's own case is NoNeighbourBleedsInBetweenPixelsOrScaled).
    const struct {
        float shift, inset;
    } cases[] = {{0.0f, 0.5f}, {0.5f, 0.0f}};
    for (const auto& c : cases) {
        glLoadIdentity();
        glTranslatef(200.0f + c.shift, 100.0f + c.shift * 0.5f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        for (std::size_t i = 0; i < gids.size(); ++i) {
            const float left = float((gids[i] - 1) % 2) * 0.5f, top = 1.0f - float((gids[i] - 1) / 2) * 0.5f;
            texture.drawRegion(float(i % 4) * kTile, float(i / 4) * kTile,
                               CTextureRegion{top, left + 0.5f, top - 0.5f, left}, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f,
                               1.0f);
        }
        const std::vector<unsigned char> expected = readWindowRgb(GL_BACK);
        glClear(GL_COLOR_BUFFER_BIT);
        map.setTexelInset(c.inset);
        map.draw();
        const std::vector<unsigned char> drawn = readWindowRgb(GL_BACK);
        long differing = 0, lit = 0;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            differing += std::abs(int(expected[i]) - int(drawn[i])) > 1;
            lit += expected[i] != 0;
        }
        EXPECT_GT(lit, 4 * 3 * kTile * kTile) << "shift " << c.shift;
        EXPECT_EQ(0, differing) << "shift " << c.shift << ", inset " << c.inset;
    }
}

TEST_F(TileMaps, OnlyTilesReachingTheViewAreAddedInOneDrawCallPerTileset)
{
    // 300 by 200 cells of 4 pixels; even columns from one tileset, odd ones from the other.
    std::vector<uint32_t> gids(300 * 200);
    for (std::size_t i = 0; i < gids.size(); ++i)
        gids[i] = i % 2 == 0 ? 1 : 65;
    CTileMap map;
    load(map, "wide.tmx",
         tmx(300, 200,
             tilesetXml(1, "tiles.bmp", "", 4) + tilesetXml(65, "tiles2.bmp", "", 4) + csvLayer(300, 200, gids),
             4));
    ASSERT_EQ(2u, map.getTilesets().size());
    CSpriteBatch batch;
    batch.begin();
    // Pixels 6 to 15 across reach cells 1 to 3, pixels 6 to 14 down reach rows 1 to 3.
    map.draw(batch, 6.0f, 6.0f, 10.0f, 9.0f);
    EXPECT_EQ(9u, batch.getQuadCount());
    batch.end();
    EXPECT_EQ(2u, batch.getDrawCallCount());

    // The 2D camera's scroll (a translation of the model-view matrix): 1024 by 768 pixels from
    // (100, 40) reach cells 25 to 280 and rows 10 to the last, 199.
    glTranslatef(-100.0f, -40.0f, 0.0f);
    batch.begin();
    map.draw(batch);
    EXPECT_EQ(256u * 190u, batch.getQuadCount());
    batch.end();
    EXPECT_EQ(2u, batch.getDrawCallCount());
}

TEST_F(TileMaps, ExternalTilesetsLoadFromTmxAndTmj)
{
    // The tileset files live in their own folder and name the image from there.
    std::filesystem::create_directories(dir + "/sets");
    writeFile(dir + "/sets/pattern.tsx",
              "<?xml version=\"1.0\"?><tileset name=\"pattern\" tilewidth=\"16\" tileheight=\"16\" "
              "tilecount=\"4\" columns=\"2\"><image source=\"../tiles.bmp\" width=\"32\" height=\"32\"/>"
              "</tileset>");
    writeFile(dir + "/sets/pattern.tsj",
              "{\"type\":\"tileset\",\"name\":\"pattern\",\"tilewidth\":16,\"tileheight\":16,"
              "\"tilecount\":4,"
              "\"columns\":2,\"image\":\"../tiles.bmp\",\"imagewidth\":32,\"imageheight\":32}");
    CTileMap fromXml, fromJson;
    load(fromXml, "external.tmx",
         tmx(2, 1, "<tileset firstgid=\"1\" source=\"sets/pattern.tsx\"/>" + csvLayer(2, 1, {2, 3})));
    load(fromJson, "external.tmj",
         "{\"type\":\"map\",\"orientation\":\"orthogonal\",\"width\":2,\"height\":1,\"tilewidth\":"
         "16,"
         "\"tileheight\":16,\"tilesets\":[{\"firstgid\":1,\"source\":\"sets/pattern.tsj\"}],"
         "\"layers\":[{\"type\":\"tilelayer\",\"name\":\"Ground\",\"width\":2,\"height\":1,"
         "\"data\":[2,3]}]}");
    for (CTileMap* map : {&fromXml, &fromJson}) {
        ASSERT_TRUE(map->isLoaded());
        ASSERT_EQ(1u, map->getTilesets().size());
        EXPECT_EQ(dir + "/sets/../tiles.bmp", map->getTilesets()[0].image);
        glClear(GL_COLOR_BUFFER_BIT);
        map->draw();
        // Tile 2 is the image's top-right quarter, tile 3 its bottom-left.
        EXPECT_TRUE(sameRgb(texel(kTile + 5, 7), readPixel(5, 7)));
        EXPECT_TRUE(sameRgb(texel(5, kTile + 7), readPixel(kTile + 5, 7)));
    }
    EXPECT_EQ(dir + "/sets/pattern.tsx", fromXml.getTilesets()[0].source);
}

TEST_F(TileMaps, ObjectsAndPropertiesAreKeptForTheGame)
{
    const std::string properties = "<properties><property name=\"title\" value=\"Cave\"/><property "
                                   "name=\"level\" type=\"int\" value=\"3\"/>"
                                   "<property name=\"gravity\" type=\"float\" "
                                   "value=\"9.5\"/><property name=\"dark\" type=\"bool\" "
                                   "value=\"true\"/><property name=\"tint\" type=\"color\" "
                                   "value=\"#80ff0000\"/><property name=\"music\" "
                                   "type=\"file\" value=\"sounds/cave.ogg\"/></properties>";
    const std::string tileData = "<tile id=\"1\" type=\"wall\"><properties><property name=\"solid\" type=\"bool\" "
                                 "value=\"true\"/></properties></tile>";
    const std::string objects =
        "<group name=\"G\" offsetx=\"10\" offsety=\"20\" opacity=\"0.5\"><objectgroup id=\"3\" "
        "name=\"Things\" "
        "offsetx=\"1\"><properties><property name=\"spawn\" type=\"bool\" "
        "value=\"false\"/></properties>"
        "<object id=\"7\" name=\"door\" type=\"exit\" x=\"32.5\" y=\"16\" width=\"16\" "
        "height=\"8\" rotation=\"90\">"
        "<properties><property name=\"to\" value=\"level2.tmx\"/></properties></object>"
        "<object id=\"8\" name=\"start\" x=\"4\" y=\"5\"><point/></object>"
        "<object id=\"9\" gid=\"2147483650\" x=\"0\" y=\"16\" width=\"16\" "
        "height=\"16\"/></objectgroup></group>";
    CTileMap map;
    ASSERT_TRUE(
        map.parse(tmx(2, 1, properties + tilesetXml(1, "tiles.bmp", tileData) + csvLayer(2, 1, {1, 2}) + objects),
                  dir + "/props.tmx"));
    EXPECT_EQ("Cave", map.getProperty("title"));
    EXPECT_EQ(3, map.getProperties().getInt("level"));
    EXPECT_FLOAT_EQ(9.5f, map.getProperties().getFloat("gravity"));
    EXPECT_TRUE(map.getProperties().getBool("dark"));
    float r = 0, g = 0, b = 0, a = 0;
    EXPECT_TRUE(map.getProperties().getColour("tint", r, g, b, a));
    EXPECT_FLOAT_EQ(1.0f, r);
    EXPECT_NEAR(0.5f, a, 0.01f);
    EXPECT_EQ(dir + "/sounds/cave.ogg", map.getProperty("music"));
    EXPECT_EQ(7, map.getProperties().getInt("title", 7));
    const CTilesetTile* tile = map.findTile(2 | kTileFlipVertical);
    ASSERT_NE(nullptr, tile);
    EXPECT_EQ("wall", tile->type);
    EXPECT_TRUE(tile->properties.getBool("solid"));
    EXPECT_EQ(nullptr, map.findTile(1));

    const CObjectLayer* layer = map.findObjectLayer("Things");
    ASSERT_NE(nullptr, layer);
    EXPECT_FLOAT_EQ(11.0f, layer->offsetX);
    EXPECT_FLOAT_EQ(20.0f, layer->offsetY);
    EXPECT_FLOAT_EQ(0.5f, layer->opacity);
    EXPECT_FALSE(layer->properties.getBool("spawn", true));
    ASSERT_EQ(3u, layer->objects.size());
    const CMapObject& door = layer->objects[0];
    EXPECT_EQ(7, door.id);
    EXPECT_EQ("door", door.name);
    EXPECT_EQ("exit", door.type);
    EXPECT_FLOAT_EQ(32.5f, door.x);
    EXPECT_FLOAT_EQ(8.0f, door.height);
    EXPECT_FLOAT_EQ(90.0f, door.rotation);
    EXPECT_EQ("level2.tmx", door.properties.get("to"));
    EXPECT_TRUE(layer->objects[1].point);
    EXPECT_FALSE(door.point);
    EXPECT_EQ(2u | kTileFlipHorizontal, layer->objects[2].gid);

    // JSON's typed values come out as the same text.
    CTileMap json;
    ASSERT_TRUE(
        json.parse("{\"type\":\"map\",\"orientation\":\"orthogonal\",\"width\":1,\"height\":1,\"tilewidth\":"
                   "16,\"tileheight\":16,\"properties\":[{\"name\":\"level\",\"type\":\"int\",\"value\":3},"
                   "{\"name\":\"gravity\",\"type\":\"float\",\"value\":9.5},{\"name\":\"dark\",\"type\":"
                   "\"bool\",\"value\":true}],\"layers\":[{\"type\":\"objectgroup\",\"name\":\"Things\","
                   "\"objects\":[{\"id\":4,\"class\":\"exit\",\"x\":1.5,\"y\":2,\"point\":true}]}]}",
                   "props.tmj"));
    EXPECT_EQ("3", json.getProperty("level"));
    EXPECT_FLOAT_EQ(9.5f, json.getProperties().getFloat("gravity"));
    EXPECT_EQ("true", json.getProperty("dark"));
    ASSERT_NE(nullptr, json.findObjectLayer("Things"));
    EXPECT_EQ("exit", json.findObjectLayer("Things")->objects[0].type);
    EXPECT_TRUE(json.findObjectLayer("Things")->objects[0].point);
}

TEST_F(TileMaps, AnimatedTilesShowTheFrameOfTheInjectedClock)
{
    // Tile 1 shows tile 2 for 100 ms, tile 3 for 50 ms, tile 4 for 25 ms, and starts again.
    const std::string animation =
        "<tile id=\"0\"><animation><frame tileid=\"1\" duration=\"100\"/><frame "
        "tileid=\"2\" duration=\"50\"/><frame tileid=\"3\" duration=\"25\"/></animation></tile>";
    CTileMap map;
    load(map, "animated.tmx", tmx(1, 1, tilesetXml(1, "tiles.bmp", animation) + csvLayer(1, 1, {1})));
    ASSERT_TRUE(map.isLoaded());
    CTileMap::setClock(fakeClock);
    const Rgba tile2 = texel(kTile, 0), tile3 = texel(0, kTile), tile4 = texel(kTile, kTile);
    const std::vector<std::pair<Uint32, Rgba>> steps = {
        {0, tile2},   {99, tile2},  {100, tile3}, {149, tile3},
        {150, tile4}, {174, tile4}, {175, tile2}, {175 * 1000 + 120, tile3}};
    for (const auto& step : steps) {
        fakeNow = step.first;
        glClear(GL_COLOR_BUFFER_BIT);
        map.draw();
        EXPECT_TRUE(sameRgb(step.second, readPixel(0, 0))) << "at " << step.first << " ms";
    }
    // An explicit time wins over the clock.
    CSpriteBatch batch;
    batch.begin();
    map.draw(batch, 0.0f, 0.0f, 16.0f, 16.0f, 160);
    glClear(GL_COLOR_BUFFER_BIT);
    batch.end();
    EXPECT_TRUE(sameRgb(tile4, readPixel(0, 0)));
}

TEST_F(TileMaps, BadFilesWriteOneLineNamingTheFileAndLeaveTheMapEmpty)
{
    const std::string tileset = tilesetXml(1, "tiles.bmp");
    const std::vector<unsigned char> zeros(1 << 20);
    const std::vector<unsigned char> sixteenIds = littleEndian(std::vector<uint32_t>(16, 1));
    std::vector<unsigned char> cut = deflated(sixteenIds, 31);
    cut.resize(cut.size() / 2);
    auto base64Layer = [&](const std::string& compression, const std::string& text) {
        return tmx(4, 4,
                   tileset +
                       "<layer name=\"L\" width=\"4\" height=\"4\"><data encoding=\"base64\" "
                       "compression=\"" +
                       compression + "\">" + text + "</data></layer>");
    };
    struct Case {
        std::string name, text, error;
    };
    const std::vector<Case> cases = {
        {"absent.tmx", "", "the file does not exist"},
        {"garbage.tmx", "<map", "the map is not valid XML (Error parsing start element tag at byte 3)"},
        {"nowidth.tmx", "<map orientation=\"orthogonal\" height=\"2\" tilewidth=\"16\" tileheight=\"16\"/>",
         "the map's width is missing"},
        {"textwidth.tmx",
         "<map orientation=\"orthogonal\" width=\"four\" height=\"2\" tilewidth=\"16\" "
         "tileheight=\"16\"/>",
         "the map's width \"four\" is not a whole number"},
        {"stringwidth.tmj",
         "{\"orientation\":\"orthogonal\",\"width\":\"4\",\"height\":4,\"tilewidth\":16,"
         "\"tileheight\":16,\"layers\":[]}",
         "the map's width is not a whole number"},
        {"iso.tmx",
         "<map orientation=\"isometric\" width=\"2\" height=\"2\" tilewidth=\"16\" "
         "tileheight=\"16\"/>",
         "the map is \"isometric\"; only orthogonal maps are supported"},
        {"huge.tmx", tmx(100000, 100000, ""), "the map's 100000 x 100000 tiles are more than 16777216"},
        {"wide.tmx", tmx(65536, 1, "", 65536), "the map's size in pixels overflows"},
        {"short.tmx",
         tmx(4, 4,
             tileset + "<layer name=\"Ground\" width=\"4\" height=\"4\"><data encoding=\"csv\">" +
                 csv(std::vector<uint32_t>(12, 1)) + "</data></layer>"),
         "layer \"Ground\" has 12 tile ids for its 16 cells"},
        {"bomb.tmx", base64Layer("zlib", base64(deflated(zeros, 15))),
         "layer \"L\"'s zlib data inflates past the 64 bytes its cells hold"},
        {"cut.tmx", base64Layer("gzip", base64(cut)), "layer \"L\"'s gzip data is cut short"},
        {"notbase64.tmx", base64Layer("", "AAAA*AAA"), "layer \"L\"'s data is not valid base64"},
        {"chunks.tmx",
         tmx(4, 4,
             tileset + "<layer name=\"L\" width=\"4\" height=\"4\"><data encoding=\"csv\">"
                       "<chunk x=\"0\" y=\"0\" width=\"4\" height=\"4\">1</chunk></data></layer>"),
         "layer \"L\" is made of chunks (infinite maps are not supported)"},
        {"collection.tmx",
         tmx(1, 1,
             "<tileset firstgid=\"1\" name=\"c\" tilewidth=\"16\" tileheight=\"16\" "
             "tilecount=\"1\">"
             "<tile id=\"0\"><image source=\"a.png\"/></tile></tileset>"),
         "tileset \"c\" has no image (tilesets of single images are not supported)"},
        {"notileset.tmx", tmx(1, 1, "<tileset firstgid=\"1\" source=\"missing.tsx\"/>"),
         "the tileset \"" + dir + "/missing.tsx\" does not exist"},
        {"noimage.tmx", tmx(1, 1, tilesetXml(1, "missing.png") + csvLayer(1, 1, {1})),
         "the image \"" + dir + "/missing.png\" of tileset \"pattern\" does not exist"},
        {"badtrans.tmx",
         tmx(1, 1,
             "<tileset firstgid=\"1\" name=\"k\" tilewidth=\"16\" tileheight=\"16\"><image "
             "source=\"tiles.bmp\" trans=\"red\"/></tileset>"),
         "tileset \"k\"'s image trans \"red\" is not a colour (six hex digits)"},
        {"badtrans.tmj",
         "{\"orientation\":\"orthogonal\",\"width\":1,\"height\":1,\"tilewidth\":16,\"tileheight\":16,"
         "\"tilesets\":[{\"firstgid\":1,\"name\":\"k\",\"image\":\"tiles.bmp\",\"transparentcolor\":"
         "\"#ff00f\"}],\"layers\":[]}",
         "tileset \"k\"'s transparentcolor \"#ff00f\" is not a colour (six hex digits)"},
        {"badtypes.tmj",
         "{\"orientation\":\"orthogonal\",\"width\":1,\"height\":1,\"tilewidth\":16,\"tileheight\":16,"
         "\"properties\":{\"a\":1},\"propertytypes\":[\"int\"],\"layers\":[]}",
         "the map's propertytypes is not an object"},
    };
    for (const Case& c : cases) {
        if (c.name != "absent.tmx")
            writeFile(dir + "/" + c.name, c.text);
        const std::string path = dir + "/" + c.name;
        CStdoutCapture capture;
        capture.start();
        CTileMap map(path);
        const std::vector<std::string> expected = {"Loading Tile Map: " + path,
                                                   "Failed to load the tile map: " + path + ", Error: " + c.error};
        EXPECT_EQ(expected, capture.lines());
        EXPECT_FALSE(map.isLoaded()) << c.name;
        EXPECT_EQ(0, map.getWidth()) << c.name;
        CSpriteBatch batch;
        batch.begin();
        map.draw(batch, 0.0f, 0.0f, 1024.0f, 768.0f);
        EXPECT_EQ(0u, batch.getQuadCount()) << c.name;
        batch.end();
    }

    // Ids past every tileset are skipped with one line for all of them; the rest of the map draws.
    CStdoutCapture capture;
    capture.start();
    CTileMap map;
    writeFile(dir + "/unknown.tmx", tmx(4, 1, tileset + csvLayer(4, 1, {99, 1, 5 | kTileFlipHorizontal, 77})));
    map.load(dir + "/unknown.tmx");
    std::vector<std::string> skipped;
    for (const std::string& line : capture.lines())
        if (line.compare(0, 8, "Skipped ") == 0)
            skipped.push_back(line);
    EXPECT_EQ(std::vector<std::string>{"Skipped tiles in the tile map: " + dir +
                                       "/unknown.tmx, Error: 3 tile ids no tileset holds (the first 99 in "
                                       "layer \"Ground\")"},
              skipped);
    EXPECT_TRUE(map.isLoaded());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 0, 0}), map.getTileLayers()[0].gids);
}

// ---- The corpus of tests/data/tilemap/ ----

const std::string kCorpus = "tests/data/tilemap/";
const int kPad = 16;  // clear pixels around each expected picture, as the generator writes them
const Rgba kClear = {30, 50, 70, 255};

struct ExpectedPicture {
    std::string map;
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // top-down rows
};

std::vector<ExpectedPicture> expectedPictures()
{
    std::vector<ExpectedPicture> pictures;
    std::ifstream list(kCorpus + "expected.txt");
    ExpectedPicture picture;
    while (list >> picture.map >> picture.width >> picture.height) {
        std::ifstream in(kCorpus + picture.map + ".expected.rgb", std::ios::binary);
        picture.rgb.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        pictures.push_back(picture);
    }
    return pictures;
}

// A corpus test draws over the generator's clear colour at the fake clock's time 0.
class TileMapCorpus : public TileMaps {
protected:
    void SetUp() override
    {
        TileMaps::SetUp();
        glClearColor(kClear.r / 255.0f, kClear.g / 255.0f, kClear.b / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        fakeNow = 0;
        CTileMap::setClock(fakeClock);
    }
    void TearDown() override
    {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        TileMaps::TearDown();
    }

    static void loadQuietly(CTileMap& map, const std::string& path)
    {
        CStdoutCapture quiet;
        quiet.start();
        map.load(path);
        quiet.lines();
    }
};

TEST_F(TileMapCorpus, EveryMapDrawsWhatTiledShowsAtWholePixelCameraPositions)
{
    const std::vector<ExpectedPicture> pictures = expectedPictures();
    ASSERT_EQ(8u, pictures.size());
    // Where the map's top-left corner lands in the window: the picture's own place, further in, and
    // partly out past the window's top-left corner.
    const int cameras[][2] = {{kPad, kPad}, {kPad + 237, kPad + 141}, {-9, -5}};
    for (const ExpectedPicture& picture : pictures) {
        ASSERT_EQ(std::size_t(picture.width) * std::size_t(picture.height) * 3, picture.rgb.size()) << picture.map;
        CTileMap map;
        loadQuietly(map, kCorpus + picture.map);
        ASSERT_TRUE(map.isLoaded()) << picture.map;
        for (const auto& camera : cameras) {
            glLoadIdentity();
            glTranslatef(float(camera[0]), float(camera[1]), 0.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            map.draw();
            const std::vector<unsigned char> window = readWindowRgb(GL_BACK);
            long differing = 0;
            std::string first;
            for (int y = 0; y < picture.height; ++y)
                for (int x = 0; x < picture.width; ++x) {
                    const int wx = x - kPad + camera[0], wy = y - kPad + camera[1];
                    if (wx < 0 || wy < 0 || wx >= 1024 || wy >= 768)
                        continue;
                    const unsigned char* want = &picture.rgb[(std::size_t(y) * picture.width + x) * 3];
                    const unsigned char* got = &window[(std::size_t(wy) * 1024 + wx) * 3];
                    if (std::equal(want, want + 3, got))
                        continue;
                    if (differing++ == 0) {
                        std::ostringstream where;
                        where << "map pixel (" << x - kPad << ", " << y - kPad << ") wants " << int(want[0]) << ","
                              << int(want[1]) << "," << int(want[2]) << ", drawn " << int(got[0]) << ","
                              << int(got[1]) << "," << int(got[2]);
                        first = where.str();
                    }
                }
            EXPECT_EQ(0, differing) << picture.map << " with its corner at (" << camera[0] << ", " << camera[1]
                                    << "), the first at " << first;
        }
    }
}

TEST_F(TileMapCorpus, ColourKeysAreReadFromTmxTsxAndJson)
{
    CTileMap csvMap, rgbaMap, plain;
    loadQuietly(csvMap, kCorpus + "csv.tmx");
    ASSERT_EQ(2u, csvMap.getTilesets().size());
    EXPECT_EQ(0xFF00FF, csvMap.getTilesets()[0].colorKey);  // trans="ff00ff" on an embedded tileset
    EXPECT_EQ(0xFF00FF, csvMap.getTilesets()[1].colorKey);  // in palette.tsx
    loadQuietly(rgbaMap, kCorpus + "rgba.tmj");
    ASSERT_EQ(1u, rgbaMap.getTilesets().size());
    EXPECT_EQ(0xFF00FF, rgbaMap.getTilesets()[0].colorKey);  // "transparentcolor": "#ff00ff" in a .tsj
    loadQuietly(plain, kCorpus + "flat.tmx");
    ASSERT_EQ(1u, plain.getTilesets().size());
    EXPECT_EQ(-1, plain.getTilesets()[0].colorKey);
}

TEST_F(TileMapCorpus, OlderFilesAreReadAsTiledReadsThem)
{
    // A tileset with no tile size, count or columns: the map's 8 x 8 tiles, counted in the
    // 31 x 21 image inside its margin of 1 and spacing of 2.
    CTileMap old;
    loadQuietly(old, kCorpus + "old_tileset.tmx");
    ASSERT_TRUE(old.isLoaded());
    const CTileset& tileset = old.getTilesets()[0];
    EXPECT_EQ(8, tileset.tileWidth);
    EXPECT_EQ(8, tileset.tileHeight);
    EXPECT_EQ(3, tileset.columns);
    EXPECT_EQ(6u, tileset.tileCount);
    EXPECT_TRUE(tileset.countFromImage);

    // JSON from before Tiled 1.2: properties as objects with their types beside them, tiles keyed by id.
    CTileMap json;
    loadQuietly(json, kCorpus + "old_format.json");
    ASSERT_TRUE(json.isLoaded());
    const CMapProperties& properties = json.getProperties();
    EXPECT_EQ("Cave", properties.get("title"));
    EXPECT_EQ("int", properties.getType("level"));
    EXPECT_EQ(3, properties.getInt("level"));
    EXPECT_FLOAT_EQ(9.5f, properties.getFloat("gravity"));
    EXPECT_TRUE(properties.getBool("dark"));
    EXPECT_EQ(kCorpus + "sounds/cave.ogg", properties.get("music"));
    EXPECT_EQ("string", properties.getType("note"));  // no type given: a string, as Tiled reads it
    EXPECT_EQ("yes", json.getTileLayers()[0].properties.get("deep"));
    ASSERT_NE(nullptr, json.getTilesets()[0].tiles);
    const std::vector<CTilesetTile>& tiles = *json.getTilesets()[0].tiles;
    ASSERT_EQ(3u, tiles.size());
    EXPECT_EQ(0u, tiles[0].id);
    ASSERT_EQ(2u, tiles[0].animation.size());
    EXPECT_EQ(5u, tiles[0].animation[1].tileId);
    EXPECT_EQ(100u, tiles[0].animation[1].duration);
    EXPECT_EQ("wall", tiles[1].type);
    EXPECT_TRUE(tiles[1].properties.getBool("solid"));
    EXPECT_EQ("rock", tiles[1].properties.get("name"));
    EXPECT_EQ(7u, tiles[2].id);
    EXPECT_EQ(2, tiles[2].properties.getInt("depth"));
    // 100 ms on, the animated tile shows its second frame.
    EXPECT_EQ(6u | kTileFlipHorizontal, json.getShownGid(1 | kTileFlipHorizontal, 100));
    // Tile properties without a tiles object, as Tiled 1.0 wrote a tileset whose tiles had only those.
    CTileMap bare;
    ASSERT_TRUE(bare.parse("{\"orientation\":\"orthogonal\",\"width\":1,\"height\":1,\"tilewidth\":16,"
                           "\"tileheight\":16,\"tilesets\":[{\"firstgid\":1,\"name\":\"t\",\"tilecount\":4,"
                           "\"image\":\"t.png\",\"tileproperties\":{\"3\":{\"door\":\"north\"}}}],\"layers\":[]}",
                           "bare.json"));
    ASSERT_NE(nullptr, bare.findTile(4));
    EXPECT_EQ("north", bare.findTile(4)->properties.get("door"));
    EXPECT_EQ(16, bare.getTilesets()[0].tileWidth);
}

TEST_F(TileMapCorpus, ATilesetClaimingMoreThanItsImageHoldsDrawsOnlyTheImagesTiles)
{
    const std::string path = kCorpus + "too_many_columns.tmx";
    CStdoutCapture capture;
    capture.start();
    CTileMap map(path);
    std::vector<std::string> lines;
    for (const std::string& line : capture.lines())
        if (line.compare(0, 5, "Tiles") == 0)
            lines.push_back(line);
    EXPECT_EQ(std::vector<std::string>{"Tiles past the image in the tile map: " + path +
                                       ", Error: tileset \"narrow\" gives 5 columns and 15 tiles, its image \"" +
                                       kCorpus +
                                       "narrow.png\" (15 x 9) holds 3 columns and 3 rows; tiles from 9 on "
                                       "draw nothing"},
              lines);
    ASSERT_TRUE(map.isLoaded());
    EXPECT_EQ(3, map.getTilesets()[0].columns);
    // The ids past the image stay in the map for the game; they only draw nothing.
    EXPECT_EQ(11u, map.getGid(0, 1, 1));
    CSpriteBatch batch;
    batch.begin();
    map.draw(batch, 0.0f, 0.0f, 20.0f, 15.0f);
    EXPECT_EQ(10u, batch.getQuadCount());
    batch.end();
}

// Tiles of one colour each between spacing of a loud one, drawn between pixels, scaled and turned:
// every pixel shows a tile's own colour (or the clear colour), never the spacing's or a blend.
TEST_F(TileMapCorpus, NoNeighbourBleedsInBetweenPixelsOrScaled)
{
    // As make_tilemap_corpus.py writes flat.png.
    const Rgba flat[] = {{200, 40, 40, 255},  {40, 40, 200, 255},  {200, 180, 40, 255},
                         {40, 160, 160, 255}, {120, 60, 20, 255},  {230, 230, 230, 255},
                         {10, 10, 10, 255},   {150, 90, 200, 255}, kClear};
    CTileMap map;
    loadQuietly(map, kCorpus + "flat.tmx");
    ASSERT_TRUE(map.isLoaded());
    EXPECT_FLOAT_EQ(0.5f, map.getTexelInset());
    struct View {
        float x, y, scale, angle;
    };
    const View views[] = {{100.37f, 50.61f, 1.0f, 0.0f}, {100.5f, 50.5f, 1.0f, 0.0f},
                          {100.0f, 50.0f, 2.5f, 0.0f},   {100.21f, 50.7f, 0.6f, 0.0f},
                          {100.0f, 50.0f, 1.37f, 0.0f},  {300.4f, 60.2f, 1.9f, 7.0f}};
    auto foreign = [&](const View& view, long& lit) {
        glLoadIdentity();
        glTranslatef(view.x, view.y, 0.0f);
        glRotatef(view.angle, 0.0f, 0.0f, 1.0f);
        glScalef(view.scale, view.scale, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        map.draw();
        const std::vector<unsigned char> window = readWindowRgb(GL_BACK);
        long count = 0;
        lit = 0;
        for (std::size_t i = 0; i < window.size(); i += 3) {
            bool known = false;
            for (const Rgba& c : flat)
                known = known || (std::abs(window[i] - c.r) <= 2 && std::abs(window[i + 1] - c.g) <= 2 &&
                                  std::abs(window[i + 2] - c.b) <= 2);
            count += !known;
            lit += window[i] != kClear.r || window[i + 1] != kClear.g || window[i + 2] != kClear.b;
        }
        return count;
    };
    for (const View& view : views) {
        long lit = 0;
        EXPECT_EQ(0, foreign(view, lit))
            << "at (" << view.x << ", " << view.y << "), scale " << view.scale << ", angle " << view.angle;
        EXPECT_GT(lit, long(72 * 36 * view.scale * view.scale * 0.9f));
    }
    // Without the inset the same draws between pixels pick up the spacing: the check above can fail.
    map.setTexelInset(0.0f);
    long lit = 0;
    EXPECT_GT(foreign(views[0], lit), 0);
    map.setTexelInset(0.5f);
}

// ---- What a map may cost: counted and measured, never timed ----

// The reader alone, which needs no window; gives the lines it wrote.
std::vector<std::string> readMap(const std::string& path, CTileMapData& data, bool& ok)
{
    CStdoutCapture capture;
    capture.start();
    ok = CTileMapReader::readFile(path, data);
    return capture.lines();
}

// A layer of width x height copies of tile id 1, zlib-compressed and in base64.
std::string onesLayer(int width, int height, bool json)
{
    std::vector<unsigned char> raw(std::size_t(width) * height * 4, 0);
    for (std::size_t i = 0; i < raw.size(); i += 4)
        raw[i] = 1;
    const std::string data = base64(deflated(raw, 15)), w = std::to_string(width), h = std::to_string(height);
    if (json)
        return "{\"type\":\"tilelayer\",\"name\":\"L\",\"width\":" + w + ",\"height\":" + h +
               ",\"encoding\":\"base64\",\"compression\":\"zlib\",\"data\":\"" + data + "\"}";
    return "<layer name=\"L\" width=\"" + w + "\" height=\"" + h +
           "\"><data encoding=\"base64\" compression=\"zlib\">" + data + "</data></layer>";
}

std::string tmj(int width, int height, const std::string& layers)
{
    return "{\"orientation\":\"orthogonal\",\"width\":" + std::to_string(width) +
           ",\"height\":" + std::to_string(height) +
           ",\"tilewidth\":16,\"tileheight\":16,\"tilesets\":[{\"firstgid\":1,\"name\":"
           "\"t\",\"tilewidth\":16,\"tileheight\":16,\"tilecount\":4,\"columns\":2,\"image\":\"tiles.bmp\"}],"
           "\"layers\":[" +
           layers + "]}";
}

const std::string kTooManyCells = ", Error: the map's tile layers together hold more than 16777216 cells";

// Tiled's own reader keeps properties keyed; so does ours. A list searched from the front for each
// new name made 8 * 10^8 comparisons here.
TEST_F(TileMaps, FortyThousandPropertiesLoadInOrderWithAFewNameComparisons)
{
    const int count = 40000, repeats = 1000;
    std::string xml, array, object;
    for (int i = 0; i < count; ++i) {
        const std::string name = "p" + std::to_string(i), value = std::to_string(i);
        xml += "<property name=\"" + name + "\" type=\"int\" value=\"" + value + "\"/>";
        array +=
            (i ? ",{" : "{") + std::string("\"name\":\"") + name + "\",\"type\":\"int\",\"value\":" + value + "}";
        object += (i ? ",\"" : "\"") + name + "\":" + value;
    }
    // A repeated name keeps its first place and takes the last value, as Tiled reads it.
    for (int i = 0; i < repeats; ++i) {
        const std::string name = "p" + std::to_string(i * 7), value = std::to_string(-i * 7);
        xml += "<property name=\"" + name + "\" type=\"int\" value=\"" + value + "\"/>";
        array += ",{\"name\":\"" + name + "\",\"type\":\"int\",\"value\":" + value + "}";
    }
    const std::string head = "{\"orientation\":\"orthogonal\",\"width\":1,\"height\":1,\"tilewidth\":16,"
                             "\"tileheight\":16,\"layers\":[],\"properties\":";
    // The older TMJ form is an object, which JSON keeps in name order ("p0", "p1", "p10", ...).
    const std::vector<std::pair<std::string, std::string>> files = {
        {"properties.tmx", tmx(1, 1, "<properties>" + xml + "</properties>")},
        {"properties.tmj", head + "[" + array + "]}"},
        {"older.tmj", head + "{" + object + "}}"}};
    for (const auto& file : files) {
        writeFile(dir + "/" + file.first, file.second);
        const bool older = file.first == "older.tmj";
        CTileMapData data;
        bool ok = false;
        const uint64_t before = CMapProperties::nameComparisons();
        EXPECT_TRUE(readMap(dir + "/" + file.first, data, ok).empty()) << file.first;
        // One for each repeated name; a hash two names share now and then adds a few.
        EXPECT_LE(CMapProperties::nameComparisons() - before, uint64_t(count / 10 + repeats)) << file.first;
        ASSERT_TRUE(ok) << file.first;
        const CMapProperties& properties = data.properties;
        ASSERT_EQ(std::size_t(count), properties.size()) << file.first;
        for (int i = 0; i < count; ++i) {
            const bool replaced = !older && i % 7 == 0 && i / 7 < repeats;
            ASSERT_EQ(replaced ? -i : i, properties.getInt("p" + std::to_string(i), 99999)) << file.first << i;
            if (!older) {
                ASSERT_EQ("p" + std::to_string(i), properties.getEntries()[std::size_t(i)].name) << file.first;
            }
        }
        EXPECT_EQ(older ? "string" : "int", properties.getType("p123")) << file.first;

        // A copy keeps its own index: clearing the first leaves it whole, and a name set again stays
        // in its place.
        CMapProperties copy = properties;
        data.properties.clear();
        EXPECT_FALSE(data.properties.has("p5"));
        std::size_t place = 0;
        while (copy.getEntries()[place].name != "p5")
            ++place;
        copy.set("p5", "string", "again");
        EXPECT_EQ(std::size_t(count), copy.size());
        EXPECT_EQ("again", copy.getEntries()[place].value) << file.first;
        EXPECT_EQ("again", copy.get("p5"));
    }
}

// Each layer alone is within the bound: six zlib layers of 4096 x 4096, 520 KiB of file, used to
// raise the peak by 450 MiB as they inflated, and then loaded.
TEST_F(TileMaps, CompressedLayersTogetherPastTheBoundAreRefusedBeforeTheyInflate)
{
    const int side = 4096;
    const std::string xmlLayer = onesLayer(side, side, false), jsonLayer = onesLayer(side, side, true);
    std::string xmlLayers, jsonLayers;
    for (int i = 0; i < 6; ++i) {
        xmlLayers += xmlLayer;
        jsonLayers += (i ? "," : "") + jsonLayer;
    }
    writeFile(dir + "/layers.tmx", tmx(side, side, tilesetXml(1, "tiles.bmp") + xmlLayers));
    writeFile(dir + "/layers.tmj", tmj(side, side, jsonLayers));
    for (const std::string& path : {dir + "/layers.tmx", dir + "/layers.tmj"}) {
        CTileMapData data;
        bool ok = true;
        resetPeak();
        const long start = peakKilobytes();
        const std::vector<std::string> lines = readMap(path, data, ok);
        const long grown = peakKilobytes() - start;
        EXPECT_FALSE(ok) << path;
        EXPECT_EQ(std::vector<std::string>{"Failed to load the tile map: " + path + kTooManyCells}, lines);
        EXPECT_TRUE(data.tileLayers.empty());
        EXPECT_EQ(0, data.width);
        // The file and its parsed tree; one layer's ids alone would be 64 MiB.
        EXPECT_LT(grown, 24 * 1024) << path;
    }
}

// The bound is on the cells of all layers wherever they are: two half layers fill it exactly and
// load; one more cell in a group, in either format, is refused.
TEST_F(TileMaps, TheCellsOfAllLayersAndGroupsCountTowardsOneBound)
{
    const int width = 4096, height = 2048;
    const std::string xmlHalves =
        tilesetXml(1, "tiles.bmp") + onesLayer(width, height, false) + onesLayer(width, height, false);
    const std::string jsonHalves = onesLayer(width, height, true) + "," + onesLayer(width, height, true);
    struct Case {
        std::string name, text;
        bool loads;
    };
    const std::vector<Case> cases = {
        {"full.tmx", tmx(width, height, xmlHalves), true},
        {"full.tmj", tmj(width, height, jsonHalves), true},
        {"over.tmx",
         tmx(width, height, xmlHalves + "<group><group>" + onesLayer(1, 1, false) + "</group></group>"), false},
        {"over.tmj",
         tmj(width, height,
             jsonHalves + ",{\"type\":\"group\",\"name\":\"g\",\"layers\":[" + onesLayer(1, 1, true) + "]}"),
         false},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "/" + c.name;
        writeFile(path, c.text);
        CTileMapData data;
        bool ok = !c.loads;
        const std::vector<std::string> lines = readMap(path, data, ok);
        EXPECT_EQ(c.loads, ok) << c.name;
        if (!c.loads) {
            EXPECT_EQ(std::vector<std::string>{"Failed to load the tile map: " + path + kTooManyCells}, lines);
            continue;
        }
        EXPECT_TRUE(lines.empty()) << c.name;
        ASSERT_EQ(2u, data.tileLayers.size()) << c.name;
        for (const CTileLayer& layer : data.tileLayers)
            EXPECT_EQ(std::vector<uint32_t>(std::size_t(width) * height, 1u), layer.gids) << c.name;
    }
}

}  // namespace

// 100,000 nested arrays once overflowed the stack. Nesting is refused before the JSON is parsed, in
// a map and in its external tileset alike; brackets inside strings do not count.
TEST_F(TileMaps, DeeplyNestedJsonIsRefusedWithOneLine)
{
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    auto map = [](const std::string& properties, const std::string& tileset) {
        return "{\"type\":\"map\",\"orientation\":\"orthogonal\",\"width\":1,\"height\":1,\"tilewidth\":16,"
               "\"tileheight\":16,\"properties\":" +
               properties + ",\"tilesets\":[" + tileset +
               "],\"layers\":[{\"type\":\"tilelayer\",\"name\":\"L\",\"width\":1,\"height\":1,\"data\":[1]}]}";
    };
    const std::string embedded = "{\"firstgid\":1,\"name\":\"t\",\"tilewidth\":16,\"tileheight\":16,"
                                 "\"tilecount\":4,\"columns\":2,\"image\":\"tiles.bmp\"}";
    writeFile(dir + "/deep.tsj", "{\"name\":\"t\",\"tilewidth\":16,\"tileheight\":16,\"image\":" + deep + "}");
    const std::string brackets =
        "[{\"name\":\"b\",\"type\":\"string\",\"value\":\"\\\"" + std::string(1000, '[') + "\"}]";
    struct Case {
        std::string name, text, error;
    };
    const std::vector<Case> cases = {
        {"deep.tmj", map(deep, embedded), "the map is nested more than 256 deep"},
        {"deep-tileset.tmj", map("[]", "{\"firstgid\":1,\"source\":\"deep.tsj\"}"),
         "the tileset \"" + dir + "/deep.tsj\" is nested more than 256 deep"},
        {"brackets.tmj", map(brackets, embedded), ""},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "/" + c.name;
        writeFile(path, c.text);
        CTileMapData data;
        bool ok = false;
        const std::vector<std::string> lines = readMap(path, data, ok);
        if (c.error.empty()) {
            EXPECT_TRUE(ok) << c.name;
            EXPECT_EQ(std::string(1000, '['), data.properties.get("b").substr(1));
            continue;
        }
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(std::vector<std::string>{"Failed to load the tile map: " + path + ", Error: " + c.error}, lines);
        EXPECT_TRUE(data.tilesets.empty());
    }
}

// A map of the old one-element-per-tile form: each <tile/> once cost pugixml's tree some 80 bytes
// before its cell was even counted. Elements past the bound are refused from the text alone.
TEST_F(TileMaps, MoreXmlElementsThanTheBoundAreRefusedBeforeTheyAreParsed)
{
    auto tileForm = [](int width, int height) {
        std::string tiles;
        for (int i = 0; i < width * height; ++i)
            tiles += "<tile gid=\"1\"/>";
        return tmx(width, height,
                   tilesetXml(1, "tiles.bmp") + "<layer id=\"1\" name=\"L\" width=\"" + std::to_string(width) +
                       "\" height=\"" + std::to_string(height) + "\"><data>" + tiles + "</data></layer>");
    };
    // 1000 x 1048 cells and the five other elements: just within; one row more is past it.
    const std::string within = dir + "/within.tmx", past = dir + "/past.tmx";
    writeFile(within, tileForm(1000, 1048));
    writeFile(past, tileForm(1000, 1049));
    CTileMapData data;
    bool ok = false;
    resetPeak();
    long start = peakKilobytes();
    std::vector<std::string> lines = readMap(past, data, ok);
    const long grown = peakKilobytes() - start;
    EXPECT_FALSE(ok);
    EXPECT_EQ(std::vector<std::string>{"Failed to load the tile map: " + past +
                                       ", Error: the map has more than 1048576 XML elements"},
              lines);
    EXPECT_TRUE(data.tileLayers.empty());
#ifndef __SANITIZE_ADDRESS__
    // The file's 17 MB of text; its tree was some 90 MB more.
    EXPECT_LT(grown, 40 * 1024) << "kilobytes";
#else
    (void)grown;
#endif
    lines = readMap(within, data, ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(lines.empty());
    ASSERT_EQ(1u, data.tileLayers.size());
    EXPECT_EQ(1000u * 1048u,
              std::size_t(std::count(data.tileLayers[0].gids.begin(), data.tileLayers[0].gids.end(), 1u)));
}

// A map naming one external tileset 200 times read the file 200 times; 40 tilesets of one image made
// 40 textures of it. Each file is now read once and each image (with one transparent colour) made
// one texture, and every tileset still draws its own tiles.
TEST_F(TileMaps, TilesetFilesAndImagesNamedManyTimesAreReadOnce)
{
    std::filesystem::create_directories(dir + "/shared");
    writeFile(dir + "/shared/many.tsx",
              "<?xml version=\"1.0\"?><tileset name=\"many\" tilewidth=\"16\" tileheight=\"16\" "
              "tilecount=\"4\" columns=\"2\"><image source=\"../tiles.bmp\" width=\"32\" height=\"32\"/>"
              "<tile id=\"3\" type=\"door\"/></tileset>");
    std::string tilesets;
    for (int i = 0; i < 200; ++i)
        tilesets += "<tileset firstgid=\"" + std::to_string(1 + 4 * i) + "\" source=\"shared/many.tsx\"/>";
    for (int i = 0; i < 40; ++i)
        tilesets += tilesetXml(801 + 4 * i, "tiles.bmp");
    // The same image with a transparent colour is another texture.
    tilesets +=
        "<tileset firstgid=\"961\" name=\"keyed\" tilewidth=\"16\" tileheight=\"16\" tilecount=\"4\" "
        "columns=\"2\"><image source=\"tiles.bmp\" trans=\"ff00ff\" width=\"32\" height=\"32\"/></tileset>";
    // The last external tileset's tile 1, the last embedded one's tile 2, the keyed one's tile 3.
    const uint64_t filesBefore = CTileMapReader::tilesetFilesRead();
    const int texturesBefore = g_pTextureManager->getTextureCount();
    {
        CTileMap map;
        load(map, "shared.tmx", tmx(3, 1, tilesets + csvLayer(3, 1, {797, 958, 963})));
        ASSERT_TRUE(map.isLoaded());
        EXPECT_EQ(1u, CTileMapReader::tilesetFilesRead() - filesBefore);
        EXPECT_EQ(2, g_pTextureManager->getTextureCount() - texturesBefore);
        ASSERT_EQ(241u, map.getTilesets().size());
        for (int i = 0; i < 200; ++i) {
            const CTileset& tileset = map.getTilesets()[i];
            ASSERT_EQ(uint32_t(1 + 4 * i), tileset.firstGid);
            ASSERT_EQ(dir + "/shared/many.tsx", tileset.source);
            ASSERT_EQ(4u, tileset.tileCount);
            ASSERT_NE(nullptr, map.findTile(uint32_t(4 + 4 * i)));
            ASSERT_EQ("door", map.findTile(uint32_t(4 + 4 * i))->type);
            // One copy of the file's tile descriptions, however many tilesets name it.
            ASSERT_EQ(map.getTilesets()[0].tiles, tileset.tiles);
        }
        glClear(GL_COLOR_BUFFER_BIT);
        map.draw();
        EXPECT_TRUE(sameRgb(texel(5, 7), readPixel(5, 7)));
        EXPECT_TRUE(sameRgb(texel(kTile + 5, 7), readPixel(kTile + 5, 7)));
        EXPECT_TRUE(sameRgb(texel(5, kTile + 7), readPixel(2 * kTile + 5, 7)));
    }
    EXPECT_EQ(texturesBefore, g_pTextureManager->getTextureCount());
}

// TMX and TMJ are read through one set of field rules, so a fault is worded alike in both; TMX adds
// the text it could not read as a number.
TEST_F(TileMaps, TmxAndTmjWordTheSameFaultAlike)
{
    const std::string bareJson =
        "{\"orientation\":\"orthogonal\",\"width\":1,\"height\":1,\"tileheight\":16,\"layers\":[]";
    struct Case {
        std::string xml, json, error, xmlText;
    };
    const std::vector<Case> cases = {
        {tmx(0, 1, ""), tmj(0, 1, ""), "the map's width is 0, less than 1", ""},
        {"<map orientation=\"orthogonal\" width=\"1\" height=\"1\" tileheight=\"16\"/>", bareJson + "}",
         "the map's tilewidth is missing", ""},
        {tmx(1, 1, "<properties><property value=\"1\"/></properties>"),
         bareJson + ",\"tilewidth\":16,\"properties\":[{\"value\":1}]}", "the map's property's name is missing",
         ""},
        {tmx(1, 1, "<layer name=\"Ground\" width=\"-1\"><data encoding=\"csv\">1</data></layer>"),
         tmj(1, 1, "{\"type\":\"tilelayer\",\"name\":\"Ground\",\"width\":-1,\"data\":[1]}"),
         "layer \"Ground\"'s width is negative", ""},
        {tmx(1, 1, "<group name=\"g\" offsetx=\"x\"/>"),
         tmj(1, 1, "{\"type\":\"group\",\"name\":\"g\",\"offsetx\":\"x\"}"),
         "group \"g\"'s offsetx is not a number", " \"x\""},
        {tmx(1, 1, "<objectgroup name=\"O\"><object id=\"5\" y=\"north\"/></objectgroup>"),
         tmj(1, 1, "{\"type\":\"objectgroup\",\"name\":\"O\",\"objects\":[{\"id\":5,\"y\":\"north\"}]}"),
         "layer \"O\"'s object 5's y is not a number", " \"north\""},
    };
    for (const Case& c : cases) {
        const std::string xmlPath = dir + "/alike.tmx", jsonPath = dir + "/alike.tmj";
        writeFile(xmlPath, c.xml);
        writeFile(jsonPath, c.json);
        CTileMapData data;
        bool ok = true;
        const std::vector<std::string> xmlLines = readMap(xmlPath, data, ok);
        EXPECT_FALSE(ok) << c.error;
        ok = true;
        const std::vector<std::string> jsonLines = readMap(jsonPath, data, ok);
        EXPECT_FALSE(ok) << c.error;
        ASSERT_EQ(1u, xmlLines.size()) << c.error;
        ASSERT_EQ(1u, jsonLines.size()) << c.error;
        const std::string prefix = ", Error: ";
        const std::string xmlError = xmlLines[0].substr(xmlLines[0].find(prefix) + prefix.size());
        const std::string jsonError = jsonLines[0].substr(jsonLines[0].find(prefix) + prefix.size());
        std::string withText = c.error;
        const std::size_t is = withText.rfind(" is ");
        if (!c.xmlText.empty())
            withText.insert(is, c.xmlText);
        EXPECT_EQ(withText, xmlError);
        EXPECT_EQ(c.error, jsonError);
    }
}
