#include "engine/tilemap/TileMapReader.h"

#include "engine/core/Log.h"
#include "engine/tilemap/TileMapData.h"

#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>

using json = nlohmann::json;

namespace {

// Past any GL_MAX_TEXTURE_SIZE; it keeps tile arithmetic far from overflowing an int.
const int kMaxTileSide = 1 << 16;
const int kMaxGroupDepth = 64;

enum class Format { Xml, Json };

// The layers of a Tiled group are flattened: each takes the sum of the offsets, the product of the
// opacities and the conjunction of the visibilities of the groups around it.
struct Group {
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    float opacity = 1.0f;
    bool visible = true;
};

// What every kind of layer has.
struct LayerCommon {
    int id = 0;
    std::string name;
    float opacity = 1.0f;
    bool visible = true;
    float offsetX = 0.0f;
    float offsetY = 0.0f;

    void combine(const Group& group)
    {
        opacity *= group.opacity;
        visible = visible && group.visible;
        offsetX += group.offsetX;
        offsetY += group.offsetY;
    }

    // Into a tile or object layer, which share these fields.
    template <typename Layer>
    void copyTo(Layer& layer) const
    {
        layer.id = id;
        layer.name = name;
        layer.opacity = opacity;
        layer.visible = visible;
        layer.offsetX = offsetX;
        layer.offsetY = offsetY;
    }
};

std::string named(const std::string& text)
{
    return CTileMapReader::quote(text);
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Tiled writes paths relative to the file that names them.
std::string resolve(const std::string& folder, const std::string& name)
{
    return name.empty() || name[0] == '/' ? name : folder + name;
}

Format formatOf(const std::string& bytes, const std::string& name)
{
    std::size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    if (i < bytes.size() && bytes[i] == '<')
        return Format::Xml;
    if (i < bytes.size() && bytes[i] == '{')
        return Format::Json;
    const std::size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : extension)
        c = char(std::tolower((unsigned char)c));
    return extension == "tmj" || extension == "tsj" || extension == "json" ? Format::Json : Format::Xml;
}

bool readWholeFile(const std::string& path, std::string& bytes, std::string& why)
{
    if (path.find('\0') != std::string::npos) {
        why = "has a NUL byte in its name";
        return false;
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        why = "does not exist";
        return false;
    }
    // A device or a pipe named by a hostile map could block the read or never end.
    if (!S_ISREG(info.st_mode)) {
        why = "is not a regular file";
        return false;
    }
    if (uint64_t(info.st_size) > CTileMapReader::kMaxFileBytes) {
        why = "is larger than 64 MiB";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::size_t(info.st_size), '\0');
    if (!in || !in.read(&bytes[0], std::streamsize(bytes.size()))) {
        bytes.clear();
        why = "cannot be read";
        return false;
    }
    return true;
}

// from_chars ignores the locale an application may have set, and reads the whole text or fails.
template <typename T>
bool parseNumber(const char* text, T& out)
{
    const char* end = text + std::char_traits<char>::length(text);
    const std::from_chars_result result = std::from_chars(text, end, out);
    return text != end && result.ec == std::errc() && result.ptr == end;
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Tiled's transparent colour: six hex digits, the '#' optional (TMX writes none, JSON one).
bool readColourKey(const std::string& text, int32_t& out)
{
    const std::size_t start = !text.empty() && text[0] == '#' ? 1 : 0;
    if (text.size() != start + 6)
        return false;
    int32_t value = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (!std::isxdigit((unsigned char)text[i]))
            return false;
        const char c = char(std::tolower((unsigned char)text[i]));
        value = value * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
    }
    out = value;
    return true;
}

// Whitespace anywhere is skipped (Tiled indents the text); anything after padding is refused.
bool decodeBase64(const std::string& text, std::vector<unsigned char>& out)
{
    out.clear();
    out.reserve(text.size() / 4 * 3);
    uint32_t accumulator = 0;
    int bits = 0;
    bool padding = false;
    for (char c : text) {
        if (isSpace(c))
            continue;
        if (c == '=') {
            padding = true;
            continue;
        }
        const int value = base64Value(c);
        if (value < 0 || padding)
            return false;
        accumulator = (accumulator << 6) | uint32_t(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back((unsigned char)(accumulator >> bits));
        }
    }
    return true;
}

// zlib or gzip (windowBits 15 + 32 reads either header) into at most limit bytes. The output grows
// with what the stream really gives and inflating stops one byte past the limit, so a few bytes
// that claim gigabytes cost no more than the layer may hold.
bool inflateCapped(const std::vector<unsigned char>& in, std::size_t limit, std::vector<unsigned char>& out,
                   std::string& why)
{
    out.clear();
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK) {
        why = "zlib cannot start";
        return false;
    }
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = uInt(in.size());
    int status = Z_OK;
    while (status == Z_OK && out.size() <= limit) {
        const std::size_t done = out.size();
        const std::size_t room = std::min<std::size_t>(64 * 1024, limit + 1 - done);
        // Grown by hand: the vector's own doubling would allocate up to twice the limit.
        if (out.capacity() < done + room)
            out.reserve(std::min(limit + 1, std::max(2 * out.capacity(), done + room)));
        out.resize(done + room);
        stream.next_out = out.data() + done;
        stream.avail_out = uInt(room);
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(done + room - stream.avail_out);
    }
    const std::string message = stream.msg ? stream.msg : "";
    inflateEnd(&stream);
    if (out.size() > limit) {
        why = "inflates past the " + std::to_string(limit) + " bytes its cells hold";
        return false;
    }
    if (status == Z_STREAM_END)
        return true;
    why = status == Z_BUF_ERROR ? std::string("is cut short")
                                : "is not valid compressed data (" +
                                      (message.empty() ? "zlib " + std::to_string(status) : message) + ")";
    return false;
}

// Numbers separated by commas, with whitespace anywhere between them and one comma after the last
// allowed (Tiled ends each row with one). Stops one id past expected: the caller's count check
// refuses that.
bool parseCsv(const std::string& text, uint64_t expected, std::vector<uint32_t>& out, std::string& why)
{
    out.clear();
    // Each id but the last takes a digit and a comma: room for all of them at once, never more than
    // the cells and the one past them.
    out.reserve(std::size_t(std::min<uint64_t>(expected + 1, text.size() / 2 + 1)));
    const char* p = text.c_str();
    while (true) {
        while (isSpace(*p))
            ++p;
        if (*p == '\0')
            return true;
        uint64_t value = 0;
        const char* start = p;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + uint64_t(*p - '0');
            if (value > 0xFFFFFFFFu) {
                why = "has a tile id past 4294967295";
                return false;
            }
            ++p;
        }
        if (p == start) {
            why = "holds something other than numbers and commas";
            return false;
        }
        out.push_back(uint32_t(value));
        // One past what the cells hold is enough for the count check to refuse it.
        if (out.size() > expected)
            return true;
        while (isSpace(*p))
            ++p;
        if (*p == ',')
            ++p;
        else if (*p != '\0') {
            why = "holds something other than numbers and commas";
            return false;
        }
    }
}

