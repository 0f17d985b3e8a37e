// The peer: SFML 2.5 drawing the shared scene the way an SFML program would, one sf::Sprite per
// quad or one sf::Text per line (DejaVu Sans Mono at 16 pixels, the size of the engine's glyph
// sheet), in SFML's own state. Run through bench_runner by scripts/bench.sh.
//   sfml_bench <sprite|sprite-general|text> <quads or lines per frame> <seconds> [last frame file]
// "sprite-general" draws the quads rotated, scaled and off the pixel grid, with a smooth texture;
// "text-sans" the lines in DejaVu Sans (the TrueType figures); "width" prints "WIDTH <pixels>", the
// width of the first line at <count> pixels, and draws nothing.
#include "bench/BenchScene.h"

#include <SFML/Graphics.hpp>

#include <GL/gl.h>

#include <cstdio>
#include <vector>

namespace {

const char kFontPath[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

} // namespace

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
    if (!parsed || (args.mode != "sprite" && args.mode != "text") || (general && args.mode != "sprite")) {
        std::fprintf(stderr, "Usage: %s <sprite|sprite-general|text> <count> <seconds> [frame file]\n", argv[0]);
        return 2;
    }
    // SFML reports that the X server offers no vertical sync on every window; the runner shows
    // stderr, and the figures need no vsync anyway.
    sf::err().rdbuf(nullptr);
    sf::RenderWindow window(sf::VideoMode(bench::kWindowWidth, bench::kWindowHeight), "sfml_bench",
                            sf::Style::Titlebar | sf::Style::Close);

    sf::Image image;
    const std::vector<uint8_t> pixels = bench::texturePixels();
    image.create(bench::kTextureSize, bench::kTextureSize, pixels.data());
    sf::Texture texture;
    sf::Font font;
    if (!texture.loadFromImage(image) || (args.mode == "text" && !font.loadFromFile(sans ? bench::kSansPath : kFontPath)))
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

    bool wrote = true;
    bench::measure(
        args, args.mode == "text" ? long(args.count) * bench::kLineLength : args.count,
        [&] {
            window.clear(sf::Color::Black);
            for (const sf::Sprite& sprite : sprites)
                window.draw(sprite);
            for (const sf::Text& text : texts)
                window.draw(text);
        },
        [&] {
            window.display();
            sf::Event event;
            while (window.pollEvent(event)) {
            }
        },
        [&] {
            std::vector<uint8_t> rgba(std::size_t(bench::kWindowWidth) * bench::kWindowHeight * 4);
            window.setActive(true);
            glReadBuffer(GL_BACK);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, bench::kWindowWidth, bench::kWindowHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                         rgba.data());
            wrote = bench::writeFrame(args.framePath, rgba);
        });
    window.close();
    return wrote ? 0 : 1;
}
