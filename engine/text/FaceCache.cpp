#include "engine/text/FaceCache.h"

#include "engine/text/FontFace.h"

CFaceCache::CFaceCache(const std::string& regular, const std::string& bold)
    : regularPath(regular),
      boldPath(bold)
{
}

CFaceCache::~CFaceCache() = default;

uint64_t CFaceCache::nextStamp()
{
    static uint64_t count = 0;
    return ++count;
}

void CFaceCache::adopt(bool bold, std::unique_ptr<CFontFace> face)
{
    if (face != nullptr) {
        const Key key(face->getPixelSize(), bold);
        keep(key, std::move(face));
    }
}

void CFaceCache::keep(const Key& key, std::unique_ptr<CFontFace> face)
{
    faces.erase(key);
    while (faces.size() >= kMaxFaces && evictOne(nullptr, false)) { }
    face->setPageBudget([this](const CFontFace& asking, std::size_t bytes) { return reservePage(asking, bytes); });
    faces[key] = Kept{std::move(face), ++uses};
}

CFontFace* CFaceCache::get(int pixelSize, bool bold)
{
    const Key key(pixelSize, bold);
    const auto known = faces.find(key);
    if (known != faces.end()) {
        known->second.lastUse = ++uses;
        return known->second.face.get();
    }
    std::string error;
    std::unique_ptr<CFontFace> face = CFontFace::load(bold ? boldPath : regularPath, pixelSize, error);
    if (face == nullptr)
        return nullptr;
    CFontFace* made = face.get();
    keep(key, std::move(face));
    return made;
}

bool CFaceCache::evictOne(const CFontFace* asking, bool withPages)
{
    auto oldest = faces.end();
    for (auto it = faces.begin(); it != faces.end(); ++it) {
        if (it->second.face.get() == asking || (withPages && it->second.face->getPageCount() == 0))
            continue;
        if (oldest == faces.end() || it->second.lastUse < oldest->second.lastUse)
            oldest = it;
    }
    if (oldest == faces.end())
        return false;
    faces.erase(oldest);
    stamp = nextStamp();
    return true;
}

bool CFaceCache::reservePage(const CFontFace& asking, std::size_t bytes)
{
    if (bytes > kPageBudget)
        return false;
    while (getPageBytes() + bytes > kPageBudget)
        if (!evictOne(&asking, true))
            return false;
    return true;
}

std::size_t CFaceCache::getFaceCount() const
{
    return faces.size();
}

std::size_t CFaceCache::getPageCount() const
{
    std::size_t count = 0;
    for (const auto& entry : faces)
        count += entry.second.face->getPageCount();
    return count;
}

std::size_t CFaceCache::getPageBytes() const
{
    std::size_t bytes = 0;
    for (const auto& entry : faces)
        bytes += entry.second.face->getPageBytes();
    return bytes;
}

uint64_t CFaceCache::getStamp() const
{
    return stamp;
}