uint64_t g_tilesetFilesRead = 0;

// Counts start tags ('<' and a name): every element pugixml would make a node for, and more when a
// comment or CDATA holds a '<' (such text is not a map's). Stops counting past the bound.
uint64_t xmlElements(const std::string& bytes)
{
    uint64_t count = 0;
    for (std::size_t at = bytes.find('<'); at != std::string::npos && count <= CTileMapReader::kMaxXmlElements;
         at = bytes.find('<', at + 1))
        if (at + 1 < bytes.size() && bytes[at + 1] != '/' && bytes[at + 1] != '!' && bytes[at + 1] != '?')
            ++count;
    return count;
}

// True when arrays and objects nest more than kMaxJsonDepth deep; brackets inside strings (escapes
// included) do not count. Malformed text is left for the parser to refuse.
bool jsonTooDeep(const std::string& bytes)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > CTileMapReader::kMaxJsonDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

bool holds(const CTileMapData& data, uint32_t id)
{
    auto after = std::upper_bound(data.tilesets.begin(), data.tilesets.end(), id,
                                  [](uint32_t gid, const CTileset& t) { return gid < t.firstGid; });
    if (after == data.tilesets.begin())
        return false;
    const CTileset& tileset = *(after - 1);
    return id - tileset.firstGid < tileset.tileCount;
}

// Reads one map and the tilesets it names into data; the first problem found is kept for the line.
class Reader {
public:
    Reader(const std::string& path, CTileMapData& data)
        : mapPath(path),
          mapFolder(folderOf(path)),
          data(data)
    {
    }

    bool readMap(const std::string& bytes)
    {
        if (formatOf(bytes, mapPath) == Format::Xml) {
            pugi::xml_document document;
            if (!parseXml(bytes, "the map", document))
                return false;
            const pugi::xml_node map = document.child("map");
            if (!map)
                return fail("the file has no <map> element");
            if (!xmlMap(map))
                return false;
        } else {
            json document;
            if (!parseJson(bytes, "the map", document))
                return false;
            if (!jsonMap(document))
                return false;
        }
        return finishTilesets();
    }

    const std::string& problem() const
    {
        return why;
    }

private:
    bool fail(const std::string& text)
    {
        if (why.empty())
            why = text;
        return false;
    }

    bool checkMapSize()
    {
        if (uint64_t(data.width) * uint64_t(data.height) > CTileMapReader::kMaxCells)
            return fail("the map's " + std::to_string(data.width) + " x " + std::to_string(data.height) +
                        " tiles are more than " + std::to_string(CTileMapReader::kMaxCells));
        if (int64_t(data.width) * data.tileWidth > INT_MAX || int64_t(data.height) * data.tileHeight > INT_MAX)
            return fail("the map's size in pixels overflows");
        return true;
    }

    bool checkLayerSize(const std::string& where, int width, int height)
    {
        if (uint64_t(width) * uint64_t(height) > CTileMapReader::kMaxCells)
            return fail(where + "'s " + std::to_string(width) + " x " + std::to_string(height) +
                        " tiles are more than " + std::to_string(CTileMapReader::kMaxCells));
        if (int64_t(width) * data.tileWidth > INT_MAX || int64_t(height) * data.tileHeight > INT_MAX)
            return fail(where + "'s size in pixels overflows");
        // The count made before decoding already refuses this; kept so that the bound holds
        // whatever that count misses.
        cellsHeld += uint64_t(width) * uint64_t(height);
        return checkAllCells(cellsHeld);
    }

    bool checkAllCells(uint64_t cells)
    {
        if (cells > CTileMapReader::kMaxCells)
            return fail("the map's tile layers together hold more than " +
                        std::to_string(CTileMapReader::kMaxCells) + " cells");
        return true;
    }

    // A layer's width or height as the layer's own check takes it; one it would refuse is left to
    // that check and counts as nothing here.
    static uint64_t side(long long value)
    {
        return value < 1 || uint64_t(value) > CTileMapReader::kMaxCells ? 0 : uint64_t(value);
    }

    static uint64_t xmlSide(const pugi::xml_node& layer, const char* name, int fallback)
    {
        const pugi::xml_attribute attribute = layer.attribute(name);
        long long value = fallback;
        return !attribute || parseNumber(attribute.value(), value) ? side(value) : 0;
    }

    static uint64_t jsonSide(const json& layer, const char* key, int fallback)
    {
        const json* value = member(layer, key);
        if (value == nullptr)
            return side(fallback);
        if (!value->is_number_integer() ||
            (value->is_number_unsigned() && value->get<uint64_t>() > CTileMapReader::kMaxCells))
            return 0;
        return side(value->get<long long>());
    }

    // The cells of the tile layers under parent, groups included, counted before anything is
    // decoded. Stops as soon as the count passes the bound, so that it cannot overflow.
    uint64_t xmlCells(const pugi::xml_node& parent, int depth) const
    {
        uint64_t cells = 0;
        for (const pugi::xml_node& node : parent.children()) {
            if (cells > CTileMapReader::kMaxCells)
                break;
            const std::string kind = node.name();
            if (kind == "layer") {
                cells += xmlSide(node, "width", data.width) * xmlSide(node, "height", data.height);
            } else if (kind == "group" && depth < kMaxGroupDepth) {
                cells += xmlCells(node, depth + 1);
            }
        }
        return cells;
    }

    uint64_t jsonCells(const json& layers, int depth) const
    {
        uint64_t cells = 0;
        for (const json& node : layers) {
            if (cells > CTileMapReader::kMaxCells)
                break;
            const json* type = node.is_object() ? member(node, "type") : nullptr;
            if (type == nullptr || !type->is_string())
                continue;
            if (*type == "tilelayer") {
                cells += jsonSide(node, "width", data.width) * jsonSide(node, "height", data.height);
            } else if (*type == "group" && depth < kMaxGroupDepth) {
                const json* inner = member(node, "layers");
                if (inner != nullptr && inner->is_array())
                    cells += jsonCells(*inner, depth + 1);
            }
        }
        return cells;
    }

