#ifndef ENGINE_TILEMAP_TILEMAPREADER_H
#define ENGINE_TILEMAP_TILEMAPREADER_H

#include <cstdint>
#include <string>

struct CTileMapData;

// Reads orthogonal Tiled maps, TMX (XML) and TMJ (JSON), into a CTileMapData without touching
// OpenGL, so that a fuzzer and a test reach every line of it without a window. The format is told
// by the first character ('<' or '{'), else by the name's extension. Layer data may be CSV, XML
// tile elements, or base64, plain or compressed with zlib or gzip. Tilesets may be embedded or
// external (.tsx or .tsj, found from the folder of the map); images are named, not opened. Older
// files are read too: a tileset without its tile size takes the map's, one without its tile count
// or columns is counted in its image by the tile map, and JSON from before Tiled 1.2 keeps
// properties in objects (with "propertytypes") and tiles in an object keyed by id. Refused
// with a reason: other orientations, infinite maps, tilesets of single images, zstd data. Not yet:
// image layers, which are skipped. Owns nothing.
class CTileMapReader {
public:
    // A map's tile layers hold at most this many cells together (64 MiB of ids), however many
    // layers there are: the cells of all layers, groups included, are counted before any layer's
    // data is decoded, so a map past the bound costs no more than its parsed text. A layer's
    // compressed data is inflated no further than the 4 bytes of each of its cells (and one byte
    // to see that it goes on), so a whole map inflates no more than 64 MiB. A file holds at most
    // kMaxFileBytes.
    static const uint64_t kMaxCells = uint64_t(1) << 24;
    static const uint64_t kMaxFileBytes = uint64_t(64) << 20;
    // Checked in the text before it is parsed, so that no parse tree is built past them. Every XML
    // element costs pugixml's tree some 80 bytes, twenty times a cell's id: maps written in the old
    // one-element-per-tile form hold about a million cells; CSV and base64 hold kMaxCells. JSON
    // nests a few levels a group.
    static const uint64_t kMaxXmlElements = uint64_t(1) << 20;
    static const int kMaxJsonDepth = 256;

    // How many external tileset files reads have read since the program started: each is read once
    // a map however many tilesets name it. A measure for tests.
    static uint64_t tilesetFilesRead();

    // Reads a map from its bytes; fileName names it in messages and its folder is where external
    // tilesets are looked for. Replaces what data held. On failure writes one line,
    // "Failed to load the tile map: " + fileName + ", Error: " + what is wrong, and leaves data
    // empty. Tile ids that no tileset holds are made empty cells, with one line for them all.
    static bool read(const std::string& bytes, const std::string& fileName, CTileMapData& data);
    // read() on the file's contents; a file that cannot be read is the same kind of failure.
    static bool readFile(const std::string& fileName, CTileMapData& data);
    // Makes tile ids that no tileset holds empty cells, with one line "Skipped tiles in the tile map: "
    // for them all. read() does it; the tile map does it again once the images have counted the tiles
    // of tilesets that gave no count.
    static void dropUnknownIds(const std::string& fileName, CTileMapData& data);
    // A name or path from a map file as failure lines show it: CLogText::quoted, cut after 160
    // characters, so that a hostile name can neither break a line in two nor flood the log.
    static std::string quote(const std::string& text);
};

#endif
