#include "engine/sprite/TextureAtlas.h"

#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/core/LogText.h"
#include "engine/core/RegularFile.h"
#include "engine/core/WholeFile.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/texture/Texture.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

// A descriptor of thousands of frames is a few megabytes; a larger file is not read into memory.
const uint64_t kMaxDescriptorBytes = uint64_t(64) << 20;

// Reads the whole file; empty with the reason in failure when it cannot.
std::string readFile(const std::string& path, std::string& failure)
{
    std::string text;
    int error = 0;
    switch (CWholeFile::read(path, kMaxDescriptorBytes, text, &error)) {
    case CWholeFile::kNone:
        failure.clear();
        break;
    case CWholeFile::kNotRegular:
        failure = CRegularFile::refusal(path);
        if (failure.empty())  // replaced by a regular file since it was opened
            failure = "the file cannot be read";
        break;
    case CWholeFile::kTooLarge:
        failure = "the file is larger than 64 MiB";
        break;
    case CWholeFile::kNulInName:
    case CWholeFile::kMissing:
    case CWholeFile::kCannotOpen:
        failure = std::string("the file cannot be opened: ") + std::strerror(error != 0 ? error : ENOENT);
        break;
    case CWholeFile::kUnreadable:
        failure = "the file cannot be read";
        break;
    }
    return text;
}

std::string sizeText(float width, float height)
{
    return std::to_string(long(width)) + " x " + std::to_string(long(height));
}

// Edges of a frame's rectangle on its page (CAtlasDescriptor::Frame::pageWidth and pageHeight).
enum Edge : unsigned { kLeftEdge = 1, kRightEdge = 2, kTopEdge = 4, kBottomEdge = 8 };

uint64_t g_touchingSteps = 0;

// A rectangle of texels [x0, x1) x [y0, y1) on a page.
struct Box {
    int64_t x0, y0, x1, y1;
};