    // Sorted by first id; each tileset's count is cut where the next one begins, as Tiled reads a
    // map whose external tileset grew after the map was saved.
    bool finishTilesets()
    {
        std::stable_sort(data.tilesets.begin(), data.tilesets.end(),
                         [](const CTileset& a, const CTileset& b) { return a.firstGid < b.firstGid; });
        for (std::size_t i = 0; i < data.tilesets.size(); ++i) {
            CTileset& tileset = data.tilesets[i];
            uint64_t end = uint64_t(kTileGidMask) + 1;
            if (i + 1 < data.tilesets.size()) {
                if (data.tilesets[i + 1].firstGid == tileset.firstGid)
                    return fail("two tilesets begin at gid " + std::to_string(tileset.firstGid));
                end = data.tilesets[i + 1].firstGid;
            }
            tileset.tileCount = uint32_t(std::min<uint64_t>(tileset.tileCount, end - tileset.firstGid));
        }
        return true;
    }

    // An empty text names no colour.
    bool colourKey(const std::string& text, const std::string& where, int32_t& out)
    {
        if (!text.empty() && !readColourKey(text, out))
            return fail(where + " " + named(text) + " is not a colour (six hex digits)");
        return true;
    }

    // What both formats do once a tileset's fields are read.
    bool finishTileset(CTileset& tileset, std::vector<CTilesetTile>& described, const std::string& where)
    {
        if (tileset.image.empty())
            return fail(where + " has no image (tilesets of single images are not supported)");
        // Older Tiled files may leave out what the map and the image already say.
        if (tileset.tileWidth == 0)
            tileset.tileWidth = data.tileWidth;
        if (tileset.tileHeight == 0)
            tileset.tileHeight = data.tileHeight;
        const int64_t stepX = int64_t(tileset.tileWidth) + tileset.spacing;
        const int64_t stepY = int64_t(tileset.tileHeight) + tileset.spacing;
        if (tileset.columns == 0 && tileset.imageWidth > 0)
            tileset.columns = int(std::max<int64_t>(
                0, (tileset.imageWidth - 2 * int64_t(tileset.margin) + tileset.spacing) / stepX));
        if (tileset.tileCount == 0 && tileset.columns > 0 && tileset.imageHeight > 0) {
            const int64_t rows = std::max<int64_t>(
                0, (tileset.imageHeight - 2 * int64_t(tileset.margin) + tileset.spacing) / stepY);
            tileset.tileCount = uint32_t(std::min<int64_t>(rows * tileset.columns, kTileGidMask));
        }
        if (tileset.tileCount == 0) {
            // Counted once the tile map has the image; until then every id up to the next tileset's.
            tileset.countFromImage = true;
            tileset.tileCount = kTileGidMask;
        }
        std::sort(described.begin(), described.end(),
                  [](const CTilesetTile& a, const CTilesetTile& b) { return a.id < b.id; });
        for (const CTilesetTile& tile : described) {
            if (tile.id >= tileset.tileCount)
                return fail(where + " describes tile " + std::to_string(tile.id) + " past its " +
                            std::to_string(tileset.tileCount) + " tiles");
            for (const CTilesetTile::Frame& frame : tile.animation)
                if (frame.tileId >= tileset.tileCount)
                    return fail(where + "'s tile " + std::to_string(tile.id) + " animates to tile " +
                                std::to_string(frame.tileId) + " past its " + std::to_string(tileset.tileCount) +
                                " tiles");
        }
        if (!described.empty())
            tileset.tiles = std::make_shared<const std::vector<CTilesetTile>>(std::move(described));
        cutToGidRange(tileset);
        return true;
    }

    // The same gid range the map gives, cut to what a 28-bit id can name.
    static void cutToGidRange(CTileset& tileset)
    {
        tileset.tileCount =
            uint32_t(std::min<uint64_t>(tileset.tileCount, uint64_t(kTileGidMask) + 1 - tileset.firstGid));
    }

    bool decodeGids(const std::string& where, const std::string& text, const std::string& encoding,
                    const std::string& compression, uint64_t expected, std::vector<uint32_t>& gids)
    {
        std::string problem;
        if (encoding == "csv") {
            if (!parseCsv(text, expected, gids, problem))
                return fail(where + "'s data " + problem);
        } else if (encoding == "base64") {
            std::vector<unsigned char> bytes, inflated;
            if (!decodeBase64(text, bytes))
                return fail(where + "'s data is not valid base64");
            if (compression == "zlib" || compression == "gzip") {
                if (!inflateCapped(bytes, std::size_t(expected * 4), inflated, problem))
                    return fail(where + "'s " + compression + " data " + problem);
                bytes.swap(inflated);
            } else if (!compression.empty()) {
                return fail(where + "'s compression " + named(compression) + " is not supported");
            }
            if (bytes.size() % 4 != 0)
                return fail(where + "'s data is " + std::to_string(bytes.size()) +
                            " bytes, not a whole number of 4-byte tile ids");
            gids.resize(std::min<std::size_t>(bytes.size() / 4, std::size_t(expected) + 1));
            for (std::size_t i = 0; i < gids.size(); ++i)
                gids[i] = uint32_t(bytes[4 * i]) | uint32_t(bytes[4 * i + 1]) << 8 |
                          uint32_t(bytes[4 * i + 2]) << 16 | uint32_t(bytes[4 * i + 3]) << 24;
        } else {
            return fail(where + "'s encoding " + named(encoding) + " is not supported");
        }
        return checkCount(where, gids.size(), expected);
    }

    bool checkCount(const std::string& where, uint64_t count, uint64_t expected)
    {
        if (count > expected)
            return fail(where + " has more tile ids than its " + std::to_string(expected) + " cells");
        if (count < expected)
            return fail(where + " has " + std::to_string(count) + " tile ids for its " + std::to_string(expected) +
                        " cells");
        return true;
    }

    // ---- XML ----

    bool parseXml(const std::string& bytes, const std::string& what, pugi::xml_document& document)
    {
        if (xmlElements(bytes) > CTileMapReader::kMaxXmlElements)
            return fail(what + " has more than " + std::to_string(CTileMapReader::kMaxXmlElements) +
                        " XML elements");
        const pugi::xml_parse_result result = document.load_buffer(bytes.data(), bytes.size());
        if (!result)
            return fail(what + " is not valid XML (" + result.description() + " at byte " +
                        std::to_string(result.offset) + ")");
        return true;
    }

    // An absent attribute leaves out as it is, unless it is required.
    template <typename T>
    bool xmlWhole(const pugi::xml_node& node, const char* name, const std::string& where, T low, T high,
                  bool required, T& out)
    {
        const pugi::xml_attribute attribute = node.attribute(name);
        if (!attribute)
            return required ? fail(where + " has no " + name) : true;
        long long value = 0;
        if (!parseNumber(attribute.value(), value))
            return fail(where + "'s " + name + " " + named(attribute.value()) + " is not a whole number");
        if (value < (long long)low || value > (long long)high)
            return fail(where + "'s " + name + " " + std::to_string(value) + " is outside " + std::to_string(low) +
                        " to " + std::to_string(high));
        out = T(value);
        return true;
    }

