#include "engine/tilemap/TileMapReader.h"

#include "engine/core/JsonFields.h"
#include "engine/core/Log.h"
#include "engine/core/LogText.h"
#include "engine/core/WholeFile.h"
#include "engine/tilemap/TileMapData.h"

#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
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
    switch (CWholeFile::read(path, CTileMapReader::kMaxFileBytes, bytes)) {
    case CWholeFile::kNone:
        return true;
    case CWholeFile::kNulInName:
        why = "has a NUL byte in its name";
        break;
    case CWholeFile::kMissing:
        why = "does not exist";
        break;
    // A device or a pipe named by a hostile map could block the read or never end.
    case CWholeFile::kNotRegular:
        why = "is not a regular file";
        break;
    case CWholeFile::kTooLarge:
        why = "is larger than 64 MiB";
        break;
    case CWholeFile::kCannotOpen:
    case CWholeFile::kUnreadable:
        why = "cannot be read";
        break;
    }
    return false;
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

// ---- The neutral form ----
//
// Both formats are read through one form, so that each field's rule is written once: an element
// (Node) of either parser's tree, whose fields (Record) are named as the JSON format names them.
// Where TMX keeps a field in a child element (a tileset's <image> and <tileoffset>, an object's
// <point/>), the record takes it from there under the JSON name and keeps TMX's wording for it in
// failure lines. Children are listed as nodes and read when the builder reaches them, so that no
// second tree of the whole file is made.

// One element: the map, a tileset, a tile, a frame, a layer, an object, a property.
struct Node {
    pugi::xml_node xml;           // TMX and TSX
    const json* typed = nullptr;  // TMJ and TSJ; any JSON value, checked to be an object before use

    bool isObject() const
    {
        return xml || (typed != nullptr && typed->is_object());
    }
};

// One value as its file wrote it: TMX's text, which the rules read as a number or a flag, or a
// JSON value of its own type. Neither when the field is absent.
struct Value {
    const char* text = nullptr;
    const json* typed = nullptr;

    bool given() const
    {
        return text != nullptr || typed != nullptr;
    }
};

struct Field {
    const char* key;    // the JSON name
    const char* label;  // the name failure lines give it
    Value value;
};

// A node's fields. Points into the parsed document, which outlives it.
struct Record {
    std::vector<Field> fields;
    bool imageWithoutSource = false;  // TMX: an <image> without its source

    const Field* find(const char* key) const
    {
        for (const Field& field : fields)
            if (std::strcmp(field.key, key) == 0)
                return &field;
        return nullptr;
    }
    Value operator[](const char* key) const
    {
        const Field* field = find(key);
        return field != nullptr ? field->value : Value();
    }
    // How where's field is named in a failure line.
    std::string name(const std::string& where, const char* key) const
    {
        const Field* field = find(key);
        return where + "'s " + (field != nullptr ? field->label : key);
    }
};

const json kTrue = true;

// A field TMX keeps in a child element, taken under its JSON name and labelled as TMX names it.
void addMoved(const pugi::xml_node& element, const char* attribute, const char* key, const char* label,
              Record& record)
{
    if (const pugi::xml_attribute found = element.attribute(attribute))
        record.fields.push_back(Field{key, label, Value{found.value(), nullptr}});
}

Record recordOf(const Node& node)
{
    Record record;
    if (node.xml) {
        for (const pugi::xml_attribute& attribute : node.xml.attributes())
            record.fields.push_back(Field{attribute.name(), attribute.name(), Value{attribute.value(), nullptr}});
        const std::string element = node.xml.name();
        if (element == "tileset") {
            const pugi::xml_node image = node.xml.child("image");
            record.imageWithoutSource = image && !image.attribute("source");
            addMoved(image, "source", "image", "image's source", record);
            addMoved(image, "width", "imagewidth", "image's width", record);
            addMoved(image, "height", "imageheight", "image's height", record);
            addMoved(image, "trans", "transparentcolor", "image trans", record);
            addMoved(node.xml.child("tileoffset"), "x", "tileoffset.x", "tile offset's x", record);
            addMoved(node.xml.child("tileoffset"), "y", "tileoffset.y", "tile offset's y", record);
        } else if (element == "object" && node.xml.child("point")) {
            record.fields.push_back(Field{"point", "point", Value{nullptr, &kTrue}});
        }
    } else if (node.isObject()) {
        for (auto member = node.typed->begin(); member != node.typed->end(); ++member)
            record.fields.push_back(Field{member.key().c_str(), member.key().c_str(), Value{nullptr, &*member}});
        const json* offset = CJsonFields::find(*node.typed, "tileoffset");
        if (offset != nullptr && offset->is_object()) {
            if (const json* x = CJsonFields::find(*offset, "x"))
                record.fields.push_back(Field{"tileoffset.x", "tile offset's x", Value{nullptr, x}});
            if (const json* y = CJsonFields::find(*offset, "y"))
                record.fields.push_back(Field{"tileoffset.y", "tile offset's y", Value{nullptr, y}});
        }
    }
    return record;
}

