// The peer: SFML 2.5 drawing the shared scene the way an SFML program would, one sf::Sprite per
// quad or one sf::Text per line (DejaVu Sans Mono at 16 pixels, the size of the engine's glyph
// sheet), in SFML's own state. Run through bench_runner by scripts/bench.sh.
//   sfml_bench <sprite|sprite-general|text> <quads or lines per frame> <seconds> [last frame file]
// "sprite-general" draws the quads rotated, scaled and off the pixel grid, with a smooth texture;
// "text-sans" the lines in DejaVu Sans (the TrueType figures); "width" prints "WIDTH <pixels>", the
// width of the first line at <count> pixels, and draws nothing.
// "flames" (and "flames-general") draws <count> animated flames, each an sf::Sprite whose texture is
// its current frame's own untrimmed picture (Data/Flame/flame1.png ... flame8.png), as an SFML
// program animates a flip-book. "tilemap" draws a <count> by <count> map of 32-pixel tiles as SFML's
// tile-map tutorial builds it, the whole map in one sf::VertexArray of quads, scrolled by moving
// the sf::View by whole pixels every frame, in a 1280 by 720 window (the rate is in frames). Both
// print "DRAWCALLS <n>", the draw calls SFML makes for the last frame (one per draw()).
// The fair peers, as a competent SFML user writes them: "flames-atlas" (and "flames-atlas-general")
// draws the flames from the same trimmed atlas page the engine draws them from, every flame's quad
// put into one sf::VertexArray each frame, one draw; "tilemap-visible" puts only the tiles the view
// reaches into one sf::VertexArray each frame; "tilemap-chunks" builds the map once as static
// chunks of 32 by 32 tiles, an sf::VertexArray each, and draws the chunks the view reaches.
#include "bench/BenchScene.h"

#include <SFML/Graphics.hpp>
#include <nlohmann/json.hpp>

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#ifndef QUARL_BENCH_FLAME_ATLAS
#define QUARL_BENCH_FLAME_ATLAS "flame.json"
#endif

