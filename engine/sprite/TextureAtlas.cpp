#include "engine/sprite/TextureAtlas.h"

#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/texture/Texture.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A descriptor of thousands of frames is a few megabytes; a larger file is not read into memory.
const long kMaxDescriptorBytes = 64L << 20;

// Reads the whole file; empty with the reason in failure when it cannot.
std::string readFile(const std::string& path, std::string& failure)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        failure = std::string("the file cannot be opened: ") + std::strerror(errno);
        return std::string();
    }
    std::string text;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        // A folder opens on Linux, but neither seeks to a size nor reads.
        failure = "the file cannot be read";
    } else if (size > kMaxDescriptorBytes) {
        failure = "the file is larger than 64 MiB";
    } else {
        text.resize(std::size_t(size));
        if (size > 0 && std::fread(&text[0], 1, text.size(), file) != text.size()) {
            failure = "the file cannot be read";
            text.clear();
        }
    }
    std::fclose(file);
    return text;
}

std::string oneLine(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return text;
}

std::string sizeText(float width, float height)
{
    return std::to_string(long(width)) + " x " + std::to_string(long(height));
}

}  // namespace

CTextureAtlas::CTextureAtlas()
{
}

CTextureAtlas::CTextureAtlas(const std::string& name)
{
    load(name);
}

CTextureAtlas::~CTextureAtlas()
{
}

bool CTextureAtlas::load(const std::string& name)
{
    clear();
    const std::string path = CDataFiles::path(name);
    CLog::line("Loading Atlas: " + oneLine(path));
    std::string failure;
    const std::string text = readFile(path, failure);
    if (!failure.empty())
        return fail(path, failure);
    if (!descriptor.parse(text))
        return fail(path, descriptor.getError());

    // Page images are named from the descriptor's folder, as the packers write them.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    for (const CAtlasDescriptor::Page& page : descriptor.getPages()) {
        const std::string image = page.image[0] == '/' ? page.image : folder + page.image;
        if (CDataFiles::find(image).empty())
            return fail(path, "the page image " + image + " does not exist");
        std::unique_ptr<CTexture> texture(new CTexture());
        texture->load(image);
        if (!texture->isLoaded())
            return fail(path, "the page image " + image + " did not load");
        // The frames are placed in the descriptor's page size; in another they would be misplaced.
        if (texture->width != float(page.width) || texture->height != float(page.height))
            return fail(path, "the page image " + image + " is " + sizeText(texture->width, texture->height) +
                                  " pixels, the descriptor says " +
                                  sizeText(float(page.width), float(page.height)));
        pages.push_back(std::move(texture));
    }

    for (const CAtlasDescriptor::Frame& frame : descriptor.getFrames()) {
        const CAtlasDescriptor::Page& page = descriptor.getPages()[frame.page];
        const double w = page.width, h = page.height;
        CAtlasRegion region{};
        region.texture = pages[frame.page].get();
        // Texture coordinates count t from the picture's bottom edge; the descriptor counts y down
        // from its top. Exact on power-of-two pages, as make_atlas writes them.
        region.region.left = float(frame.x / w);
        region.region.right = float((frame.x + double(frame.width)) / w);
        region.region.top = float(1.0 - frame.y / h);
        region.region.bottom = float(1.0 - (frame.y + double(frame.height)) / h);
        region.width = float(frame.width);
        region.height = float(frame.height);
        region.offsetX = float(frame.offsetX);
        region.offsetY = float(frame.offsetY);
        region.sourceWidth = float(frame.sourceWidth);
        region.sourceHeight = float(frame.sourceHeight);
        regions.push_back(region);
    }
    fileName = path;
    return true;
}

bool CTextureAtlas::fail(const std::string& path, const std::string& what)
{
    CLog::line(oneLine("Failed to load the atlas: " + path + ", Error: " + what));
    clear();
    return false;
}

void CTextureAtlas::clear()
{
    fileName.clear();
    descriptor.clear();
    regions.clear();
    pages.clear();
}

bool CTextureAtlas::isLoaded() const
{
    return !fileName.empty();
}

const std::string& CTextureAtlas::getFileName() const
{
    return fileName;
}

const CAtlasRegion* CTextureAtlas::find(const std::string& name) const
{
    return getRegion(descriptor.findFrame(name));
}

const CAtlasRegion* CTextureAtlas::getRegion(std::size_t index) const
{
    return index < regions.size() ? &regions[index] : nullptr;
}

std::size_t CTextureAtlas::getRegionCount() const
{
    return regions.size();
}

std::size_t CTextureAtlas::getPageCount() const
{
    return pages.size();
}

const CAtlasDescriptor& CTextureAtlas::getDescriptor() const
{
    return descriptor;
}

CVector2 CTextureAtlas::placement(const CAtlasRegion& region, float x, float y, float scale, float angle)
{
    if (angle == 0.0f)
        return CVector2(x + scale * region.offsetX, y + scale * region.offsetY);
    // The source turns about its centre C, the drawn part about its own centre c, so the part's
    // corner moves by C + R(offset + c - C) - c, scaled with everything else.
    const double radians = double(angle) * M_PI / 180.0;
    const double cosine = std::cos(radians), sine = std::sin(radians);
    const double sourceCentreX = 0.5 * region.sourceWidth, sourceCentreY = 0.5 * region.sourceHeight;
    const double partCentreX = 0.5 * region.width, partCentreY = 0.5 * region.height;
    const double dx = region.offsetX + partCentreX - sourceCentreX;
    const double dy = region.offsetY + partCentreY - sourceCentreY;
    const double cornerX = sourceCentreX + cosine * dx - sine * dy - partCentreX;
    const double cornerY = sourceCentreY + sine * dx + cosine * dy - partCentreY;
    return CVector2(float(x + scale * cornerX), float(y + scale * cornerY));
}

void CTextureAtlas::draw(const CAtlasRegion& region, float x, float y, float scale, float angle, float red,
                         float green, float blue, float alpha)
{
    if (region.texture == nullptr)
        return;
    const CVector2 at = placement(region, x, y, scale, angle);
    region.texture->drawRegion(at.x, at.y, region.region, scale, angle, red, green, blue, alpha);
}

void CTextureAtlas::add(CSpriteBatch& batch, const CAtlasRegion& region, float x, float y, float scale,
                        float angle, float red, float green, float blue, float alpha)
{
    if (region.texture == nullptr)
        return;
    const CVector2 at = placement(region, x, y, scale, angle);
    batch.addRegion(*region.texture, at.x, at.y, region.region, scale, angle, red, green, blue, alpha);
}
