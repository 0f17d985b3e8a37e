#include "engine/sprite/AtlasDescriptor.h"

#include "engine/core/JsonFields.h"
#include "engine/core/LogText.h"

#include <nlohmann/json.hpp>

#include <unordered_set>
#include <utility>

namespace {

// Objects are read into std::map, whose inserts cost log n; an order-keeping object searches its
// keys on every insert, which is quadratic in a hash form's frames. The frames' order, which tags
// count in, is taken from the text as it is read (FirstRead).
using Json = nlohmann::json;

const uint64_t kMaxDuration = 0x7FFFFFFF;

// A name as it goes into a failure line.
std::string shown(const std::string& name)
{
    return CLogText::quoted(name, 64);
}

std::string repeatedNameText(const std::string& name)
{
    return "the frame name " + shown(name) + " appears twice";
}

// A first read of the text, through the parser's events, that builds nothing: it stops at the first
// value nested deeper than kMaxDepth (the tree built next would be that deep) and at the first
// frame name given twice (the tree keeps only the last of an object's repeated keys), and keeps the
// hash form's frame names in the file's order. The root object is depth 1, its values' insides
// depth 2, so the frames' names are keys at depth 2 under the root's "frames".
class FirstRead {
public:
    bool null()
    {
        return true;
    }
    bool boolean(bool)
    {
        return true;
    }
    bool number_integer(Json::number_integer_t)
    {
        return true;
    }
    bool number_unsigned(Json::number_unsigned_t)
    {
        return true;
    }
    bool number_float(Json::number_float_t, const Json::string_t&)
    {
        return true;
    }
    bool string(Json::string_t&)
    {
        return true;
    }
    bool binary(Json::binary_t&)
    {
        return true;
    }
    bool start_object(std::size_t)
    {
        if (!enter())
            return false;
        if (depth == 2 && rootKey == "frames") {
            inFrames = true;
            names.clear();
            order.clear();
        }
        return true;
    }
    bool end_object()
    {
        if (depth == 2)
            inFrames = false;
        --depth;
        return true;
    }
    bool start_array(std::size_t)
    {
        return enter();
    }
    bool end_array()
    {
        --depth;
        return true;
    }
    bool key(Json::string_t& key)
    {
        if (depth == 1) {
            rootKey = key;
        } else if (depth == 2 && inFrames) {
            if (!names.insert(key).second) {
                error = repeatedNameText(key);
                return false;
            }
            order.push_back(key);
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& failure)
    {
        error = std::string("the JSON does not parse: ") + failure.what();
        return false;
    }

    std::string error;               // empty when the text may be parsed
    std::vector<std::string> order;  // the last "frames" object's names, in the file's order

private:
    bool enter()
    {
        if (++depth <= int(CAtlasDescriptor::kMaxDepth))
            return true;
        error = "the JSON is nested more than " + std::to_string(CAtlasDescriptor::kMaxDepth) + " deep";
        return false;
    }

    int depth = 0;
    std::string rootKey;  // the root's key whose value is being read
    bool inFrames = false;
    std::unordered_set<std::string> names;
};

struct Tables {
    std::vector<CAtlasDescriptor::Page> pages;
    std::vector<CAtlasDescriptor::Frame> frames;
    std::vector<CAtlasDescriptor::Tag> tags;
    std::unordered_map<std::string, std::size_t> frameByName;
};

// The descriptor's fields as CJsonFields reads them, each named by where it lies and its key.
class Reader {
public:
    bool fail(const std::string& text)
    {
        return fields.fail(text);
    }
    const std::string& getError() const
    {
        return fields.error();
    }