// For each query (qx, qy), how many of the points (px, py) have px <= qx and py <= qy: the points
// join a Fenwick tree over their y in order of x as a sweep over the queries' x passes them.
std::vector<uint64_t> dominated(const std::vector<std::pair<int64_t, int64_t>>& points,
                                const std::vector<std::pair<int64_t, int64_t>>& queries)
{
    std::vector<int64_t> ys;
    for (const auto& point : points)
        ys.push_back(point.second);
    std::sort(ys.begin(), ys.end());
    std::vector<std::size_t> pointOrder(points.size()), queryOrder(queries.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        pointOrder[i] = i;
    for (std::size_t i = 0; i < queries.size(); ++i)
        queryOrder[i] = i;
    std::sort(pointOrder.begin(), pointOrder.end(),
              [&](std::size_t a, std::size_t b) { return points[a].first < points[b].first; });
    std::sort(queryOrder.begin(), queryOrder.end(),
              [&](std::size_t a, std::size_t b) { return queries[a].first < queries[b].first; });
    std::vector<uint64_t> tree(ys.size() + 1, 0), counts(queries.size(), 0);
    std::size_t next = 0;
    for (std::size_t q : queryOrder) {
        for (; next < pointOrder.size() && points[pointOrder[next]].first <= queries[q].first; ++next) {
            const int64_t y = points[pointOrder[next]].second;
            for (std::size_t i = std::lower_bound(ys.begin(), ys.end(), y) - ys.begin() + 1; i < tree.size();
                 i += i & (~i + 1), ++g_touchingSteps)
                ++tree[i];
        }
        uint64_t count = 0;
        for (std::size_t i = std::upper_bound(ys.begin(), ys.end(), queries[q].second) - ys.begin(); i > 0;
             i -= i & (~i + 1), ++g_touchingSteps)
            count += tree[i];
        counts[q] = count;
    }
    return counts;
}

// How many of the boxes overlap each query: all of them, less those wholly left of, right of,
// above or below it, plus those wholly beyond two sides at once (diagonally away), which were taken
// away twice. Costs (boxes + queries) log boxes however the boxes lie, where looking at each box
// near a query would cost the square of a column's frames.
std::vector<uint64_t> overlapCounts(const std::vector<Box>& boxes, const std::vector<Box>& queries)
{
    std::vector<int64_t> lefts, rights, tops, bottoms;
    std::vector<std::pair<int64_t, int64_t>> leftAbove, leftBelow, rightAbove, rightBelow;
    for (const Box& box : boxes) {
        lefts.push_back(box.x0);
        rights.push_back(box.x1);
        tops.push_back(box.y0);
        bottoms.push_back(box.y1);
        leftAbove.push_back({box.x1, box.y1});
        leftBelow.push_back({box.x1, -box.y0});
        rightAbove.push_back({-box.x0, box.y1});
        rightBelow.push_back({-box.x0, -box.y0});
    }
    std::sort(lefts.begin(), lefts.end());
    std::sort(rights.begin(), rights.end());
    std::sort(tops.begin(), tops.end());
    std::sort(bottoms.begin(), bottoms.end());
    std::vector<std::pair<int64_t, int64_t>> qLeftAbove, qLeftBelow, qRightAbove, qRightBelow;
    for (const Box& q : queries) {
        qLeftAbove.push_back({q.x0, q.y0});
        qLeftBelow.push_back({q.x0, -q.y1});
        qRightAbove.push_back({-q.x1, q.y0});
        qRightBelow.push_back({-q.x1, -q.y1});
    }
    const std::vector<uint64_t> la = dominated(leftAbove, qLeftAbove), lb = dominated(leftBelow, qLeftBelow),
                                ra = dominated(rightAbove, qRightAbove), rb = dominated(rightBelow, qRightBelow);
    std::vector<uint64_t> counts(queries.size());
    for (std::size_t i = 0; i < queries.size(); ++i) {
        const Box& q = queries[i];
        const uint64_t left = std::upper_bound(rights.begin(), rights.end(), q.x0) - rights.begin();
        const uint64_t right = lefts.end() - std::lower_bound(lefts.begin(), lefts.end(), q.x1);
        const uint64_t above = std::upper_bound(bottoms.begin(), bottoms.end(), q.y0) - bottoms.begin();
        const uint64_t below = tops.end() - std::lower_bound(tops.begin(), tops.end(), q.y1);
        counts[i] = boxes.size() + la[i] + lb[i] + ra[i] + rb[i] - left - right - above - below;
    }
    return counts;
}

bool overlaps(const Box& a, const Box& b)
{
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

// For each frame, the edges whose next row or column of texels outside belongs to another frame of
// its page: the texels linear filtering reaches past that edge. Pages are uploaded with GL_REPEAT
// (CTexture), so past the page's edge it reads the opposite edge. A corner's diagonal texel counts
// for its left or right edge, whose inset keeps filtering off that column too.
std::vector<unsigned> edgesBesideOtherFrames(const CAtlasDescriptor& descriptor)
{
    const std::vector<CAtlasDescriptor::Frame>& frames = descriptor.getFrames();
    std::vector<unsigned> edges(frames.size(), 0);
    for (std::size_t onPage = 0; onPage < descriptor.getPages().size(); ++onPage) {
        const CAtlasDescriptor::Page& page = descriptor.getPages()[onPage];
        std::vector<std::size_t> members;
        std::vector<Box> boxes, strips;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const CAtlasDescriptor::Frame& frame = frames[i];
            if (frame.page != onPage || frame.pageWidth() == 0 || frame.pageHeight() == 0)
                continue;
            const int64_t x = frame.x, y = frame.y, w = frame.pageWidth(), h = frame.pageHeight();
            members.push_back(i);
            boxes.push_back({x, y, x + w, y + h});
            const int64_t left = x == 0 ? page.width - 1 : x - 1, right = (x + w) % page.width;
            const int64_t above = y == 0 ? page.height - 1 : y - 1, below = (y + h) % page.height;
            // Eight strips a frame, in this order: left side and its two corners, the same on the
            // right, then the rows above and below.
            for (int64_t column : {left, right}) {
                strips.push_back({column, y, column + 1, y + h});
                strips.push_back({column, above, column + 1, above + 1});
                strips.push_back({column, below, column + 1, below + 1});
            }
            strips.push_back({x, above, x + w, above + 1});
            strips.push_back({x, below, x + w, below + 1});
        }
        const std::vector<uint64_t> counts = overlapCounts(boxes, strips);
        // A strip is beside another frame when something other than the frame itself covers it (a
        // frame as wide or tall as its page covers its own wrapped strips).
        auto beside = [&](std::size_t member, std::size_t strip) {
            const std::size_t k = 8 * member + strip;
            return counts[k] > (overlaps(boxes[member], strips[k]) ? 1u : 0u);
        };
        for (std::size_t m = 0; m < members.size(); ++m) {
            unsigned& found = edges[members[m]];
            if (beside(m, 0) || beside(m, 1) || beside(m, 2))
                found |= kLeftEdge;
            if (beside(m, 3) || beside(m, 4) || beside(m, 5))
                found |= kRightEdge;
            if (beside(m, 6))
                found |= kTopEdge;
            if (beside(m, 7))
                found |= kBottomEdge;
        }
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

uint64_t CTextureAtlas::touchingSteps()
{
    return g_touchingSteps;
}

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
    CLog::line("Loading Atlas: " + CLogText::oneLine(path));
    std::string failure;
    const std::string text = readFile(path, failure);
    if (!failure.empty()) {
        fail(path, failure);
        CDataFiles::noteMissing(name);
        return false;
    }
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

    static unsigned loadsMade = 0;
    currentLoad = std::make_shared<unsigned>(++loadsMade == 0 ? ++loadsMade : loadsMade);
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
        region.atlasLoad = currentLoad;
        region.load = *currentLoad;
        regions.push_back(region);
    }
    fileName = path;
    return true;
}

bool CTextureAtlas::fail(const std::string& path, const std::string& what)
{
    CLog::line(CLogText::oneLine("Failed to load the atlas: " + path + ", Error: " + what));
    clear();
    return false;
}

void CTextureAtlas::clear()
{
    fileName.clear();
    descriptor.clear();
    regions.clear();
    pages.clear();
    currentLoad.reset();  // what regions are still held goes stale
}

bool CTextureAtlas::usable(const CAtlasRegion& region)
{
    if (!region.isStale())
        return region.texture != nullptr;
    static unsigned saidFor = 0;
    if (saidFor != region.load) {
        saidFor = region.load;
        CLog::line("Skipped drawing a stale atlas region: its atlas has loaded again or is gone since "
                   "the region was taken");
    }
    return false;
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
    if (!usable(region))
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
    if (!usable(region))
        return;
    const CVector2 at = placement(region, x, y, scale, angle);
    batch.addAtlasRegion(region, at.x, at.y, scale, angle, red, green, blue, alpha);
}
