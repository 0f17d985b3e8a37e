// Makes the tile_walker example's data in <Data>/TileWalker: a 32-pixel tileset (tiles.png), an
// 80 by 60 tile Tiled map of meadows, a river with its sand banks, paths, trees and flowers
// (world.tmx: the ground layer as zlib-compressed base64, the decoration layer as CSV, the water
// animated, water and trees solid, the walker's start in an object layer), and the walker's
// sixteen frames (four steps facing down, left, right and up) as separate PNG files with
// transparent borders, for make_atlas to trim and pack:
//   make_tile_walker <Data folder> <frames folder>
//   make_atlas -d 150 <Data folder>/TileWalker/walker <frames folder>
// The output is the same on every run: the layout comes from a fixed pseudo-random sequence.

#include "PngWriter.h"

#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

const int kTile = 32;
const int kMapWidth = 80;
const int kMapHeight = 60;
// Tile ids as the map stores them (the tileset's first id is 1).
enum Tile { None = 0, Grass = 1, GrassDark, Water1, Water2, Sand, Path, Tree, Flowers };

uint32_t nextRandom(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

double noise(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double(h ^ (h >> 16)) / 4294967295.0;
}

void fill(png::Image& image, int tile, double r, double g, double b, uint32_t seed)
{
    const int ox = (tile - 1) % 4 * kTile, oy = (tile - 1) / 4 * kTile;
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) {
            const double shade = 0.9 + 0.2 * noise(x, y, seed);
            image.set(ox + x, oy + y, r * shade, g * shade, b * shade, 1.0);
        }
}

void waves(png::Image& image, int tile, double phase)
{
    const int ox = (tile - 1) % 4 * kTile, oy = (tile - 1) / 4 * kTile;
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) {
            const double crest = std::sin((x + y * 0.5) * 0.4 + phase) * std::sin(y * 0.8 + phase);
            const double light = crest > 0.75 ? 0.35 : 0.0;
            image.set(ox + x, oy + y, 0.15 + light, 0.35 + light, 0.75 + light * 0.5, 1.0);
        }
}

// A disc of colour over what is there, for tree crowns, trunks and flowers.
void disc(png::Image& image, double cx, double cy, double radius, double r, double g, double b)
{
    for (int y = int(cy - radius - 1); y <= int(cy + radius + 1); ++y)
        for (int x = int(cx - radius - 1); x <= int(cx + radius + 1); ++x) {
            if (x < 0 || y < 0 || x >= image.width || y >= image.height)
                continue;
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d <= radius)
                image.set(x, y, r * (1.1 - 0.3 * d / radius), g * (1.1 - 0.3 * d / radius), b, 1.0);
        }
}

png::Image tileset()
{
    png::Image image(4 * kTile, 2 * kTile);
    fill(image, Grass, 0.35, 0.65, 0.25, 1);
    fill(image, GrassDark, 0.28, 0.55, 0.2, 2);
    waves(image, Water1, 0.0);
    waves(image, Water2, 1.6);
    fill(image, Sand, 0.85, 0.78, 0.5, 5);
    fill(image, Path, 0.6, 0.48, 0.32, 6);
    // Trees and flowers stand on the ground layer: transparent around them.
    const int treeX = 2 * kTile, treeY = kTile, flowerX = 3 * kTile, flowerY = kTile;
    for (int y = 20; y < 31; ++y)
        for (int x = 14; x < 18; ++x)
            image.set(treeX + x, treeY + y, 0.4, 0.26, 0.12, 1.0);
    disc(image, treeX + 16, treeY + 13, 12, 0.12, 0.45, 0.15);
    disc(image, treeX + 11, treeY + 10, 6, 0.2, 0.6, 0.2);
    const double petals[4][3] = {{1.0, 0.3, 0.35}, {1.0, 0.9, 0.3}, {0.7, 0.4, 1.0}, {1.0, 1.0, 1.0}};
    for (int i = 0; i < 4; ++i)
        disc(image, flowerX + 7 + 6 * i, flowerY + 8 + 12 * (i % 2) + i, 3, petals[i][0], petals[i][1],
             petals[i][2]);
    return image;
}

// One walker frame: 32 by 48 with the figure in the middle; step 0 to 3 swings the legs and arms.
png::Image walker(int facing, int step)
{
    png::Image image(32, 48);
    const double swing = (step == 1 ? 1 : step == 3 ? -1 : 0) * 3.0;
    const auto rect = [&image](double x0, double y0, double x1, double y1, double r, double g, double b) {
        for (int y = int(y0); y < int(y1); ++y)
            for (int x = int(x0); x < int(x1); ++x)
                image.set(x, y, r, g, b, 1.0);
    };
    rect(11, 30 + swing * 0.3, 15, 42 + swing, 0.2, 0.2, 0.45);  // legs
    rect(17, 30 - swing * 0.3, 21, 42 - swing, 0.2, 0.2, 0.45);
    rect(10, 18, 22, 31, facing == 3 ? 0.6 : 0.8, 0.2, 0.2);  // body, darker from behind
    rect(7, 19 + swing, 10, 29 + swing, 0.9, 0.7, 0.55);      // arms
    rect(22, 19 - swing, 25, 29 - swing, 0.9, 0.7, 0.55);
    disc(image, 16, 12, 7, 0.95, 0.78, 0.6);  // head
    if (facing != 3) {                        // eyes unless facing away
        const double eyeShift = facing == 1 ? -3 : facing == 2 ? 3 : 0;
        rect(12 + eyeShift, 11, 14 + eyeShift, 13, 0.1, 0.1, 0.1);
        rect(18 + eyeShift, 11, 20 + eyeShift, 13, 0.1, 0.1, 0.1);
    }
    return image;
}

