// The peer: SFML 2.5 drawing the shared scene the way an SFML program would, one sf::Sprite per
// quad or one sf::Text per line (DejaVu Sans Mono at 16 pixels, the size of the engine's glyph
// sheet), in SFML's own state. Run through bench_runner by scripts/bench.sh.
//   sfml_bench <sprite|text> <quads or lines per frame> <seconds> [last frame file]
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
    if (!bench::parseArguments(argc, argv, args) || (args.mode != "sprite" && args.mode != "text")) {
        std::fprintf(stderr, "Usage: %s <sprite|text> <count> <seconds> [frame file]\n", argv[0]);
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
    if (!texture.loadFromImage(image) || (args.mode == "text" && !font.loadFromFile(kFontPath)))
        return 1;

    std::vector<sf::Sprite> sprites;
    std::vector<sf::Text> texts;
    if (args.mode == "sprite") {
        for (int i = 0; i < args.count; ++i) {
            const bench::Quad q = bench::quad(i);
            sf::Sprite sprite(texture);
            sprite.setPosition(float(q.x), float(q.y));
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