// A property as either format gives it: since Tiled 1.2 an element or object of name, type and
// value; before, in JSON, a member of an object keyed by name with its type beside it.
struct Property {
    Value name;
    Value type;
    Value value;
};

// A tileset's tile: a node of its own, or in JSON from before Tiled 1.2 an entry keyed by its id,
// with its properties in the tileset's "tileproperties" (and their types in "tilepropertytypes").
struct TileNode {
    Node node;
    const char* id = nullptr;  // the key of the older form, already read as an id
    const json* properties = nullptr;
    const json* types = nullptr;
};

// A tile layer's cells as written: text to decode, or one value a cell (TMX's <tile gid> elements,
// a JSON array, which is read where it is: a full layer's copy would take 256 MiB).
struct LayerData {
    bool given = false;
    bool chunks = false;
    std::string encoding = "csv";
    std::string compression;
    Value text;
    bool listed = false;
    std::vector<Value> cells;
    const json* array = nullptr;

    std::size_t count() const
    {
        return array != nullptr ? array->size() : cells.size();
    }
    Value operator[](std::size_t i) const
    {
        return array != nullptr ? Value{nullptr, &(*array)[i]} : cells[i];
    }
};

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
        pugi::xml_document xml;
        json typed;
        Node map;
        if (!parse(bytes, mapPath, "the map", "map", xml, typed, map))
            return false;
        return mapFields(map) && finishTilesets();
    }

    const std::string& problem() const
    {
        return fields.error();
    }