    // object[key] as a whole number from min to max. A missing optional key leaves value as it is.
    bool whole(const Json& object, const char* key, const std::string& where, uint64_t min, uint64_t max,
               uint64_t& value, bool required = true)
    {
        return fields.count(CJsonFields::find(object, key), where + key, required, min, max, value);
    }
    bool side(const Json& object, const char* key, const std::string& where, uint64_t min, uint32_t& value,
              bool required = true)
    {
        uint64_t read = value;
        if (!whole(object, key, where, min, CAtlasDescriptor::kMaxSide, read, required))
            return false;
        value = uint32_t(read);
        return true;
    }
    // object[key] when it is an object; null (after a failure unless optional and missing)
    // otherwise.
    const Json* member(const Json& object, const char* key, const std::string& where, bool required = true)
    {
        return fields.object(CJsonFields::find(object, key), where + key, required);
    }
    bool text(const Json& object, const char* key, const std::string& where, std::string& value,
              bool required = true)
    {
        return fields.text(CJsonFields::find(object, key), where + key, required, value);
    }
    // A boolean flag; missing reads as false.
    bool flag(const Json& object, const char* key, const std::string& where, bool& value)
    {
        value = false;
        return fields.flag(CJsonFields::find(object, key), where + key, value);
    }

private:
    CJsonFields fields;
};

bool readPage(const Json& object, const std::string& where, CAtlasDescriptor::Page& page, Reader& reader)
{
    if (!reader.text(object, "image", where, page.image))
        return false;
    if (page.image.empty())
        return reader.fail(where + "image is empty");
    const Json* size = reader.member(object, "size", where);
    return size != nullptr && reader.side(*size, "w", where + "size.", 1, page.width) &&
           reader.side(*size, "h", where + "size.", 1, page.height);
}

bool readPages(const Json& meta, Tables& tables, Reader& reader)
{
    const auto listed = meta.find("pages");
    if (listed == meta.end()) {
        CAtlasDescriptor::Page page{};
        if (!readPage(meta, "meta.", page, reader))
            return false;
        tables.pages.push_back(page);
        return true;
    }
    if (!listed->is_array() || listed->empty())
        return reader.fail("meta.pages is not a list of pages");
    for (std::size_t i = 0; i < listed->size(); ++i) {
        const std::string where = "meta.pages[" + std::to_string(i) + "].";
        const Json& entry = (*listed)[i];
        if (!entry.is_object())
            return reader.fail("meta.pages[" + std::to_string(i) + "] is not an object");
        CAtlasDescriptor::Page page{};
        if (!readPage(entry, where, page, reader))
            return false;
        tables.pages.push_back(page);
    }
    return true;
}

bool readFrame(const Json& entry, const std::string& name, Tables& tables, Reader& reader)
{
    const std::string label = "frame " + shown(name);
    if (!entry.is_object())
        return reader.fail(label + " is not an object");
    const std::string where = label + ": ";
    bool rotated = false, trimmed = false;
    if (!reader.flag(entry, "rotated", where, rotated) || !reader.flag(entry, "trimmed", where, trimmed))
        return false;
    CAtlasDescriptor::Frame frame{};
    frame.name = name;
    frame.rotated = rotated;
    const Json* rect = reader.member(entry, "frame", where);
    if (rect == nullptr || !reader.side(*rect, "x", where + "frame.", 0, frame.x) ||
        !reader.side(*rect, "y", where + "frame.", 0, frame.y) ||
        !reader.side(*rect, "w", where + "frame.", 0, frame.width) ||
        !reader.side(*rect, "h", where + "frame.", 0, frame.height))
        return false;
    uint64_t page = 0;
    if (!reader.whole(entry, "page", where, 0, UINT64_MAX, page, false))
        return false;
    if (page >= tables.pages.size())
        return reader.fail(where + "page " + std::to_string(page) + " is not one of the " +
                           std::to_string(tables.pages.size()) + " pages");
    frame.page = std::size_t(page);
    // What the frame covers on the page: a turned frame's w and h are its upright size.
    const CAtlasDescriptor::Page& onPage = tables.pages[frame.page];
    if (uint64_t(frame.x) + frame.pageWidth() > onPage.width ||
        uint64_t(frame.y) + frame.pageHeight() > onPage.height)
        return reader.fail(label + " (at " + std::to_string(frame.x) + ", " + std::to_string(frame.y) + ", " +
                           std::to_string(frame.pageWidth()) + " x " + std::to_string(frame.pageHeight()) +
                           ") lies outside its page (" + std::to_string(onPage.width) + " x " +
                           std::to_string(onPage.height) + ")");

    if (const Json* placed = reader.member(entry, "spriteSourceSize", where, false)) {
        uint32_t w = frame.width, h = frame.height;
        if (!reader.side(*placed, "x", where + "spriteSourceSize.", 0, frame.offsetX) ||
            !reader.side(*placed, "y", where + "spriteSourceSize.", 0, frame.offsetY) ||
            !reader.side(*placed, "w", where + "spriteSourceSize.", 0, w, false) ||
            !reader.side(*placed, "h", where + "spriteSourceSize.", 0, h, false))
            return false;
        // Aseprite's inner padding: the frame is the cell, the same number of pixels larger on every
        // side, and the picture lies in its middle. Any other difference would mean the packer
        // scaled the frame, which no draw path undoes.
        const uint32_t padding = (frame.width - w) / 2;
        const bool padded = w < frame.width && h < frame.height && frame.width - w == frame.height - h &&
                            (frame.width - w) % 2 == 0;
        if (!padded && (w != frame.width || h != frame.height))
            return reader.fail(where + "spriteSourceSize is " + std::to_string(w) + " x " + std::to_string(h) +
                               ", the frame " + std::to_string(frame.width) + " x " +
                               std::to_string(frame.height));
        if (padded) {
            frame.x += padding;
            frame.y += padding;
            frame.width = w;
            frame.height = h;
        }
    }
    frame.sourceWidth = frame.width;
    frame.sourceHeight = frame.height;
    if (const Json* source = reader.member(entry, "sourceSize", where, false)) {
        if (!reader.side(*source, "w", where + "sourceSize.", 0, frame.sourceWidth) ||
            !reader.side(*source, "h", where + "sourceSize.", 0, frame.sourceHeight))
            return false;
    }
    if (!reader.getError().empty())
        return false;
    if (uint64_t(frame.offsetX) + frame.width > frame.sourceWidth ||
        uint64_t(frame.offsetY) + frame.height > frame.sourceHeight)
        return reader.fail(label + "'s kept part (at " + std::to_string(frame.offsetX) + ", " +
                           std::to_string(frame.offsetY) + ") lies outside its source size (" +
                           std::to_string(frame.sourceWidth) + " x " + std::to_string(frame.sourceHeight) + ")");
    uint64_t duration = 0;
    if (!reader.whole(entry, "duration", where, 0, kMaxDuration, duration, false))
        return false;
    frame.duration = uint32_t(duration);

    if (!tables.frameByName.emplace(name, tables.frames.size()).second)
        return reader.fail(repeatedNameText(name));
    tables.frames.push_back(std::move(frame));
    return true;
}

bool readFrames(const Json& frames, const std::vector<std::string>& order, Tables& tables, Reader& reader)
{
    if (frames.is_object()) {
        // The first read saw each name once, so order holds exactly the object's keys.
        for (const std::string& name : order) {
            const auto entry = frames.find(name);
            if (entry == frames.end())
                return reader.fail("frame " + shown(name) + " is missing");
            if (!readFrame(*entry, name, tables, reader))
                return false;
        }
        return true;
    }
    if (!frames.is_array())
        return reader.fail("frames is neither an object nor an array");
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Json& entry = frames[i];
        const std::string label = "frames[" + std::to_string(i) + "]";
        if (!entry.is_object())
            return reader.fail(label + " is not an object");
        std::string name;
        if (!reader.text(entry, "filename", label + ".", name))
            return false;
        if (!readFrame(entry, name, tables, reader))
            return false;
    }
    return true;
}

bool readTags(const Json& meta, Tables& tables, Reader& reader)
{
    const auto listed = meta.find("frameTags");
    if (listed == meta.end())
        return true;
    if (!listed->is_array())
        return reader.fail("meta.frameTags is not an array");
    for (std::size_t i = 0; i < listed->size(); ++i) {
        const Json& entry = (*listed)[i];
        const std::string label = "meta.frameTags[" + std::to_string(i) + "]";
        if (!entry.is_object())
            return reader.fail(label + " is not an object");
        CAtlasDescriptor::Tag tag{};
        if (!reader.text(entry, "name", label + ".", tag.name))
            return false;
        const std::string where = "tag " + shown(tag.name) + ": ";
        uint64_t from = 0, to = 0;
        if (!reader.whole(entry, "from", where, 0, UINT64_MAX, from) ||
            !reader.whole(entry, "to", where, 0, UINT64_MAX, to))
            return false;
        if (from > to)
            return reader.fail(where + "from (" + std::to_string(from) + ") comes after to (" +
                               std::to_string(to) + ")");
        if (to >= tables.frames.size())
            return reader.fail(where + "to (" + std::to_string(to) + ") is past the last of the " +
                               std::to_string(tables.frames.size()) + " frames");
        tag.from = std::size_t(from);
        tag.to = std::size_t(to);
        std::string direction = "forward";
        if (!reader.text(entry, "direction", where, direction, false))
            return false;
        if (direction == "forward")
            tag.direction = CAtlasDescriptor::Direction::Forward;
        else if (direction == "reverse")
            tag.direction = CAtlasDescriptor::Direction::Reverse;
        else if (direction == "pingpong")
            tag.direction = CAtlasDescriptor::Direction::PingPong;
        else if (direction == "pingpong_reverse")
            tag.direction = CAtlasDescriptor::Direction::PingPongReverse;
        else
            return reader.fail(where + "direction " + shown(direction) +
                               " is none of forward, reverse, pingpong, pingpong_reverse");
        tables.tags.push_back(std::move(tag));
    }
    return true;
}

bool readDescriptor(const Json& root, const std::vector<std::string>& order, Tables& tables, Reader& reader)
{
    if (!root.is_object())
        return reader.fail("the descriptor is not a JSON object");
    const Json* meta = reader.member(root, "meta", "");
    if (meta == nullptr || !readPages(*meta, tables, reader))
        return false;
    const auto frames = root.find("frames");
    if (frames == root.end())
        return reader.fail("frames is missing");
    return readFrames(*frames, order, tables, reader) && readTags(*meta, tables, reader);
}

}  // namespace

