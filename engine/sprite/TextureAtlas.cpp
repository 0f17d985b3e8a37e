#include "engine/sprite/TextureAtlas.h"

#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/core/RegularFile.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/texture/Texture.h"

#include <algorithm>
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
    // Checked before opening, which waits on a pipe for a writer.
    failure = CRegularFile::refusal(path);
    if (!failure.empty())
        return std::string();
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

// Edges of a frame's rectangle on its page (CAtlasDescriptor::Frame::pageWidth and pageHeight).
enum Edge : unsigned { kLeftEdge = 1, kRightEdge = 2, kTopEdge = 4, kBottomEdge = 8 };

// For each frame, the edges whose next row or column of texels outside belongs to another frame of
// its page: the texels linear filtering reaches past that edge. Pages are uploaded with GL_REPEAT
// (CTexture), so past the page's edge it reads the opposite edge. A corner's diagonal texel counts
// for its left or right edge, whose inset keeps filtering off that column too.
std::vector<unsigned> edgesBesideOtherFrames(const CAtlasDescriptor& descriptor)
{
    const std::vector<CAtlasDescriptor::Frame>& frames = descriptor.getFrames();
    std::vector<unsigned> edges(frames.size(), 0);
    // Frames in order of their left edge, so that a strip's candidates are a short run of them.
    std::vector<std::size_t> byLeft;
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (frames[i].pageWidth() > 0 && frames[i].pageHeight() > 0)
            byLeft.push_back(i);
    std::sort(byLeft.begin(), byLeft.end(),
              [&](std::size_t a, std::size_t b) { return frames[a].x < frames[b].x; });
    uint32_t widest = 0;
    for (std::size_t i : byLeft)
        widest = std::max(widest, frames[i].pageWidth());

    // True when a frame other than self on self's page covers a texel of the w x h strip at (x, y).
    auto covered = [&](std::size_t self, uint64_t x, uint64_t y, uint64_t w, uint64_t h) {
        const uint64_t from = x + 1 > widest ? x + 1 - widest : 0;
        auto at = std::lower_bound(byLeft.begin(), byLeft.end(), from,
                                   [&](std::size_t i, uint64_t left) { return frames[i].x < left; });
        for (; at != byLeft.end() && frames[*at].x < x + w; ++at) {
            const CAtlasDescriptor::Frame& other = frames[*at];
            if (*at != self && other.page == frames[self].page && uint64_t(other.x) + other.pageWidth() > x &&
                other.y < y + h && uint64_t(other.y) + other.pageHeight() > y)
                return true;
        }
        return false;
    };
    for (std::size_t i : byLeft) {
        const CAtlasDescriptor::Frame& frame = frames[i];
        const CAtlasDescriptor::Page& page = descriptor.getPages()[frame.page];
        const uint64_t left = frame.x == 0 ? page.width - 1 : frame.x - 1;
        const uint64_t right = (uint64_t(frame.x) + frame.pageWidth()) % page.width;
        const uint64_t above = frame.y == 0 ? page.height - 1 : frame.y - 1;
        const uint64_t below = (uint64_t(frame.y) + frame.pageHeight()) % page.height;
        const uint64_t w = frame.pageWidth(), h = frame.pageHeight();
        if (covered(i, left, frame.y, 1, h) || covered(i, left, above, 1, 1) || covered(i, left, below, 1, 1))
            edges[i] |= kLeftEdge;
        if (covered(i, right, frame.y, 1, h) || covered(i, right, above, 1, 1) || covered(i, right, below, 1, 1))
            edges[i] |= kRightEdge;
        if (covered(i, frame.x, above, w, 1))
            edges[i] |= kTopEdge;
        if (covered(i, frame.x, below, w, 1))
            edges[i] |= kBottomEdge;
    }
    return edges;
}

// The region drawn in by half a texel on the given edges (a side one texel long keeps its middle).
CTextureRegion inset(const CTextureRegion& region, unsigned edges, double pageWidth, double pageHeight)
{
    CTextureRegion inner = region;
    const float across = float(0.5 / pageWidth), down = float(0.5 / pageHeight);
    if (edges & kLeftEdge)
        inner.left += across;
    if (edges & kRightEdge)
        inner.right -= across;
    if (edges & kTopEdge)
        inner.top -= down;
    if (edges & kBottomEdge)
        inner.bottom += down;
    if (inner.left > inner.right)
        inner.left = inner.right = 0.5f * (region.left + region.right);
    if (inner.bottom > inner.top)
        inner.bottom = inner.top = 0.5f * (region.bottom + region.top);
    return inner;
}

bool sameRegion(const CTextureRegion& a, const CTextureRegion& b)
{
    return a.left == b.left && a.right == b.right && a.top == b.top && a.bottom == b.bottom;
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

    const std::vector<unsigned> edges = edgesBesideOtherFrames(descriptor);
    for (std::size_t i = 0; i < descriptor.getFrames().size(); ++i) {
        const CAtlasDescriptor::Frame& frame = descriptor.getFrames()[i];
        const CAtlasDescriptor::Page& page = descriptor.getPages()[frame.page];
        const double w = page.width, h = page.height;
        CAtlasRegion region{};
        region.texture = pages[frame.page].get();
        // Texture coordinates count t from the picture's bottom edge; the descriptor counts y down
        // from its top.
        region.region.left = float(frame.x / w);
        region.region.right = float((frame.x + double(frame.pageWidth())) / w);
        region.region.top = float(1.0 - frame.y / h);
        region.region.bottom = float(1.0 - (frame.y + double(frame.pageHeight())) / h);
        region.inner = inset(region.region, edges[i], w, h);
        region.rotated = frame.rotated;
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
    // CTexture::drawRegion shows a region at its own size and unturned on the page: right for an
    // unturned part whose exact edges it may sample (no other frame beside them, or landing texel
    // for pixel). Any other part goes through a batch of one quad, which turns it and samples its
    // inner region; the batch's product of texel and tint may then differ from shader 0's by a step.
    const bool exactEdges = sameRegion(region.inner, region.region) ||
                            (scale == 1.0f && angle == 0.0f && at.x == std::floor(at.x) &&
                             at.y == std::floor(at.y) && CSpriteBatch::matricesMoveByWholePixels());
    if (!region.rotated && exactEdges) {
        region.texture->drawRegion(at.x, at.y, region.region, scale, angle, red, green, blue, alpha);
        return;
    }
    static CSpriteBatch one;  // keeps its arrays between draws; main thread only
    one.begin();
    one.addAtlasRegion(region, at.x, at.y, scale, angle, red, green, blue, alpha);
    one.end();
}

void CTextureAtlas::add(CSpriteBatch& batch, const CAtlasRegion& region, float x, float y, float scale,
                        float angle, float red, float green, float blue, float alpha)
{
    if (region.texture == nullptr)
        return;
    const CVector2 at = placement(region, x, y, scale, angle);
    batch.addAtlasRegion(region, at.x, at.y, scale, angle, red, green, blue, alpha);
}
