// libFuzzer target for the image-size check that runs before any image is decoded: the bytes become
// a file (a memfd, opened by its /proc name as the loaders open a path) whose width, height and
// smallest honest length CImageLimits reads from the header of every kind it knows. A crash, a
// sanitizer report, a walk through GIF blocks that does not end, or a minimum length smaller than
// the header it was read from is a finding. Build and run it with scripts/fuzz.sh.
#include "engine/texture/ImageLimits.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static const int file = memfd_create("image_header", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    if (file < 0 || ftruncate(file, 0) != 0 || pwrite(file, data, size, 0) != ssize_t(size))
        std::abort();
    for (bool asTga : {false, true}) {
        uint32_t width = 0, height = 0;
        CImageLimits::readSize(path, asTga, width, height);
        const uint64_t minimum = CImageLimits::minimumBytes(path, asTga);
        if (minimum != 0 && minimum < 18)
            std::abort();
    }
    return 0;
}