    bool xmlFloat(const pugi::xml_node& node, const char* name, const std::string& where, float& out)
    {
        const pugi::xml_attribute attribute = node.attribute(name);
        if (!attribute)
            return true;
        double value = 0.0;
        if (!parseNumber(attribute.value(), value) || !std::isfinite(value) || std::fabs(value) > 1e30)
            return fail(where + "'s " + name + " " + named(attribute.value()) + " is not a number");
        out = float(value);
        return true;
    }

    bool xmlBool(const pugi::xml_node& node, const char* name, const std::string& where, bool& out)
    {
        int value = out ? 1 : 0;
        if (!xmlWhole(node, name, where, 0, 1, false, value))
            return false;
        out = value != 0;
        return true;
    }

    bool xmlProperties(const pugi::xml_node& owner, const std::string& folder, const std::string& where,
                       CMapProperties& properties)
    {
        for (const pugi::xml_node& property : owner.child("properties").children("property")) {
            const pugi::xml_attribute name = property.attribute("name");
            if (!name)
                return fail(where + " has a property without a name");
            const std::string type = property.attribute("type") ? property.attribute("type").value() : "string";
            // Text with line breaks is written as the element's content instead of an attribute.
            std::string value =
                property.attribute("value") ? property.attribute("value").value() : property.text().get();
            if (type == "file")
                value = resolve(folder, value);
            else if (type == "class")
                value.clear();
            properties.set(name.value(), type, value);
        }
        return true;
    }

    bool xmlMap(const pugi::xml_node& map)
    {
        const std::string where = "the map";
        const pugi::xml_attribute orientation = map.attribute("orientation");
        if (!orientation)
            return fail("the map has no orientation");
        if (std::string(orientation.value()) != "orthogonal")
            return fail("the map is " + named(orientation.value()) + "; only orthogonal maps are supported");
        bool infinite = false;
        if (!xmlBool(map, "infinite", where, infinite))
            return false;
        if (infinite)
            return fail("the map is infinite (chunks are not supported)");
        if (!xmlWhole(map, "width", where, 1, int(CTileMapReader::kMaxCells), true, data.width) ||
            !xmlWhole(map, "height", where, 1, int(CTileMapReader::kMaxCells), true, data.height) ||
            !xmlWhole(map, "tilewidth", where, 1, kMaxTileSide, true, data.tileWidth) ||
            !xmlWhole(map, "tileheight", where, 1, kMaxTileSide, true, data.tileHeight) || !checkMapSize() ||
            !xmlProperties(map, mapFolder, where, data.properties) || !checkAllCells(xmlCells(map, 0)))
            return false;
        for (const pugi::xml_node& node : map.children("tileset")) {
            CTileset tileset;
            if (!xmlWhole(node, "firstgid", "a tileset", 1u, kTileGidMask, true, tileset.firstGid))
                return false;
            const pugi::xml_attribute source = node.attribute("source");
            if (source ? !externalTileset(source.value(), tileset) : !xmlTileset(node, mapFolder, "", tileset))
                return false;
            data.tilesets.push_back(std::move(tileset));
        }
        return xmlLayers(map, Group(), 0);
    }

    // Each file is read once a map: what it gave, read as if from gid 1, serves every tileset naming
    // it, its tile descriptions shared rather than copied.
    bool externalTileset(const std::string& source, CTileset& tileset)
    {
        const std::string path = resolve(mapFolder, source);
        const uint32_t firstGid = tileset.firstGid;
        auto known = readTilesets.find(path);
        if (known == readTilesets.end()) {
            CTileset read;
            read.firstGid = 1;
            if (!readTileset(path, read))
                return false;
            known = readTilesets.emplace(path, std::move(read)).first;
        }
        tileset = known->second;
        tileset.firstGid = firstGid;
        cutToGidRange(tileset);
        return true;
    }

    bool readTileset(const std::string& path, CTileset& tileset)
    {
        const std::string where = "the tileset " + named(path);
        std::string bytes, problem;
        ++g_tilesetFilesRead;
        if (!readWholeFile(path, bytes, problem))
            return fail(where + " " + problem);
        tileset.source = path;
        if (formatOf(bytes, path) == Format::Xml) {
            pugi::xml_document document;
            if (!parseXml(bytes, where, document))
                return false;
            const pugi::xml_node root = document.child("tileset");
            if (!root)
                return fail(where + " has no <tileset> element");
            return xmlTileset(root, folderOf(path), where, tileset);
        }
        json document;
        return parseJson(bytes, where, document) && jsonTileset(document, folderOf(path), where, tileset);
    }

    // where is empty for an embedded tileset, which is then named by its name.
    bool xmlTileset(const pugi::xml_node& node, const std::string& folder, std::string where, CTileset& tileset)
    {
        tileset.name = node.attribute("name").value();
        if (where.empty())
            where = "tileset " + named(tileset.name);
        if (!xmlWhole(node, "tilewidth", where, 1, kMaxTileSide, false, tileset.tileWidth) ||
            !xmlWhole(node, "tileheight", where, 1, kMaxTileSide, false, tileset.tileHeight) ||
            !xmlWhole(node, "spacing", where, 0, kMaxTileSide, false, tileset.spacing) ||
            !xmlWhole(node, "margin", where, 0, kMaxTileSide, false, tileset.margin) ||
            !xmlWhole(node, "columns", where, 0, kMaxTileSide, false, tileset.columns) ||
            !xmlWhole(node, "tilecount", where, 0u, kTileGidMask, false, tileset.tileCount) ||
            !xmlWhole(node.child("tileoffset"), "x", where + "'s tile offset", -kMaxTileSide, kMaxTileSide, false,
                      tileset.offsetX) ||
            !xmlWhole(node.child("tileoffset"), "y", where + "'s tile offset", -kMaxTileSide, kMaxTileSide, false,
                      tileset.offsetY) ||
            !xmlProperties(node, folder, where, tileset.properties))
            return false;
        const pugi::xml_node image = node.child("image");
        if (image) {
            if (!image.attribute("source"))
                return fail(where + "'s image has no source");
            tileset.image = resolve(folder, image.attribute("source").value());
            if (!xmlWhole(image, "width", where + "'s image", 0, INT_MAX, false, tileset.imageWidth) ||
                !xmlWhole(image, "height", where + "'s image", 0, INT_MAX, false, tileset.imageHeight) ||
                !colourKey(image.attribute("trans").value(), where + "'s image trans", tileset.colorKey))
                return false;
        }
        std::vector<CTilesetTile> described;
        for (const pugi::xml_node& tileNode : node.children("tile")) {
            CTilesetTile tile;
            if (!xmlWhole(tileNode, "id", where + "'s tile", 0u, kTileGidMask, true, tile.id))
                return false;
            const std::string tileWhere = where + "'s tile " + std::to_string(tile.id);
            tile.type = tileNode.attribute("type") ? tileNode.attribute("type").value()
                                                   : tileNode.attribute("class").value();
            if (!xmlProperties(tileNode, folder, tileWhere, tile.properties))
                return false;
            for (const pugi::xml_node& frameNode : tileNode.child("animation").children("frame")) {
                CTilesetTile::Frame frame{0, 0};
                if (!xmlWhole(frameNode, "tileid", tileWhere + "'s frame", 0u, kTileGidMask, true, frame.tileId) ||
                    !xmlWhole(frameNode, "duration", tileWhere + "'s frame", 0u, 0xFFFFFFFFu, true,
                              frame.duration))
                    return false;
                tile.animation.push_back(frame);
            }
            described.push_back(std::move(tile));
        }
        return finishTileset(tileset, described, where);
    }

