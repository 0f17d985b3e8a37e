// libFuzzer target for TrueType text: the bytes become a font file (a memfd opened by its /proc name,
// as a path is opened), whose faces are asked of a font's face cache at twenty sizes from 6 to 253
// pixels, more than the cache keeps, so the least recently used go as a font printing at many sizes
// lets them go. At every fourth size a text of Latin, Greek, Cyrillic, combining marks and a missing
// code point is shaped by HarfBuzz and every glyph it names rasterised on the CPU, as a draw would
// before uploading. A crash, a sanitizer report, a leak, texels that do not match the glyph's size,
// more faces kept than the cache's bound, or memory past the fuzzer's limit (a glyph rendered at a
// size no page can hold) is a finding. Build and run it with scripts/fuzz.sh.
#include "engine/text/FaceCache.h"
#include "engine/text/FontFace.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static const int file = memfd_create("font", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    if (file < 0 || ftruncate(file, 0) != 0 || pwrite(file, data, size, 0) != ssize_t(size))
        std::abort();
    const char text[] = "AV To fillip \xC3\xA9\xCC\x83 \xCE\xB1\xCE\xB2 \xD0\x96 \xE4\xB8\xAD";
    CFaceCache faces(path, path);
    std::vector<CFontFace::Placed> placed;
    std::vector<uint8_t> texels;
    for (int step = 0; step < 20; ++step) {
        const int size = CFontFace::kMinPixelSize + 13 * step;
        CFontFace* face = faces.get(size, step % 2 == 1);
        if (faces.getFaceCount() > CFaceCache::kMaxFaces)
            std::abort();
        if (face == nullptr)
            continue;
        if (step % 4 != 0)
            continue;
        placed.clear();
        face->shape(text, int(std::strlen(text)), 0, int(std::strlen(text)), 0.0f, placed);
        for (const CFontFace::Placed& glyph : placed) {
            CFontFace::Glyph shape;
            if (face->renderGlyph(glyph.index, texels, shape) &&
                texels.size() != std::size_t(shape.width + 2) * std::size_t(shape.height + 2) * 4)
                std::abort();
        }
    }
    return 0;
}