bool CAtlasDescriptor::parse(const std::string& text)
{
    clear();
    FirstRead first;
    if (!Json::sax_parse(text, &first)) {
        error = CLogText::oneLine(first.error);
        return false;
    }
    // The first read found it well formed and shallow, so this parse neither throws nor goes deep.
    const Json root = Json::parse(text, nullptr, false);
    Tables tables;
    Reader reader;
    if (!readDescriptor(root, first.order, tables, reader)) {
        error = CLogText::oneLine(reader.getError());
        return false;
    }
    pages = std::move(tables.pages);
    frames = std::move(tables.frames);
    tags = std::move(tables.tags);
    frameByName = std::move(tables.frameByName);
    return true;
}

void CAtlasDescriptor::clear()
{
    error.clear();
    pages.clear();
    frames.clear();
    tags.clear();
    frameByName.clear();
}

const std::string& CAtlasDescriptor::getError() const
{
    return error;
}

const std::vector<CAtlasDescriptor::Page>& CAtlasDescriptor::getPages() const
{
    return pages;
}

const std::vector<CAtlasDescriptor::Frame>& CAtlasDescriptor::getFrames() const
{
    return frames;
}

const std::vector<CAtlasDescriptor::Tag>& CAtlasDescriptor::getTags() const
{
    return tags;
}

std::size_t CAtlasDescriptor::findFrame(const std::string& name) const
{
    const auto found = frameByName.find(name);
    return found == frameByName.end() ? frames.size() : found->second;
}

const CAtlasDescriptor::Tag* CAtlasDescriptor::findTag(const std::string& name) const
{
    for (const Tag& tag : tags)
        if (tag.name == name)
            return &tag;
    return nullptr;
}