    bool xmlCommon(const pugi::xml_node& node, const std::string& where, LayerCommon& common)
    {
        common.name = node.attribute("name").value();
        return xmlWhole(node, "id", where, INT_MIN, INT_MAX, false, common.id) &&
               xmlFloat(node, "opacity", where, common.opacity) &&
               xmlBool(node, "visible", where, common.visible) &&
               xmlFloat(node, "offsetx", where, common.offsetX) &&
               xmlFloat(node, "offsety", where, common.offsetY);
    }

    bool xmlLayers(const pugi::xml_node& parent, const Group& group, int depth)
    {
        if (depth > kMaxGroupDepth)
            return fail("the map's groups are nested deeper than " + std::to_string(kMaxGroupDepth) + " levels");
        for (const pugi::xml_node& node : parent.children()) {
            const std::string kind = node.name();
            if (kind != "layer" && kind != "objectgroup" && kind != "group")
                continue;  // Not yet: image layers are skipped.
            LayerCommon common;
            const std::string where =
                (kind == "group" ? "group " : "layer ") + named(node.attribute("name").value());
            if (!xmlCommon(node, where, common))
                return false;
            common.combine(group);
            bool ok = true;
            if (kind == "layer")
                ok = xmlTileLayer(node, where, common);
            else if (kind == "objectgroup")
                ok = xmlObjectLayer(node, where, common);
            else
                ok = xmlLayers(node, Group{common.offsetX, common.offsetY, common.opacity, common.visible},
                               depth + 1);
            if (!ok)
                return false;
        }
        return true;
    }

    bool xmlTileLayer(const pugi::xml_node& node, const std::string& where, const LayerCommon& common)
    {
        CTileLayer layer;
        common.copyTo(layer);
        layer.width = data.width;
        layer.height = data.height;
        if (!xmlWhole(node, "width", where, 1, int(CTileMapReader::kMaxCells), false, layer.width) ||
            !xmlWhole(node, "height", where, 1, int(CTileMapReader::kMaxCells), false, layer.height) ||
            !checkLayerSize(where, layer.width, layer.height) ||
            !xmlProperties(node, mapFolder, where, layer.properties))
            return false;
        const uint64_t expected = uint64_t(layer.width) * uint64_t(layer.height);
        const pugi::xml_node dataNode = node.child("data");
        if (!dataNode)
            return fail(where + " has no data");
        if (dataNode.child("chunk"))
            return fail(where + " is made of chunks (infinite maps are not supported)");
        const std::string encoding = dataNode.attribute("encoding").value();
        if (encoding.empty()) {
            // The oldest form: one <tile gid="..."/> element per cell.
            for (const pugi::xml_node& tile : dataNode.children("tile")) {
                if (layer.gids.size() == expected)
                    return checkCount(where, expected + 1, expected);
                uint32_t gid = 0;
                if (!xmlWhole(tile, "gid", where + "'s tile", 0u, 0xFFFFFFFFu, false, gid))
                    return false;
                layer.gids.push_back(gid);
            }
            if (!checkCount(where, layer.gids.size(), expected))
                return false;
        } else if (!decodeGids(where, dataNode.text().get(), encoding, dataNode.attribute("compression").value(),
                               expected, layer.gids)) {
            return false;
        }
        data.tileLayers.push_back(std::move(layer));
        return true;
    }

    bool xmlObjectLayer(const pugi::xml_node& node, const std::string& where, const LayerCommon& common)
    {
        CObjectLayer layer;
        common.copyTo(layer);
        if (!xmlProperties(node, mapFolder, where, layer.properties))
            return false;
        for (const pugi::xml_node& objectNode : node.children("object")) {
            CMapObject object;
            const std::string objectWhere = where + "'s object " + named(objectNode.attribute("id").value());
            object.name = objectNode.attribute("name").value();
            object.type = objectNode.attribute("type") ? objectNode.attribute("type").value()
                                                       : objectNode.attribute("class").value();
            object.point = bool(objectNode.child("point"));
            if (!xmlWhole(objectNode, "id", objectWhere, INT_MIN, INT_MAX, false, object.id) ||
                !xmlFloat(objectNode, "x", objectWhere, object.x) ||
                !xmlFloat(objectNode, "y", objectWhere, object.y) ||
                !xmlFloat(objectNode, "width", objectWhere, object.width) ||
                !xmlFloat(objectNode, "height", objectWhere, object.height) ||
                !xmlFloat(objectNode, "rotation", objectWhere, object.rotation) ||
                !xmlWhole(objectNode, "gid", objectWhere, 0u, 0xFFFFFFFFu, false, object.gid) ||
                !xmlBool(objectNode, "visible", objectWhere, object.visible) ||
                !xmlProperties(objectNode, mapFolder, objectWhere, object.properties))
                return false;
            layer.objects.push_back(std::move(object));
        }
        data.objectLayers.push_back(std::move(layer));
        return true;
    }

    // ---- JSON ----

    bool parseJson(const std::string& bytes, const std::string& what, json& document)
    {
        if (jsonTooDeep(bytes))
            return fail(what + " is nested more than " + std::to_string(CTileMapReader::kMaxJsonDepth) + " deep");
        // The parser reports through an exception; it goes no further than here.
        try {
            document = json::parse(bytes);
        } catch (const json::exception& error) {
            return fail(what + " is not valid JSON (" + error.what() + ")");
        }
        if (!document.is_object())
            return fail(what + " is not a JSON object");
        return true;
    }

    static const json* member(const json& object, const char* key)
    {
        const auto found = object.find(key);
        return found == object.end() ? nullptr : &*found;
    }