namespace {

const char kFontPath[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

// The tile map of SFML's tutorial ("Designing your own entities with vertex arrays"): every tile a
// quad of one vertex array, drawn whole with the tileset; the view does the scrolling.
class TileMap : public sf::Drawable, public sf::Transformable {
public:
    bool load(const std::string& tileset, sf::Vector2u tileSize, const int* tiles, unsigned width, unsigned height)
    {
        if (!m_tileset.loadFromFile(tileset))
            return false;
        m_vertices.setPrimitiveType(sf::Quads);
        m_vertices.resize(std::size_t(width) * height * 4);
        for (unsigned i = 0; i < width; ++i)
            for (unsigned j = 0; j < height; ++j) {
                const int tileNumber = tiles[i + std::size_t(j) * width];
                const int tu = tileNumber % int(m_tileset.getSize().x / tileSize.x);
                const int tv = tileNumber / int(m_tileset.getSize().x / tileSize.x);
                sf::Vertex* quad = &m_vertices[(i + std::size_t(j) * width) * 4];
                quad[0].position = sf::Vector2f(float(i * tileSize.x), float(j * tileSize.y));
                quad[1].position = sf::Vector2f(float((i + 1) * tileSize.x), float(j * tileSize.y));
                quad[2].position = sf::Vector2f(float((i + 1) * tileSize.x), float((j + 1) * tileSize.y));
                quad[3].position = sf::Vector2f(float(i * tileSize.x), float((j + 1) * tileSize.y));
                quad[0].texCoords = sf::Vector2f(float(tu * tileSize.x), float(tv * tileSize.y));
                quad[1].texCoords = sf::Vector2f(float((tu + 1) * tileSize.x), float(tv * tileSize.y));
                quad[2].texCoords = sf::Vector2f(float((tu + 1) * tileSize.x), float((tv + 1) * tileSize.y));
                quad[3].texCoords = sf::Vector2f(float(tu * tileSize.x), float((tv + 1) * tileSize.y));
            }
        return true;
    }

private:
    void draw(sf::RenderTarget& target, sf::RenderStates states) const override
    {
        states.transform *= getTransform();
        states.texture = &m_tileset;
        target.draw(m_vertices, states);
    }

    sf::VertexArray m_vertices;
    sf::Texture m_tileset;
};

// One frame of the trimmed atlas, as make_atlas describes it: its place on the page and in the
// untrimmed picture.
struct AtlasFrame {
    float x, y, width, height;  // on the page, in pixels
    float offsetX, offsetY;     // its top-left corner in the source picture
    float sourceWidth, sourceHeight;
};

// The frames flame1 ... flame8 of the atlas descriptor and its page's file; false when it does not
// read so (the benchmark packs no turned frames for these pictures).
bool readAtlas(const std::string& path, std::vector<AtlasFrame>& frames, std::string& page)
{
    std::ifstream in(path);
    const nlohmann::json atlas = nlohmann::json::parse(in, nullptr, false);
    if (atlas.is_discarded() || !atlas.contains("frames") || !atlas.contains("meta"))
        return false;
    page = path.substr(0, path.rfind('/') + 1) + atlas["meta"].value("image", "");
    for (int i = 0; i < bench::kFlameFrames; ++i) {
        const std::string name = "flame" + std::to_string(i + 1);
        if (!atlas["frames"].contains(name) || atlas["frames"][name].value("rotated", false))
            return false;
        const nlohmann::json& f = atlas["frames"][name];
        frames.push_back({f["frame"]["x"].get<float>(), f["frame"]["y"].get<float>(), f["frame"]["w"].get<float>(),
                          f["frame"]["h"].get<float>(), f["spriteSourceSize"]["x"].get<float>(),
                          f["spriteSourceSize"]["y"].get<float>(), f["sourceSize"]["w"].get<float>(),
                          f["sourceSize"]["h"].get<float>()});
    }
    return true;
}

// The quad of one map cell: 32 by 32 pixels at its place in the map, its tile's texels.
void tileQuad(sf::Vertex* quad, int column, int row, int tilesetColumns)
{
    const int tile = bench::tileOf(column, row);
    const float size = float(bench::kTileSize);
    const float left = float(column) * size, top = float(row) * size;
    const float tu = float(tile % tilesetColumns) * size, tv = float(tile / tilesetColumns) * size;
    quad[0] = sf::Vertex(sf::Vector2f(left, top), sf::Vector2f(tu, tv));
    quad[1] = sf::Vertex(sf::Vector2f(left + size, top), sf::Vector2f(tu + size, tv));
    quad[2] = sf::Vertex(sf::Vector2f(left + size, top + size), sf::Vector2f(tu + size, tv + size));
    quad[3] = sf::Vertex(sf::Vector2f(left, top + size), sf::Vector2f(tu, tv + size));
}

}  // namespace

int main(int argc, char* argv[])
{
    bench::Arguments args;
    const bool parsed = bench::parseArguments(argc, argv, args);
    const bool general = bench::takeGeneral(args.mode);
    const bool sans = args.mode == "text-sans" || args.mode == "width";
    if (sans && args.mode == "width") {
        sf::Font font;
        if (!font.loadFromFile(bench::kSansPath))
            return 1;
        sf::Text text(bench::line(0), font, unsigned(args.count));
        std::printf("WIDTH %.1f\n", text.getLocalBounds().width);
        return 0;
    }
    if (sans)
        args.mode = "text";
    const bool flames = args.mode == "flames", atlasFlames = args.mode == "flames-atlas";
    const bool visibleTiles = args.mode == "tilemap-visible", chunkTiles = args.mode == "tilemap-chunks";
    const bool tileMap = args.mode == "tilemap" || visibleTiles || chunkTiles;
    if (!parsed || (args.mode != "sprite" && args.mode != "text" && !flames && !atlasFlames && !tileMap) ||
        (general && args.mode != "sprite" && !flames && !atlasFlames)) {
        std::fprintf(
            stderr,
            "Usage: %s <sprite|sprite-general|text|text-sans|flames|flames-general|flames-atlas|"
            "flames-atlas-general|tilemap|tilemap-visible|tilemap-chunks> <count> <seconds> [frame file]\n",
            argv[0]);
        return 2;
    }
    // SFML reports that the X server offers no vertical sync on every window; the runner shows
    // stderr, and the figures need no vsync anyway.
    sf::err().rdbuf(nullptr);
    const int windowWidth = tileMap ? bench::kMapViewWidth : bench::kWindowWidth;
    const int windowHeight = tileMap ? bench::kMapViewHeight : bench::kWindowHeight;
    sf::RenderWindow window(sf::VideoMode(unsigned(windowWidth), unsigned(windowHeight)), "sfml_bench",
                            sf::Style::Titlebar | sf::Style::Close);

    sf::Image image;
    const std::vector<uint8_t> pixels = bench::texturePixels();
    image.create(bench::kTextureSize, bench::kTextureSize, pixels.data());
    sf::Texture texture;
    sf::Font font;
    if (!texture.loadFromImage(image) ||
        (args.mode == "text" && !font.loadFromFile(sans ? bench::kSansPath : kFontPath)))
        return 1;
    texture.setSmooth(general);

    std::vector<sf::Sprite> sprites;
    std::vector<sf::Text> texts;
    if (args.mode == "sprite") {
        for (int i = 0; i < args.count; ++i) {
            const bench::Quad q = bench::quad(i);
            const bench::Placement p = bench::placement(i, general);
            sf::Sprite sprite(texture);
            // About the centre, as the engine turns a quad; the corner lands where its own does.
            const float half = 0.5f * float(bench::kTextureSize);
            sprite.setOrigin(half, half);
            sprite.setPosition(p.x + p.scale * half, p.y + p.scale * half);
            sprite.setScale(p.scale, p.scale);
            sprite.setRotation(p.angle);
            sprite.setColor(sf::Color(q.tint[0], q.tint[1], q.tint[2], q.tint[3]));
            sprites.push_back(sprite);
        }
    } else {
        const sf::Color colour(bench::kTextColour[0], bench::kTextColour[1], bench::kTextColour[2],
                               bench::kTextColour[3]);
        for (int i = 0; i < args.count; ++i) {
            sf::Text text(bench::line(i), font, 16);
            text.setPosition(float(bench::lineX(i)), float(bench::lineY(i)));
            text.setFillColor(colour);
            texts.push_back(text);
        }
    }

    // The flames: eight textures, one per frame, and a sprite per flame.
    std::vector<sf::Texture> flameTextures(flames ? bench::kFlameFrames : 0);
    for (int i = 0; i < int(flameTextures.size()); ++i) {
        if (!flameTextures[std::size_t(i)].loadFromFile(bench::flameFile(i)))
            return 1;
        flameTextures[std::size_t(i)].setSmooth(general);
    }
    const std::vector<bench::Flame> flameScene =
        flames ? bench::flames(args.count, general) : std::vector<bench::Flame>();
    std::vector<sf::Sprite> flameSprites;
    for (const bench::Flame& f : flameScene) {
        const bench::Placement& p = f.place;
        sf::Sprite sprite(flameTextures[std::size_t(f.phase)]);
        const float halfWidth = 0.5f * float(bench::kFlameWidth), halfHeight = 0.5f * float(bench::kFlameHeight);
        sprite.setOrigin(halfWidth, halfHeight);
        sprite.setPosition(p.x + p.scale * halfWidth, p.y + p.scale * halfHeight);
        sprite.setScale(p.scale, p.scale);
        sprite.setRotation(p.angle);
        sprite.setColor(sf::Color(f.tint[0], f.tint[1], f.tint[2], f.tint[3]));
        flameSprites.push_back(sprite);
    }
    // The flames from the trimmed atlas page: one vertex array refilled every frame.
    std::vector<AtlasFrame> atlasFrames;
    std::string atlasPage;
    sf::Texture page;
    sf::VertexArray flameQuads(sf::Quads);
    const std::vector<bench::Flame> atlasScene =
        atlasFlames ? bench::flames(args.count, general) : std::vector<bench::Flame>();
    if (atlasFlames) {
        if (!readAtlas(QUARL_BENCH_FLAME_ATLAS, atlasFrames, atlasPage) || !page.loadFromFile(atlasPage)) {
            std::fprintf(stderr, "The flame atlas %s did not read.\n", QUARL_BENCH_FLAME_ATLAS);
            return 1;
        }
        page.setSmooth(general);
    }
    // The visible tiles or the static chunks: the tileset, and for chunks every chunk built once.
    const int chunkTilesSide = 32;
    sf::Texture tileset;
    sf::VertexArray visible(sf::Quads);
    std::vector<sf::VertexArray> chunks;
    const int chunksAcross = (args.count + chunkTilesSide - 1) / chunkTilesSide;
    if (visibleTiles || chunkTiles) {
        if (!tileset.loadFromFile(bench::kTilesetPath))
            return 1;
        const int columns = int(tileset.getSize().x) / bench::kTileSize;
        for (int cy = 0; chunkTiles && cy < chunksAcross; ++cy)
            for (int cx = 0; cx < chunksAcross; ++cx) {
                chunks.emplace_back(sf::Quads);
                sf::VertexArray& chunk = chunks.back();
                for (int row = cy * chunkTilesSide; row < std::min(args.count, (cy + 1) * chunkTilesSide); ++row)
                    for (int column = cx * chunkTilesSide;
                         column < std::min(args.count, (cx + 1) * chunkTilesSide); ++column) {
                        sf::Vertex quad[4];
                        tileQuad(quad, column, row, columns);
                        for (const sf::Vertex& v : quad)
                            chunk.append(v);
                    }
            }
    }
    // The tile map, as the tutorial builds it from a level of tile numbers.
    TileMap map;
    if (args.mode == "tilemap") {
        std::vector<int> level(std::size_t(args.count) * std::size_t(args.count));
        for (int row = 0; row < args.count; ++row)
            for (int column = 0; column < args.count; ++column)
                level[std::size_t(row) * std::size_t(args.count) + std::size_t(column)] =
                    bench::tileOf(column, row);
        if (!map.load(bench::kTilesetPath, sf::Vector2u(bench::kTileSize, bench::kTileSize), level.data(),
                      unsigned(args.count), unsigned(args.count)))
            return 1;
    }
    bench::Stepper stepper;
    long drawCalls = 0;

    bool wrote = true;
    bench::measure(
        args,
        args.mode == "text" ? long(args.count) * bench::kLineLength
        : tileMap           ? 1
                            : args.count,
        [&] {
            window.clear(sf::Color::Black);
            for (const sf::Sprite& sprite : sprites)
                window.draw(sprite);
            for (const sf::Text& text : texts)
                window.draw(text);
            if (flames) {
                const long step = stepper.next();
                for (std::size_t i = 0; i < flameSprites.size(); ++i) {
                    flameSprites[i].setTexture(flameTextures[std::size_t(bench::flameFrame(flameScene[i], step))]);
                    window.draw(flameSprites[i]);
                }
                drawCalls = long(flameSprites.size());
            }
            if (atlasFlames) {
                const long step = stepper.next();
                flameQuads.clear();
                for (const bench::Flame& f : atlasScene) {
                    const AtlasFrame& fr = atlasFrames[std::size_t(bench::flameFrame(f, step))];
                    float at[4][2];
                    bench::partCorners(f.place, fr.sourceWidth, fr.sourceHeight, fr.offsetX, fr.offsetY, fr.width,
                                       fr.height, at);
                    const float texels[4][2] = {{fr.x, fr.y},
                                                {fr.x + fr.width, fr.y},
                                                {fr.x + fr.width, fr.y + fr.height},
                                                {fr.x, fr.y + fr.height}};
                    const sf::Color tint(f.tint[0], f.tint[1], f.tint[2], f.tint[3]);
                    for (int c = 0; c < 4; ++c)
                        flameQuads.append(sf::Vertex(sf::Vector2f(at[c][0], at[c][1]), tint,
                                                     sf::Vector2f(texels[c][0], texels[c][1])));
                }
                window.draw(flameQuads, &page);
                drawCalls = 1;
            }
            if (tileMap) {
                int x = 0, y = 0;
                bench::mapView(stepper.next(), args.count, x, y);
                window.setView(
                    sf::View(sf::FloatRect(float(x), float(y), float(windowWidth), float(windowHeight))));
                const int firstColumn = x / bench::kTileSize, firstRow = y / bench::kTileSize;
                const int columnEnd =
                    std::min(args.count, (x + windowWidth + bench::kTileSize - 1) / bench::kTileSize);
                const int rowEnd =
                    std::min(args.count, (y + windowHeight + bench::kTileSize - 1) / bench::kTileSize);
                if (visibleTiles) {
                    const int columns = int(tileset.getSize().x) / bench::kTileSize;
                    visible.resize(std::size_t(columnEnd - firstColumn) * std::size_t(rowEnd - firstRow) * 4);
                    std::size_t at = 0;
                    for (int row = firstRow; row < rowEnd; ++row)
                        for (int column = firstColumn; column < columnEnd; ++column, at += 4)
                            tileQuad(&visible[at], column, row, columns);
                    window.draw(visible, &tileset);
                    drawCalls = 1;
                } else if (chunkTiles) {
                    drawCalls = 0;
                    for (int cy = firstRow / chunkTilesSide; cy <= (rowEnd - 1) / chunkTilesSide; ++cy)
                        for (int cx = firstColumn / chunkTilesSide; cx <= (columnEnd - 1) / chunkTilesSide; ++cx) {
                            window.draw(chunks[std::size_t(cy) * std::size_t(chunksAcross) + std::size_t(cx)],
                                        &tileset);
                            ++drawCalls;
                        }
                } else {
                    window.draw(map);
                    drawCalls = 1;
                }
            }
        },
        [&] {
            window.display();
            sf::Event event;
            while (window.pollEvent(event)) { }
        },
        [&] {
            std::vector<uint8_t> rgba(std::size_t(windowWidth) * std::size_t(windowHeight) * 4);
            window.setActive(true);
            glReadBuffer(GL_BACK);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, windowWidth, windowHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
            wrote = bench::writeFrame(args.framePath, rgba);
        });
    if (flames || atlasFlames || tileMap)
        std::printf("DRAWCALLS %ld\n", drawCalls);
    window.close();
    return wrote ? 0 : 1;
}