std::string base64(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t n = uint32_t(bytes[i]) << 16 | (i + 1 < bytes.size() ? uint32_t(bytes[i + 1]) << 8 : 0) |
                           (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += digits[n >> 18];
        out += digits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

std::string zlibBase64(const std::vector<uint32_t>& gids)
{
    std::vector<uint8_t> raw;
    for (uint32_t gid : gids)
        for (int shift = 0; shift < 32; shift += 8)
            raw.push_back(uint8_t(gid >> shift));  // little-endian, as Tiled stores them
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(size);
    compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 9);
    packed.resize(size);
    return base64(packed);
}

std::string csv(const std::vector<uint32_t>& gids)
{
    std::string out = "\n";
    for (int y = 0; y < kMapHeight; ++y) {
        for (int x = 0; x < kMapWidth; ++x)
            out += std::to_string(gids[std::size_t(y) * kMapWidth + x]) +
                   (x + 1 < kMapWidth || y + 1 < kMapHeight ? "," : "");
        out += "\n";
    }
    return out;
}

std::string world(int& startX, int& startY)
{
    std::vector<uint32_t> ground(std::size_t(kMapWidth) * kMapHeight, Grass);
    std::vector<uint32_t> decoration(ground.size(), None);
    const auto at = [](int x, int y) { return std::size_t(y) * kMapWidth + x; };
    for (int y = 0; y < kMapHeight; ++y) {
        // A river winding down the map, sand on both banks.
        const double centre = 52 + 8 * std::sin(y * 0.12);
        for (int x = 0; x < kMapWidth; ++x) {
            const double d = std::fabs(x - centre);
            ground[at(x, y)] = d < 3 ? Water1 : d < 4.5 ? Sand : noise(x, y, 7) < 0.3 ? GrassDark : Grass;
        }
    }
    for (int x = 0; x < kMapWidth; ++x)  // a path across, bridging the river
        ground[at(x, 30)] = Path;
    for (int y = 0; y < kMapHeight; ++y)  // and one down the meadow
        ground[at(20, y)] = ground[at(20, y)] == Water1 ? Water1 : Path;
    uint32_t state = 12345;
    for (int i = 0; i < 420; ++i) {
        const int x = int(nextRandom(state) % kMapWidth), y = int(nextRandom(state) % kMapHeight);
        const uint32_t under = ground[at(x, y)];
        if (under == Grass || under == GrassDark)
            decoration[at(x, y)] = i % 3 ? Tree : Flowers;
    }
    startX = 22 * kTile;
    startY = 31 * kTile;  // on the path, which crosses the river by a bridge
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<map version=\"1.10\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" +
        std::to_string(kMapWidth) + "\" height=\"" + std::to_string(kMapHeight) +
        "\" tilewidth=\"32\" tileheight=\"32\" infinite=\"0\">\n"
        " <properties>\n  <property name=\"title\" value=\"The meadow\"/>\n </properties>\n"
        " <tileset firstgid=\"1\" name=\"meadow\" tilewidth=\"32\" tileheight=\"32\" tilecount=\"8\" "
        "columns=\"4\">\n"
        "  <image source=\"tiles.png\" width=\"128\" height=\"64\"/>\n"
        "  <tile id=\"2\">\n   <properties>\n    <property name=\"solid\" type=\"bool\" value=\"true\"/>\n"
        "   </properties>\n   <animation>\n    <frame tileid=\"2\" duration=\"400\"/>\n"
        "    <frame tileid=\"3\" duration=\"400\"/>\n   </animation>\n  </tile>\n"
        "  <tile id=\"6\">\n   <properties>\n    <property name=\"solid\" type=\"bool\" value=\"true\"/>\n"
        "   </properties>\n  </tile>\n"
        " </tileset>\n";
    xml += " <layer id=\"1\" name=\"ground\" width=\"80\" height=\"60\">\n  <data encoding=\"base64\" "
           "compression=\"zlib\">" +
           zlibBase64(ground) + "</data>\n </layer>\n";
    xml += " <layer id=\"2\" name=\"decoration\" width=\"80\" height=\"60\">\n  <data encoding=\"csv\">" +
           csv(decoration) + "</data>\n </layer>\n";
    xml += " <objectgroup id=\"3\" name=\"objects\">\n  <object id=\"1\" name=\"start\" type=\"spawn\" x=\"" +
           std::to_string(startX) + "\" y=\"" + std::to_string(startY) +
           "\">\n   <point/>\n  </object>\n"
           " </objectgroup>\n</map>\n";
    return xml;
}

bool write(const std::string& path, const png::Image& image)
{
    std::string error;
    if (png::write(path, image, error))
        return true;
    std::cerr << "make_tile_walker: " << error << "\n";
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: make_tile_walker <Data folder> <frames folder>\n";
        return 2;
    }
    const std::filesystem::path data = std::filesystem::path(argv[1]) / "TileWalker";
    const std::filesystem::path frames = argv[2];
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(frames);
    bool ok = write((data / "tiles.png").string(), tileset());
    const char* facings[4] = {"down", "left", "right", "up"};
    for (int facing = 0; facing < 4; ++facing)
        for (int step = 0; step < 4; ++step)
            ok = write((frames / (std::string(facings[facing]) + std::to_string(step + 1) + ".png")).string(),
                       walker(facing, step)) &&
                 ok;
    int startX = 0, startY = 0;
    std::ofstream((data / "world.tmx").string()) << world(startX, startY);
    return ok ? 0 : 1;
}