private:
    bool fail(const std::string& text)
    {
        return fields.fail(text);
    }

    // The file's root element: <map> or <tileset> in XML, the root object in JSON.
    bool parse(const std::string& bytes, const std::string& path, const std::string& what, const char* root,
               pugi::xml_document& xml, json& typed, Node& node)
    {
        if (formatOf(bytes, path) == Format::Xml) {
            if (xmlElements(bytes) > CTileMapReader::kMaxXmlElements)
                return fail(what + " has more than " + std::to_string(CTileMapReader::kMaxXmlElements) +
                            " XML elements");
            const pugi::xml_parse_result result = xml.load_buffer(bytes.data(), bytes.size());
            if (!result)
                return fail(what + " is not valid XML (" + result.description() + " at byte " +
                            std::to_string(result.offset) + ")");
            node.xml = xml.child(root);
            if (!node.xml)
                return fail((std::strcmp(root, "map") == 0 ? std::string("the file") : what) + " has no <" + root +
                            "> element");
            return true;
        }
        if (jsonTooDeep(bytes))
            return fail(what + " is nested more than " + std::to_string(CTileMapReader::kMaxJsonDepth) + " deep");
        // The parser reports through an exception; it goes no further than here.
        try {
            typed = json::parse(bytes);
        } catch (const json::exception& error) {
            return fail(what + " is not valid JSON (" + error.what() + ")");
        }
        if (!typed.is_object())
            return fail(what + " is not a JSON object");
        node.typed = &typed;
        return true;
    }

    // ---- The field rules ----

    // A whole number from low to high. An absent field leaves out as it is, unless it is required.
    template <typename T>
    bool whole(const Record& record, const char* key, const std::string& where, T low, T high, bool required,
               T& out)
    {
        return whole(record[key], record.name(where, key), low, high, required, out);
    }

    template <typename T>
    bool whole(const Value& value, const std::string& name, T low, T high, bool required, T& out)
    {
        int64_t read = int64_t(out);
        if (value.text != nullptr) {
            long long number = 0;
            if (!parseNumber(value.text, number))
                return fail(name + " " + named(value.text) + " is not a whole number");
            const json typed = number < 0 ? json(int64_t(number)) : json(uint64_t(number));
            if (!fields.whole(&typed, name, required, int64_t(low), int64_t(high), read))
                return false;
        } else if (!fields.whole(value.typed, name, required, int64_t(low), int64_t(high), read)) {
            return false;
        }
        out = T(read);
        return true;
    }

    bool number(const Record& record, const char* key, const std::string& where, float& out)
    {
        const Value value = record[key];
        if (value.text == nullptr)
            return fields.number(value.typed, record.name(where, key), out);
        double read = 0.0;
        if (!parseNumber(value.text, read) || !std::isfinite(read) || std::fabs(read) > 1e30)
            return fail(record.name(where, key) + " " + named(value.text) + " is not a number");
        out = float(read);
        return true;
    }

    // TMX writes flags as 0 and 1, JSON as true and false.
    bool flag(const Record& record, const char* key, const std::string& where, bool& out)
    {
        const Value value = record[key];
        if (value.text == nullptr)
            return fields.flag(value.typed, record.name(where, key), out);
        int read = out ? 1 : 0;
        if (!whole(value, record.name(where, key), 0, 1, false, read))
            return false;
        out = read != 0;
        return true;
    }

    bool text(const Record& record, const char* key, const std::string& where, bool required, std::string& out)
    {
        return text(record[key], record.name(where, key), required, out);
    }

    bool text(const Value& value, const std::string& name, bool required, std::string& out)
    {
        if (value.text == nullptr)
            return fields.text(value.typed, name, required, out);
        out = value.text;
        return true;
    }

    // The nodes listed under node: in JSON the array member key (absent is none, unless required),
    // in XML the child elements named child (all of them when child is null) of the element
    // parent (node itself when null). Each must be an object, a noun + " that is not an object".
    bool list(const Node& node, const char* key, const char* parent, const char* child, const std::string& where,
              bool required, const char* noun, std::vector<Node>& out)
    {
        out.clear();
        if (node.xml) {
            const pugi::xml_node under = parent != nullptr ? node.xml.child(parent) : node.xml;
            for (const pugi::xml_node& element : under.children())
                if (element.type() == pugi::node_element &&
                    (child == nullptr || std::strcmp(element.name(), child) == 0))
                    out.push_back(Node{element, nullptr});
            return true;
        }
        const json* array = fields.array(CJsonFields::find(*node.typed, key), where + "'s " + key, required);
        if (array == nullptr)
            return fields.error().empty();
        out.reserve(array->size());
        for (const json& element : *array) {
            if (!element.is_object())
                return fail(where + " has " + noun + " that is not an object");
            out.push_back(Node{pugi::xml_node(), &element});
        }
        return true;
    }

    // ---- Properties ----

    bool propertyList(const Node& owner, const std::string& where, std::vector<Property>& out)
    {
        out.clear();
        if (owner.xml) {
            for (const pugi::xml_node& property : owner.xml.child("properties").children("property")) {
                const pugi::xml_attribute value = property.attribute("value");
                // Text with line breaks is written as the element's content instead of an attribute.
                out.push_back(Property{
                    Value{property.attribute("name") ? property.attribute("name").value() : nullptr, nullptr},
                    Value{property.attribute("type") ? property.attribute("type").value() : nullptr, nullptr},
                    Value{value ? value.value() : property.text().get(), nullptr}});
            }
            return true;
        }
        const json* values = CJsonFields::find(*owner.typed, "properties");
        if (values != nullptr && values->is_object())
            return propertyObject(*values, CJsonFields::find(*owner.typed, "propertytypes"), where, out);
        std::vector<Node> nodes;
        if (!list(owner, "properties", nullptr, nullptr, where, false, "a property", nodes))
            return false;
        for (const Node& node : nodes)
            out.push_back(Property{Value{nullptr, CJsonFields::find(*node.typed, "name")},
                                   Value{nullptr, CJsonFields::find(*node.typed, "type")},
                                   Value{nullptr, CJsonFields::find(*node.typed, "value")}});
        return true;
    }

    // The older JSON form, in name order as Tiled wrote it.
    bool propertyObject(const json& values, const json* types, const std::string& where,
                        std::vector<Property>& out)
    {
        if (types != nullptr && !types->is_object())
            return fail(where + "'s propertytypes is not an object");
        for (auto entry = values.begin(); entry != values.end(); ++entry) {
            const json* type = types != nullptr ? CJsonFields::find(*types, entry.key().c_str()) : nullptr;
            if (type != nullptr && !type->is_string())
                return fail(where + "'s property type of " + named(entry.key()) + " is not a string");
            out.push_back(
                Property{Value{entry.key().c_str(), nullptr}, Value{nullptr, type}, Value{nullptr, &*entry}});
        }
        return true;
    }

    // A property without a type is a string, as Tiled reads it; a file's path is made relative to
    // where the program runs; a class's members are not read yet.
    bool properties(const Node& owner, const std::string& folder, const std::string& where,
                    CMapProperties& properties)
    {
        std::vector<Property> list;
        return propertyList(owner, where, list) && setProperties(list, folder, where, properties);
    }

    bool setProperties(const std::vector<Property>& list, const std::string& folder, const std::string& where,
                       CMapProperties& properties)
    {
        for (const Property& property : list) {
            std::string name, type = "string", text;
            if (!this->text(property.name, where + "'s property's name", true, name) ||
                !this->text(property.type, where + "'s property " + named(name) + "'s type", false, type))
                return false;
            const Value& value = property.value;
            if (type == "class") {
                // Not yet: a class property's members.
            } else if (!value.given()) {
                return fail(where + "'s property " + named(name) + " has no value");
            } else if (value.text != nullptr) {
                text = value.text;
            } else if (value.typed->is_string()) {
                text = value.typed->get<std::string>();
            } else if (value.typed->is_number() || value.typed->is_boolean()) {
                text = value.typed->dump();
            } else {
                return fail(where + "'s property " + named(name) + " has a value that is not plain");
            }
            if (type == "file")
                text = resolve(folder, text);
            properties.set(name, type, text);
        }
        return true;
    }

    // ---- The map ----

    bool mapFields(const Node& node)
    {
        const std::string where = "the map";
        const Record map = recordOf(node);
        std::string type = "map", orientation;
        bool infinite = false;
        if (!text(map, "type", where, false, type))
            return false;
        if (type != "map")
            return fail("the file is a " + named(type) + ", not a map");
        if (!text(map, "orientation", where, true, orientation))
            return false;
        if (orientation != "orthogonal")
            return fail("the map is " + named(orientation) + "; only orthogonal maps are supported");
        if (!flag(map, "infinite", where, infinite))
            return false;
        if (infinite)
            return fail("the map is infinite (chunks are not supported)");
        std::vector<Node> tilesets, layers;
        if (!whole(map, "width", where, 1, int(CTileMapReader::kMaxCells), true, data.width) ||
            !whole(map, "height", where, 1, int(CTileMapReader::kMaxCells), true, data.height) ||
            !whole(map, "tilewidth", where, 1, kMaxTileSide, true, data.tileWidth) ||
            !whole(map, "tileheight", where, 1, kMaxTileSide, true, data.tileHeight) || !checkMapSize() ||
            !properties(node, mapFolder, where, data.properties) ||
            !list(node, "tilesets", nullptr, "tileset", where, false, "a tileset", tilesets) ||
            !list(node, "layers", nullptr, nullptr, where, true, "a layer", layers) ||
            !checkAllCells(cellsUnder(layers, 0)))
            return false;
        for (const Node& tilesetNode : tilesets) {
            const Record record = recordOf(tilesetNode);
            CTileset tileset;
            std::string source;
            if (!whole(record, "firstgid", "a tileset", 1u, kTileGidMask, true, tileset.firstGid) ||
                !text(record, "source", "a tileset", false, source))
                return false;
            // TMX names an external tileset by having a source, JSON by a source that is not empty.
            const bool external = record["source"].text != nullptr || !source.empty();
            if (external ? !externalTileset(source, tileset) : !tilesetFields(tilesetNode, mapFolder, "", tileset))
                return false;
            data.tilesets.push_back(std::move(tileset));
        }
        return layerList(layers, Group(), 0);
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

    // ---- Counting cells before any is decoded ----

    // A layer's width or height as the layer's own check takes it; one it would refuse is left to
    // that check and counts as nothing here.
    static uint64_t side(const Value& value, int fallback)
    {
        long long read = fallback;
        if (value.text != nullptr && !parseNumber(value.text, read))
            return 0;
        if (value.typed != nullptr) {
            if (!value.typed->is_number_integer() ||
                (value.typed->is_number_unsigned() && value.typed->get<uint64_t>() > CTileMapReader::kMaxCells))
                return 0;
            read = value.typed->get<long long>();
        }
        return read < 1 || uint64_t(read) > CTileMapReader::kMaxCells ? 0 : uint64_t(read);
    }

    // A layer's kind without a failure line: "tilelayer", "objectgroup", "group", or another
    // (image layers, and what is no layer) that is skipped.
    static std::string quietKind(const Node& node)
    {
        if (node.xml) {
            const std::string element = node.xml.name();
            return element == "layer" ? "tilelayer" : element;
        }
        const json* type = node.isObject() ? CJsonFields::find(*node.typed, "type") : nullptr;
        return type != nullptr && type->is_string() ? type->get<std::string>() : std::string();
    }

    // The cells of the tile layers among nodes, groups included. Stops as soon as the count passes
    // the bound, so that it cannot overflow.
    uint64_t cellsUnder(const std::vector<Node>& nodes, int depth) const
    {
        uint64_t cells = 0;
        for (const Node& node : nodes) {
            if (cells > CTileMapReader::kMaxCells)
                break;
            const std::string kind = quietKind(node);
            if (kind == "tilelayer") {
                const Record record = recordOf(node);
                cells += side(record["width"], data.width) * side(record["height"], data.height);
            } else if (kind == "group" && depth < kMaxGroupDepth) {
                std::vector<Node> inner;
                if (node.xml) {
                    for (const pugi::xml_node& element : node.xml.children())
                        inner.push_back(Node{element, nullptr});
                } else if (const json* layers = CJsonFields::find(*node.typed, "layers")) {
                    for (std::size_t i = 0; layers->is_array() && i < layers->size(); ++i)
                        inner.push_back(Node{pugi::xml_node(), &(*layers)[i]});
                }
                cells += cellsUnder(inner, depth + 1);
            }
        }
        return cells;
    }

    // ---- Tilesets ----

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
        pugi::xml_document xml;
        json typed;
        Node root;
        return parse(bytes, path, where, "tileset", xml, typed, root) &&
               tilesetFields(root, folderOf(path), where, tileset);
    }

    // where is empty for an embedded tileset, which is then named by its name.
    bool tilesetFields(const Node& node, const std::string& folder, std::string where, CTileset& tileset)
    {
        const Record record = recordOf(node);
        std::string type = "tileset", transparent;
        if (!text(record, "name", "a tileset", false, tileset.name))
            return false;
        if (where.empty())
            where = "tileset " + named(tileset.name);
        if (!text(record, "type", where, false, type))
            return false;
        if (type != "tileset")
            return fail(where + " is a " + named(type) + ", not a tileset");
        if (record.imageWithoutSource)
            return fail(where + "'s image has no source");
        if (!whole(record, "tilewidth", where, 1, kMaxTileSide, false, tileset.tileWidth) ||
            !whole(record, "tileheight", where, 1, kMaxTileSide, false, tileset.tileHeight) ||
            !whole(record, "spacing", where, 0, kMaxTileSide, false, tileset.spacing) ||
            !whole(record, "margin", where, 0, kMaxTileSide, false, tileset.margin) ||
            !whole(record, "columns", where, 0, kMaxTileSide, false, tileset.columns) ||
            !whole(record, "tilecount", where, 0u, kTileGidMask, false, tileset.tileCount) ||
            !text(record, "image", where, false, tileset.image) ||
            !whole(record, "imagewidth", where, 0, INT_MAX, false, tileset.imageWidth) ||
            !whole(record, "imageheight", where, 0, INT_MAX, false, tileset.imageHeight) ||
            !text(record, "transparentcolor", where, false, transparent) ||
            !colourKey(transparent, record.name(where, "transparentcolor"), tileset.colorKey))
            return false;
        const Value offset = record["tileoffset"];
        if (offset.typed != nullptr && !offset.typed->is_object())
            return fail(where + "'s tileoffset is not an object");
        if (!whole(record, "tileoffset.x", where, -kMaxTileSide, kMaxTileSide, false, tileset.offsetX) ||
            !whole(record, "tileoffset.y", where, -kMaxTileSide, kMaxTileSide, false, tileset.offsetY) ||
            !properties(node, folder, where, tileset.properties))
            return false;
        tileset.image = resolve(folder, tileset.image);
        std::vector<TileNode> tiles;
        std::vector<CTilesetTile> described;
        if (!tileList(node, where, tiles))
            return false;
        for (const TileNode& tileNode : tiles) {
            CTilesetTile tile;
            if (!tileFields(tileNode, folder, where, tile))
                return false;
            described.push_back(std::move(tile));
        }
        return finishTileset(tileset, described, where);
    }

    bool tileList(const Node& node, const std::string& where, std::vector<TileNode>& out)
    {
        const json* tiles = node.typed != nullptr ? CJsonFields::find(*node.typed, "tiles") : nullptr;
        if (node.typed == nullptr || ((tiles == nullptr || !tiles->is_object()) &&
                                      CJsonFields::find(*node.typed, "tileproperties") == nullptr)) {
            std::vector<Node> nodes;
            if (!list(node, "tiles", nullptr, "tile", where, false, "a tile", nodes))
                return false;
            for (const Node& tile : nodes)
                out.push_back(TileNode{tile, nullptr, nullptr, nullptr});
            return true;
        }
        // Before Tiled 1.2: an object keyed by tile id, with the tiles' properties in a
        // "tileproperties" object of the same keys (and their types in "tilepropertytypes"), in id
        // order.
        const json* properties = CJsonFields::find(*node.typed, "tileproperties");
        const json* types = CJsonFields::find(*node.typed, "tilepropertytypes");
        std::map<uint32_t, TileNode> byId;
        for (const char* key : {"tiles", "tileproperties"}) {
            const json* entries = CJsonFields::find(*node.typed, key);
            if (entries == nullptr)
                continue;
            if (!entries->is_object())
                return fail(where + "'s " + key + " is not an object");
            if (entries == properties && types != nullptr && !types->is_object())
                return fail(where + "'s tilepropertytypes is not an object");
            for (auto entry = entries->begin(); entry != entries->end(); ++entry) {
                uint32_t id = 0;
                if (!parseNumber(entry.key().c_str(), id) || id > kTileGidMask)
                    return fail(where + " has a tile id " + named(entry.key()) + " that is not a whole number");
                if (!entry->is_object())
                    return fail(where + "'s " + key + " of tile " + std::to_string(id) + " is not an object");
                TileNode& tile = byId[id];
                tile.id = entry.key().c_str();
                if (entries == properties) {
                    tile.properties = &*entry;
                    tile.types = types != nullptr ? CJsonFields::find(*types, entry.key().c_str()) : nullptr;
                } else {
                    tile.node.typed = &*entry;
                }
            }
        }
        for (const auto& entry : byId)
            out.push_back(entry.second);
        return true;
    }

    bool tileFields(const TileNode& tileNode, const std::string& folder, const std::string& where,
                    CTilesetTile& tile)
    {
        static const json kEmpty = json::object();
        const Node node =
            tileNode.node.xml || tileNode.node.typed != nullptr ? tileNode.node : Node{pugi::xml_node(), &kEmpty};
        const Record record = recordOf(node);
        const Value id = tileNode.id != nullptr ? Value{tileNode.id, nullptr} : record["id"];
        if (!whole(id, where + "'s tile's id", 0u, kTileGidMask, true, tile.id))
            return false;
        const std::string tileWhere = where + "'s tile " + std::to_string(tile.id);
        std::vector<Node> frames;
        if (!text(record, "class", tileWhere, false, tile.type) ||
            !text(record, "type", tileWhere, false, tile.type) ||
            !properties(node, folder, tileWhere, tile.properties) ||
            !list(node, "animation", "animation", "frame", tileWhere, false, "a frame", frames))
            return false;
        if (tileNode.properties != nullptr) {
            std::vector<Property> older;
            if (!propertyObject(*tileNode.properties, tileNode.types, tileWhere, older) ||
                !setProperties(older, folder, tileWhere, tile.properties))
                return false;
        }
        for (const Node& frameNode : frames) {
            const Record frameRecord = recordOf(frameNode);
            CTilesetTile::Frame frame{0, 0};
            if (!whole(frameRecord, "tileid", tileWhere + "'s frame", 0u, kTileGidMask, true, frame.tileId) ||
                !whole(frameRecord, "duration", tileWhere + "'s frame", 0u, 0xFFFFFFFFu, true, frame.duration))
                return false;
            tile.animation.push_back(frame);
        }
        return true;
    }

    // An empty text names no colour.
    bool colourKey(const std::string& text, const std::string& name, int32_t& out)
    {
        if (!text.empty() && !readColourKey(text, out))
            return fail(name + " " + named(text) + " is not a colour (six hex digits)");
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

    // ---- Layers ----

    bool layerList(const std::vector<Node>& nodes, const Group& group, int depth)
    {
        if (depth > kMaxGroupDepth)
            return fail("the map's groups are nested deeper than " + std::to_string(kMaxGroupDepth) + " levels");
        for (const Node& node : nodes) {
            const Record record = recordOf(node);
            LayerCommon common;
            std::string kind;
            if (!text(record, "name", "a layer", false, common.name) ||
                !layerKind(node, record, common.name, kind))
                return false;
            if (kind.empty())
                continue;  // Not yet: image layers are skipped.
            const std::string where = (kind == "group" ? "group " : "layer ") + named(common.name);
            if (!whole(record, "id", where, INT_MIN, INT_MAX, false, common.id) ||
                !number(record, "opacity", where, common.opacity) ||
                !flag(record, "visible", where, common.visible) ||
                !number(record, "offsetx", where, common.offsetX) ||
                !number(record, "offsety", where, common.offsetY))
                return false;
            common.combine(group);
            bool ok = true;
            if (kind == "tilelayer") {
                ok = tileLayer(node, record, where, common);
            } else if (kind == "objectgroup") {
                ok = objectLayer(node, where, common);
            } else {
                std::vector<Node> inner;
                ok = list(node, "layers", nullptr, nullptr, where, false, "a layer", inner) &&
                     layerList(inner, Group{common.offsetX, common.offsetY, common.opacity, common.visible},
                               depth + 1);
            }
            if (!ok)
                return false;
        }
        return true;
    }

    // "tilelayer", "objectgroup" or "group"; empty for a layer that is skipped. TMX tells the kind by
    // the element and skips what it does not know; JSON by a "type" it must give.
    bool layerKind(const Node& node, const Record& record, const std::string& name, std::string& kind)
    {
        if (node.xml) {
            kind = quietKind(node);
            if (kind != "tilelayer" && kind != "objectgroup" && kind != "group")
                kind.clear();
            return true;
        }
        if (!text(record, "type", "layer " + named(name), true, kind))
            return false;
        if (kind == "imagelayer")
            kind.clear();
        else if (kind != "tilelayer" && kind != "objectgroup" && kind != "group")
            return fail("layer " + named(name) + "'s type " + named(kind) + " is not a kind of layer");
        return true;
    }

    // The cells as the layer wrote them. TMX keeps them in a <data> element, the encoding its
    // attribute (none: one <tile gid> element a cell); JSON in "data", a string to decode or an
    // array of ids.
    bool layerData(const Node& node, const Record& record, const std::string& where, LayerData& out)
    {
        if (node.xml) {
            const pugi::xml_node element = node.xml.child("data");
            out.given = bool(element);
            out.chunks = bool(element.child("chunk"));
            out.encoding = element.attribute("encoding").value();
            out.compression = element.attribute("compression").value();
            out.listed = out.encoding.empty();
            if (out.listed) {
                for (const pugi::xml_node& tile : element.children("tile")) {
                    const pugi::xml_attribute gid = tile.attribute("gid");
                    out.cells.push_back(Value{gid ? gid.value() : nullptr, nullptr});
                }
            } else {
                out.text.text = element.text().get();
            }
            return true;
        }
        const Value cells = record["data"];
        out.given = cells.given();
        out.chunks = record["chunks"].given();
        if (!text(record, "encoding", where, false, out.encoding) ||
            !text(record, "compression", where, false, out.compression))
            return false;
        if (!out.given || out.chunks || cells.typed->is_string()) {
            out.text = cells;
            return true;
        }
        if (!cells.typed->is_array())
            return fail(where + "'s data is neither an array nor a string");
        out.listed = true;
        out.array = cells.typed;
        return true;
    }

    bool tileLayer(const Node& node, const Record& record, const std::string& where, const LayerCommon& common)
    {
        CTileLayer layer;
        common.copyTo(layer);
        layer.width = data.width;
        layer.height = data.height;
        LayerData cells;
        if (record["chunks"].given())
            return fail(where + " is made of chunks (infinite maps are not supported)");
        if (!whole(record, "width", where, 1, int(CTileMapReader::kMaxCells), false, layer.width) ||
            !whole(record, "height", where, 1, int(CTileMapReader::kMaxCells), false, layer.height) ||
            !checkLayerSize(where, layer.width, layer.height) ||
            !properties(node, mapFolder, where, layer.properties) || !layerData(node, record, where, cells))
            return false;
        if (!cells.given)
            return fail(where + " has no data");
        if (cells.chunks)
            return fail(where + " is made of chunks (infinite maps are not supported)");
        const uint64_t expected = uint64_t(layer.width) * uint64_t(layer.height);
        if (!cells.listed) {
            std::string text;
            if (!this->text(cells.text, where + "'s data", false, text) ||
                !decodeGids(where, text, cells.encoding, cells.compression, expected, layer.gids))
                return false;
        } else {
            // Counted before anything is allocated for them.
            if (!checkCount(where, cells.count(), expected))
                return false;
            layer.gids.reserve(cells.count());
            for (std::size_t i = 0; i < cells.count(); ++i) {
                const Value cell = cells[i];
                uint32_t gid = 0;
                if (cell.typed != nullptr) {
                    if (!cell.typed->is_number_unsigned() || cell.typed->get<uint64_t>() > 0xFFFFFFFFu)
                        return fail(where + "'s data holds something other than tile ids");
                    gid = uint32_t(cell.typed->get<uint64_t>());
                } else if (!whole(cell, where + "'s tile's gid", 0u, 0xFFFFFFFFu, false, gid)) {
                    return false;
                }
                layer.gids.push_back(gid);
            }
        }
        data.tileLayers.push_back(std::move(layer));
        return true;
    }

    bool objectLayer(const Node& node, const std::string& where, const LayerCommon& common)
    {
        CObjectLayer layer;
        common.copyTo(layer);
        std::vector<Node> objects;
        if (!properties(node, mapFolder, where, layer.properties) ||
            !list(node, "objects", nullptr, "object", where, false, "an object", objects))
            return false;
        layer.objects.reserve(objects.size());
        for (const Node& objectNode : objects) {
            const Record record = recordOf(objectNode);
            CMapObject object;
            if (!whole(record, "id", where + "'s object", INT_MIN, INT_MAX, false, object.id))
                return false;
            const std::string objectWhere = where + "'s object " + std::to_string(object.id);
            if (!text(record, "name", objectWhere, false, object.name) ||
                !text(record, "class", objectWhere, false, object.type) ||
                !text(record, "type", objectWhere, false, object.type) ||
                !number(record, "x", objectWhere, object.x) || !number(record, "y", objectWhere, object.y) ||
                !number(record, "width", objectWhere, object.width) ||
                !number(record, "height", objectWhere, object.height) ||
                !number(record, "rotation", objectWhere, object.rotation) ||
                !whole(record, "gid", objectWhere, 0u, 0xFFFFFFFFu, false, object.gid) ||
                !flag(record, "point", objectWhere, object.point) ||
                !flag(record, "visible", objectWhere, object.visible) ||
                !properties(objectNode, mapFolder, objectWhere, object.properties))
                return false;
            layer.objects.push_back(std::move(object));
        }
        data.objectLayers.push_back(std::move(layer));
        return true;
    }

    // ---- Cells ----

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

    const std::string mapPath;
    const std::string mapFolder;  // where the map's own relative paths start
    CTileMapData& data;
    CJsonFields fields;                            // the field rules' wording; keeps the first problem
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
    return CLogText::quoted(text, 160);
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
