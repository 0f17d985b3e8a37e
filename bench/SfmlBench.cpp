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
#include "bench/BenchScene.h"

#include <SFML/Graphics.hpp>

#include <GL/gl.h>

#include <cstdio>
#include <string>
#include <vector>

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
    const bool flames = args.mode == "flames", tileMap = args.mode == "tilemap";
    if (!parsed || (args.mode != "sprite" && args.mode != "text" && !flames && !tileMap) ||
        (general && args.mode != "sprite" && !flames)) {
        std::fprintf(
            stderr,
            "Usage: %s <sprite|sprite-general|text|text-sans|flames|flames-general|tilemap> <count> <seconds> "
            "[frame file]\n",
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
    // The tile map, as the tutorial builds it from a level of tile numbers.
    TileMap map;
    if (tileMap) {
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
            if (tileMap) {
                int x = 0, y = 0;
                bench::mapView(stepper.next(), args.count, x, y);
                window.setView(
                    sf::View(sf::FloatRect(float(x), float(y), float(windowWidth), float(windowHeight))));
                window.draw(map);
                drawCalls = 1;
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
    if (flames || tileMap)
        std::printf("DRAWCALLS %ld\n", drawCalls);
    window.close();
    return wrote ? 0 : 1;
}
