// libFuzzer target for the BMP path of CUtils::loadBMPTexture up to the upload: the size check with a
// texture limit of 2048, SDL's BMP reader, the check of the surface's layout, then the conversion to the bottom-up
// rows the upload takes. A crash, a sanitizer report, a leak, or memory beyond what a 2048 by 2048 image needs is
// a finding. Build and run it with scripts/fuzz.sh.
#include "engine/texture/ImageLimits.h"
#include "engine/texture/PixelUpload.h"

#include <SDL.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static const int file = memfd_create("bmp", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    if (file < 0 || ftruncate(file, 0) != 0 || pwrite(file, data, size, 0) != ssize_t(size))
        std::abort();
    if (!CImageLimits::fileRefusal(path, false, 2048).empty())
        return 0;
    SDL_Surface* surface = SDL_LoadBMP_RW(SDL_RWFromFile(path.c_str(), "rb"), 1);
    if (surface == nullptr)
        return 0;
    // SDL 1.2 returns surfaces of no pixel layout for some malformed headers (0 or 5 bytes per
    // pixel): those the path refuses unread.
    const std::vector<Uint8> pixels = CPixelUpload::convert(surface, 3, 1, true);
    if (CPixelUpload::isReadable(surface) && pixels.size() < std::size_t(surface->w) * std::size_t(surface->h) * 3)
        std::abort();
    SDL_FreeSurface(surface);
    return 0;
}