    template <typename T>
    bool jsonWhole(const json& object, const char* key, const std::string& where, T low, T high, bool required,
                   T& out)
    {
        const json* value = member(object, key);
        if (value == nullptr)
            return required ? fail(where + " has no " + key) : true;
        if (!value->is_number_integer())
            return fail(where + "'s " + key + " is not a whole number");
        const bool huge = value->is_number_unsigned() && value->get<uint64_t>() > uint64_t(LLONG_MAX);
        const long long number = huge ? 0 : value->get<long long>();
        if (huge || number < (long long)low || number > (long long)high)
            return fail(where + "'s " + key + " " + value->dump() + " is outside " + std::to_string(low) + " to " +
                        std::to_string(high));
        out = T(number);
        return true;
    }

    bool jsonFloat(const json& object, const char* key, const std::string& where, float& out)
    {
        const json* value = member(object, key);
        if (value == nullptr)
            return true;
        if (!value->is_number() || std::fabs(value->get<double>()) > 1e30)
            return fail(where + "'s " + key + " is not a number");
        out = float(value->get<double>());
        return true;
    }

    bool jsonBool(const json& object, const char* key, const std::string& where, bool& out)
    {
        const json* value = member(object, key);
        if (value == nullptr)
            return true;
        if (!value->is_boolean())
            return fail(where + "'s " + key + " is not true or false");
        out = value->get<bool>();
        return true;
    }

    bool jsonString(const json& object, const char* key, const std::string& where, bool required, std::string& out)
    {
        const json* value = member(object, key);
        if (value == nullptr)
            return required ? fail(where + " has no " + key) : true;
        if (!value->is_string())
            return fail(where + "'s " + key + " is not a string");
        out = value->get<std::string>();
        return true;
    }

    // An array member; absent is an empty array unless required.
    bool jsonArray(const json& object, const char* key, const std::string& where, bool required, const json*& out)
    {
        static const json empty = json::array();
        out = member(object, key);
        if (out == nullptr) {
            out = &empty;
            return required ? fail(where + " has no " + key) : true;
        }
        if (!out->is_array())
            return fail(where + "'s " + key + " is not an array");
        return true;
    }

    // A map's, layer's, tile's or object's properties: an array of {name, type, value} since Tiled
    // 1.2; before, an object of name: value with the types in a "propertytypes" object beside it.
    bool jsonProperties(const json& owner, const std::string& folder, const std::string& where,
                        CMapProperties& properties)
    {
        const json* values = member(owner, "properties");
        if (values != nullptr && values->is_object())
            return jsonPropertyObject(*values, member(owner, "propertytypes"), folder, where, properties);
        const json* list = nullptr;
        if (!jsonArray(owner, "properties", where, false, list))
            return false;
        for (const json& property : *list) {
            if (!property.is_object())
                return fail(where + " has a property that is not an object");
            std::string name, type = "string";
            if (!jsonString(property, "name", where + "'s property", true, name) ||
                !jsonString(property, "type", where + "'s property " + named(name), false, type) ||
                !jsonProperty(name, type, member(property, "value"), folder, where, properties))
                return false;
        }
        return true;
    }

    // The older form, in name order as Tiled wrote it. A property without a type is a string, as
    // Tiled reads it.
    bool jsonPropertyObject(const json& values, const json* types, const std::string& folder,
                            const std::string& where, CMapProperties& properties)
    {
        if (types != nullptr && !types->is_object())
            return fail(where + "'s propertytypes is not an object");
        for (const auto& entry : values.items()) {
            std::string type = "string";
            if (const json* given = types != nullptr ? member(*types, entry.key().c_str()) : nullptr) {
                if (!given->is_string())
                    return fail(where + "'s property type of " + named(entry.key()) + " is not a string");
                type = given->get<std::string>();
            }
            if (!jsonProperty(entry.key(), type, &entry.value(), folder, where, properties))
                return false;
        }
        return true;
    }

    bool jsonProperty(const std::string& name, const std::string& type, const json* value,
                      const std::string& folder, const std::string& where, CMapProperties& properties)
    {
        std::string text;
        if (type == "class") {
            // Not yet: a class property's members.
        } else if (value == nullptr) {
            return fail(where + "'s property " + named(name) + " has no value");
        } else if (value->is_string()) {
            text = value->get<std::string>();
        } else if (value->is_number() || value->is_boolean()) {
            text = value->dump();
        } else {
            return fail(where + "'s property " + named(name) + " has a value that is not plain");
        }
        if (type == "file")
            text = resolve(folder, text);
        properties.set(name, type, text);
        return true;
    }

    bool jsonMap(const json& map)
    {
        const std::string where = "the map";
        std::string type = "map", orientation;
        bool infinite = false;
        if (!jsonString(map, "type", where, false, type))
            return false;
        if (type != "map")
            return fail("the file is a " + named(type) + ", not a map");
        if (!jsonString(map, "orientation", where, true, orientation))
            return false;
        if (orientation != "orthogonal")
            return fail("the map is " + named(orientation) + "; only orthogonal maps are supported");
        if (!jsonBool(map, "infinite", where, infinite))
            return false;
        if (infinite)
            return fail("the map is infinite (chunks are not supported)");
        const json* tilesets = nullptr;
        const json* layers = nullptr;
        if (!jsonWhole(map, "width", where, 1, int(CTileMapReader::kMaxCells), true, data.width) ||
            !jsonWhole(map, "height", where, 1, int(CTileMapReader::kMaxCells), true, data.height) ||
            !jsonWhole(map, "tilewidth", where, 1, kMaxTileSide, true, data.tileWidth) ||
            !jsonWhole(map, "tileheight", where, 1, kMaxTileSide, true, data.tileHeight) || !checkMapSize() ||
            !jsonProperties(map, mapFolder, where, data.properties) ||
            !jsonArray(map, "tilesets", where, false, tilesets) ||
            !jsonArray(map, "layers", where, true, layers) || !checkAllCells(jsonCells(*layers, 0)))
            return false;
        for (const json& node : *tilesets) {
            if (!node.is_object())
                return fail("the map has a tileset that is not an object");
            CTileset tileset;
            std::string source;
            if (!jsonWhole(node, "firstgid", "a tileset", 1u, kTileGidMask, true, tileset.firstGid) ||
                !jsonString(node, "source", "a tileset", false, source))
                return false;
            if (!source.empty() ? !externalTileset(source, tileset) : !jsonTileset(node, mapFolder, "", tileset))
                return false;
            data.tilesets.push_back(std::move(tileset));
        }
        return jsonLayers(*layers, Group(), 0);
    }

