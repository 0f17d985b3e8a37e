// libFuzzer target for the atlas descriptor reader. Each input is handed to CAtlasDescriptor::parse
// as a descriptor's text, without OpenGL or files. A crash, a sanitizer report or a broken promise
// of parse() is a finding: a failure must leave one line of reason and empty tables; a success must
// leave every frame inside its page (turned, as it covers the page) and its source, every name found again, every
// tag inside the frames. Build and run it with scripts/fuzz.sh.
#include "engine/sprite/AtlasDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CAtlasDescriptor descriptor;
    const bool parsed = descriptor.parse(std::string(reinterpret_cast<const char*>(data), size));
    const std::string& error = descriptor.getError();
    if (!parsed) {
        if (error.empty() || error.find('\n') != std::string::npos || !descriptor.getPages().empty() ||
            !descriptor.getFrames().empty() || !descriptor.getTags().empty())
            std::abort();
        return 0;
    }
    const auto& pages = descriptor.getPages();
    const auto& frames = descriptor.getFrames();
    if (!error.empty() || pages.empty())
        std::abort();
    for (const CAtlasDescriptor::Page& page : pages)
        if (page.image.empty() || page.width == 0 || page.height == 0 || page.width > CAtlasDescriptor::kMaxSide ||
            page.height > CAtlasDescriptor::kMaxSide)
            std::abort();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const CAtlasDescriptor::Frame& frame = frames[i];
        if (frame.page >= pages.size() || descriptor.findFrame(frame.name) != i)
            std::abort();
        const CAtlasDescriptor::Page& page = pages[frame.page];
        if (uint64_t(frame.x) + frame.pageWidth() > page.width ||
            uint64_t(frame.y) + frame.pageHeight() > page.height ||
            uint64_t(frame.offsetX) + frame.width > frame.sourceWidth ||
            uint64_t(frame.offsetY) + frame.height > frame.sourceHeight)
            std::abort();
    }
    for (const CAtlasDescriptor::Tag& tag : descriptor.getTags())
        if (tag.from > tag.to || tag.to >= frames.size() || descriptor.findTag(tag.name) == nullptr)
            std::abort();
    return 0;
}
