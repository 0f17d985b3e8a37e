// libFuzzer target for the Tiled map reader, without OpenGL: the bytes are read as a map named
// fuzz/corpus_tilemap/fuzz.tmx (TMX or TMJ by their first character), so that the external
// tilesets the seeds name (external.tsx, external.tsj beside them) are found from the working
// directory scripts/fuzz.sh runs in. A crash, a sanitizer report, an allocation or a process past
// the fuzzer's memory limits, an input past its time limit, or a map read as good whose layers do
// not hold one id per cell or still hold an id that no tileset holds, or whose tilesets' ids
// overlap, is a finding. Build and run it with scripts/fuzz.sh.
#include "engine/core/Log.h"
#include "engine/tilemap/TileMapData.h"
#include "engine/tilemap/TileMapReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The tilesets are sorted and apart (checked first), so the one that may hold id is found by
// halving: a full map's 16,777,216 cells against thousands of tilesets stay within the time limit.
bool held(const CTileMapData& map, uint32_t id)
{
    const auto after = std::upper_bound(map.tilesets.begin(), map.tilesets.end(), id,
                                        [](uint32_t gid, const CTileset& t) { return gid < t.firstGid; });
    return after != map.tilesets.begin() && id - (after - 1)->firstGid < (after - 1)->tileCount;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // The failure lines are the reader's business; the fuzzer's output stays readable.
    static const bool quiet = (CLog::setStream(nullptr), true);
    (void)quiet;
    CTileMapData map;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!CTileMapReader::read(bytes, "fuzz/corpus_tilemap/fuzz.tmx", map)) {
        if (map.width != 0 || !map.tileLayers.empty() || !map.tilesets.empty())
            std::abort();
        return 0;
    }
    for (std::size_t i = 1; i < map.tilesets.size(); ++i) {
        const CTileset& before = map.tilesets[i - 1];
        if (uint64_t(before.firstGid) + before.tileCount > map.tilesets[i].firstGid)
            std::abort();
    }
    for (const CTileLayer& layer : map.tileLayers) {
        if (layer.gids.size() != uint64_t(layer.width) * uint64_t(layer.height))
            std::abort();
        for (uint32_t gid : layer.gids)
            if ((gid & kTileGidMask) != 0 && !held(map, gid & kTileGidMask))
                std::abort();
    }
    return 0;
}