    bool jsonTileset(const json& node, const std::string& folder, std::string where, CTileset& tileset)
    {
        std::string type = "tileset";
        if (!jsonString(node, "name", "a tileset", false, tileset.name))
            return false;
        if (where.empty())
            where = "tileset " + named(tileset.name);
        if (!jsonString(node, "type", where, false, type))
            return false;
        if (type != "tileset")
            return fail(where + " is a " + named(type) + ", not a tileset");
        std::string transparent;
        if (!jsonWhole(node, "tilewidth", where, 1, kMaxTileSide, false, tileset.tileWidth) ||
            !jsonWhole(node, "tileheight", where, 1, kMaxTileSide, false, tileset.tileHeight) ||
            !jsonWhole(node, "spacing", where, 0, kMaxTileSide, false, tileset.spacing) ||
            !jsonWhole(node, "margin", where, 0, kMaxTileSide, false, tileset.margin) ||
            !jsonWhole(node, "columns", where, 0, kMaxTileSide, false, tileset.columns) ||
            !jsonWhole(node, "tilecount", where, 0u, kTileGidMask, false, tileset.tileCount) ||
            !jsonString(node, "image", where, false, tileset.image) ||
            !jsonWhole(node, "imagewidth", where, 0, INT_MAX, false, tileset.imageWidth) ||
            !jsonWhole(node, "imageheight", where, 0, INT_MAX, false, tileset.imageHeight) ||
            !jsonString(node, "transparentcolor", where, false, transparent) ||
            !colourKey(transparent, where + "'s transparentcolor", tileset.colorKey) ||
            !jsonProperties(node, folder, where, tileset.properties))
            return false;
        tileset.image = resolve(folder, tileset.image);
        if (const json* offset = member(node, "tileoffset")) {
            if (!offset->is_object())
                return fail(where + "'s tileoffset is not an object");
            if (!jsonWhole(*offset, "x", where + "'s tile offset", -kMaxTileSide, kMaxTileSide, false,
                           tileset.offsetX) ||
                !jsonWhole(*offset, "y", where + "'s tile offset", -kMaxTileSide, kMaxTileSide, false,
                           tileset.offsetY))
                return false;
        }
        std::vector<CTilesetTile> described;
        const json* tiles = member(node, "tiles");
        if ((tiles != nullptr && tiles->is_object()) || member(node, "tileproperties") != nullptr) {
            // Before Tiled 1.2: an object keyed by tile id, with the tiles' properties in a
            // "tileproperties" object of the same keys (and their types in "tilepropertytypes").
            std::map<uint32_t, CTilesetTile> byId;
            if ((tiles != nullptr && !jsonTileObject(*tiles, folder, where, false, byId)) ||
                !jsonTileObject(node, folder, where, true, byId))
                return false;
            for (auto& entry : byId)
                described.push_back(std::move(entry.second));
        } else {
            if (!jsonArray(node, "tiles", where, false, tiles))
                return false;
            for (const json& tileNode : *tiles) {
                if (!tileNode.is_object())
                    return fail(where + " has a tile that is not an object");
                CTilesetTile tile;
                if (!jsonWhole(tileNode, "id", where + "'s tile", 0u, kTileGidMask, true, tile.id) ||
                    !jsonTile(tileNode, where, tile) ||
                    !jsonProperties(tileNode, folder, where + "'s tile " + std::to_string(tile.id),
                                    tile.properties))
                    return false;
                described.push_back(std::move(tile));
            }
        }
        return finishTileset(tileset, described, where);
    }

    // What a tile says besides its id and properties: its type and animation.
    bool jsonTile(const json& tileNode, const std::string& where, CTilesetTile& tile)
    {
        const std::string tileWhere = where + "'s tile " + std::to_string(tile.id);
        const json* frames = nullptr;
        if (!jsonString(tileNode, "class", tileWhere, false, tile.type) ||
            !jsonString(tileNode, "type", tileWhere, false, tile.type) ||
            !jsonArray(tileNode, "animation", tileWhere, false, frames))
            return false;
        for (const json& frameNode : *frames) {
            CTilesetTile::Frame frame{0, 0};
            if (!frameNode.is_object())
                return fail(tileWhere + " has a frame that is not an object");
            if (!jsonWhole(frameNode, "tileid", tileWhere + "'s frame", 0u, kTileGidMask, true, frame.tileId) ||
                !jsonWhole(frameNode, "duration", tileWhere + "'s frame", 0u, 0xFFFFFFFFu, true, frame.duration))
                return false;
            tile.animation.push_back(frame);
        }
        return true;
    }

    // The older tileset's "tiles" object (properties false) or its "tileproperties" and
    // "tilepropertytypes" (properties true, owner the tileset) into the tiles by id.
    bool jsonTileObject(const json& owner, const std::string& folder, const std::string& where, bool properties,
                        std::map<uint32_t, CTilesetTile>& byId)
    {
        const json* entries = properties ? member(owner, "tileproperties") : &owner;
        const json* types = properties ? member(owner, "tilepropertytypes") : nullptr;
        if (entries == nullptr)
            return true;
        const std::string key = properties ? "tileproperties" : "tiles";
        if (!entries->is_object())
            return fail(where + "'s " + key + " is not an object");
        if (types != nullptr && !types->is_object())
            return fail(where + "'s tilepropertytypes is not an object");
        for (const auto& entry : entries->items()) {
            uint32_t id = 0;
            if (!parseNumber(entry.key().c_str(), id) || id > kTileGidMask)
                return fail(where + " has a tile id " + named(entry.key()) + " that is not a whole number");
            if (!entry.value().is_object())
                return fail(where + "'s " + key + " of tile " + std::to_string(id) + " is not an object");
            CTilesetTile& tile = byId[id];
            tile.id = id;
            const std::string tileWhere = where + "'s tile " + std::to_string(id);
            if (!properties) {
                if (!jsonTile(entry.value(), where, tile) ||
                    !jsonProperties(entry.value(), folder, tileWhere, tile.properties))
                    return false;
                continue;
            }
            const json* tileTypes = types != nullptr ? member(*types, entry.key().c_str()) : nullptr;
            if (!jsonPropertyObject(entry.value(), tileTypes, folder, tileWhere, tile.properties))
                return false;
        }
        return true;
    }

    bool jsonCommon(const json& node, const std::string& where, LayerCommon& common)
    {
        return jsonWhole(node, "id", where, INT_MIN, INT_MAX, false, common.id) &&
               jsonFloat(node, "opacity", where, common.opacity) &&
               jsonBool(node, "visible", where, common.visible) &&
               jsonFloat(node, "offsetx", where, common.offsetX) &&
               jsonFloat(node, "offsety", where, common.offsetY);
    }

    bool jsonLayers(const json& layers, const Group& group, int depth)
    {
        if (depth > kMaxGroupDepth)
            return fail("the map's groups are nested deeper than " + std::to_string(kMaxGroupDepth) + " levels");
        for (const json& node : layers) {
            if (!node.is_object())
                return fail("the map has a layer that is not an object");
            LayerCommon common;
            std::string type;
            if (!jsonString(node, "name", "a layer", false, common.name))
                return false;
            const std::string where = "layer " + named(common.name);
            if (!jsonString(node, "type", where, true, type) || !jsonCommon(node, where, common))
                return false;
            common.combine(group);
            bool ok = true;
            if (type == "tilelayer") {
                ok = jsonTileLayer(node, where, common);
            } else if (type == "objectgroup") {
                ok = jsonObjectLayer(node, where, common);
            } else if (type == "group") {
                const json* inner = nullptr;
                ok = jsonArray(node, "layers", where, false, inner) &&
                     jsonLayers(*inner, Group{common.offsetX, common.offsetY, common.opacity, common.visible},
                                depth + 1);
            } else if (type != "imagelayer") {  // Not yet: image layers are skipped.
                return fail(where + "'s type " + named(type) + " is not a kind of layer");
            }
            if (!ok)
                return false;
        }
        return true;
    }

    bool jsonTileLayer(const json& node, const std::string& where, const LayerCommon& common)
    {
        CTileLayer layer;
        common.copyTo(layer);
        layer.width = data.width;
        layer.height = data.height;
        std::string encoding = "csv", compression;
        if (member(node, "chunks") != nullptr)
            return fail(where + " is made of chunks (infinite maps are not supported)");
        if (!jsonWhole(node, "width", where, 1, int(CTileMapReader::kMaxCells), false, layer.width) ||
            !jsonWhole(node, "height", where, 1, int(CTileMapReader::kMaxCells), false, layer.height) ||
            !checkLayerSize(where, layer.width, layer.height) ||
            !jsonProperties(node, mapFolder, where, layer.properties) ||
            !jsonString(node, "encoding", where, false, encoding) ||
            !jsonString(node, "compression", where, false, compression))
            return false;
        const uint64_t expected = uint64_t(layer.width) * uint64_t(layer.height);
        const json* cells = member(node, "data");
        if (cells == nullptr)
            return fail(where + " has no data");
        if (cells->is_string()) {
            if (!decodeGids(where, cells->get<std::string>(), encoding, compression, expected, layer.gids))
                return false;
        } else if (cells->is_array()) {
            // Counted before anything is allocated for them.
            if (!checkCount(where, cells->size(), expected))
                return false;
            layer.gids.reserve(cells->size());
            for (const json& cell : *cells) {
                if (!cell.is_number_unsigned() || cell.get<uint64_t>() > 0xFFFFFFFFu)
                    return fail(where + "'s data holds something other than tile ids");
                layer.gids.push_back(uint32_t(cell.get<uint64_t>()));
            }
        } else {
            return fail(where + "'s data is neither an array nor a string");
        }
        data.tileLayers.push_back(std::move(layer));
        return true;
    }

    bool jsonObjectLayer(const json& node, const std::string& where, const LayerCommon& common)
    {
        CObjectLayer layer;
        common.copyTo(layer);
        const json* objects = nullptr;
        if (!jsonProperties(node, mapFolder, where, layer.properties) ||
            !jsonArray(node, "objects", where, false, objects))
            return false;
        for (const json& objectNode : *objects) {
            if (!objectNode.is_object())
                return fail(where + " has an object that is not an object");
            CMapObject object;
            if (!jsonWhole(objectNode, "id", where + "'s object", INT_MIN, INT_MAX, false, object.id))
                return false;
            const std::string objectWhere = where + "'s object " + std::to_string(object.id);
            if (!jsonString(objectNode, "name", objectWhere, false, object.name) ||
                !jsonString(objectNode, "class", objectWhere, false, object.type) ||
                !jsonString(objectNode, "type", objectWhere, false, object.type) ||
                !jsonFloat(objectNode, "x", objectWhere, object.x) ||
                !jsonFloat(objectNode, "y", objectWhere, object.y) ||
                !jsonFloat(objectNode, "width", objectWhere, object.width) ||
                !jsonFloat(objectNode, "height", objectWhere, object.height) ||
                !jsonFloat(objectNode, "rotation", objectWhere, object.rotation) ||
                !jsonWhole(objectNode, "gid", objectWhere, 0u, 0xFFFFFFFFu, false, object.gid) ||
                !jsonBool(objectNode, "point", objectWhere, object.point) ||
                !jsonBool(objectNode, "visible", objectWhere, object.visible) ||
                !jsonProperties(objectNode, mapFolder, objectWhere, object.properties))
                return false;
            layer.objects.push_back(std::move(object));
        }
        data.objectLayers.push_back(std::move(layer));
        return true;
    }

    const std::string mapPath;
    const std::string mapFolder;  // where the map's own relative paths start
    CTileMapData& data;
    std::string why;                               // the first problem found; empty while there is none
    std::map<std::string, CTileset> readTilesets;  // external tilesets by path, read from gid 1
    uint64_t cellsHeld = 0;                        // the cells of the tile layers read so far
};

}  // namespace

const uint64_t CTileMapReader::kMaxCells;
const uint64_t CTileMapReader::kMaxFileBytes;

bool CTileMapReader::read(const std::string& bytes, const std::string& fileName, CTileMapData& data)
{
    data = CTileMapData();
    Reader reader(fileName, data);
    if (!reader.readMap(bytes)) {
        data = CTileMapData();
        CLog::line("Failed to load the tile map: " + fileName + ", Error: " + reader.problem());
        return false;
    }
    dropUnknownIds(fileName, data);
    return true;
}

void CTileMapReader::dropUnknownIds(const std::string& fileName, CTileMapData& data)
{
    uint64_t dropped = 0;
    std::string first;
    for (CTileLayer& layer : data.tileLayers) {
        for (uint32_t& gid : layer.gids) {
            const uint32_t id = gid & kTileGidMask;
            if (id == 0) {
                gid = 0;
                continue;
            }
            if (holds(data, id))
                continue;
            if (dropped++ == 0)
                first = std::to_string(id) + " in layer " + named(layer.name);
            gid = 0;
        }
    }
    if (dropped != 0)
        CLog::line("Skipped tiles in the tile map: " + fileName + ", Error: " + std::to_string(dropped) +
                   " tile ids no tileset holds (the first " + first + ")");
}

uint64_t CTileMapReader::tilesetFilesRead()
{
    return g_tilesetFilesRead;
}

std::string CTileMapReader::quote(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < 160; ++i)
        out += (unsigned char)text[i] < 0x20 || text[i] == 0x7f ? '?' : text[i];
    return out + (text.size() > 160 ? "...\"" : "\"");
}

bool CTileMapReader::readFile(const std::string& fileName, CTileMapData& data)
{
    std::string bytes, problem;
    if (!readWholeFile(fileName, bytes, problem)) {
        data = CTileMapData();
        CLog::line("Failed to load the tile map: " + fileName + ", Error: the file " + problem);
        return false;
    }
    return read(bytes, fileName, data);
}
