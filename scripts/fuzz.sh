#!/usr/bin/env bash
# Builds the libFuzzer targets with ASan and UBSan and runs each for a bounded time: the TGA reader
# (seeds in fuzz/corpus/), the image-size check every loader runs before decoding, the BMP path and
# the data lookup's names (seeds in fuzz/corpus_headers/, corpus_bmp/ and corpus_names/, written by
# fuzz/make_header_corpus.py), and TrueType fonts through shaping and rasterising (seeds in
# fuzz/corpus_fonts/, written by fuzz/make_font_corpus.py), and atlas descriptors (seeds in
# fuzz/corpus_atlas/, written by fuzz/make_atlas_corpus.py), and Tiled maps (seeds in
# fuzz/corpus_tilemap/, written by fuzz/make_tilemap_corpus.py). Exits non-zero on any finding: a
# crash, a sanitizer report, a leak, a disagreement with the target's reference decoder, or a memory
# limit exceeded. Findings are saved in build-fuzz/.
#   bash scripts/fuzz.sh [seconds, default 60]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
SECONDS_TO_RUN="${1-60}"
# libFuzzer takes whole seconds (an int); anything else, and 0, which it reads as "no limit", is
# refused.
if [ "$#" -gt 1 ] || ! [[ "$SECONDS_TO_RUN" =~ ^[0-9]{1,9}$ ]] || [ "$((10#$SECONDS_TO_RUN))" -eq 0 ]; then
    echo "usage: bash scripts/fuzz.sh [seconds, a whole number of at least 1, default 60]" >&2
    exit 2
fi
SECONDS_TO_RUN="$((10#$SECONDS_TO_RUN))"

source scripts/deps.sh
# -fsanitize=fuzzer needs compiler-rt's libclang_rt.fuzzer, which Debian ships in libclang-rt-dev
# for its default clang (only recommended by clang, and recommends are not installed here). clang
# compiles against the newest GCC's C++ library it finds: that of the default g++, whatever the
# release (12 on Debian 12, 14 on Debian 13). The reader includes the GL headers for GL_RGB and
# links its upload path (libGL, GLEW, libGLU, SDL, SDL_image), which the target never calls.
ensure_packages g++ cmake
ensure_packages clang libclang-rt-dev "libstdc++-$(g++ -dumpversion | cut -d. -f1)-dev" libgl-dev \
    libglew-dev libglu1-mesa-dev libsdl1.2-dev libsdl-image1.2-dev libfreetype-dev libharfbuzz-dev libstb-dev nlohmann-json3-dev \
    libpugixml-dev zlib1g-dev pkg-config
CXX="$(command -v clang++)"

OUT="$ROOT/build-fuzz"
mkdir -p "$OUT"
WORK="$(mktemp -d /tmp/quarl_fuzz_XXXXXX)"
trap 'rm -rf "$WORK"' EXIT

# Each target runs with a time limit per input and two memory limits, one on the process and one
# on any single allocation, set by limits before it from what its reader allows, so that an input
# costing more than the reader's bounds, or time out of proportion to its size (a quadratic path),
# is a finding: -timeout (seconds), -rss_limit_mb, -malloc_limit_mb, -max_len (bytes).
#   limits <seconds per input> <process MiB> <allocation MiB> <input bytes>
limits() {
    LIMITS=(-timeout="$1" -rss_limit_mb="$2" -malloc_limit_mb="$3" -max_len="$4")
}

# Builds one target from its sources and fuzzes it for SECONDS_TO_RUN from a copy of its seed
# corpus (so the run never changes the committed seeds), with the limits last set. Exits on a
# finding.
#   fuzz_target <name> <corpus folder> <source>...
fuzz_target() {
    local name="$1" corpus="$2"
    shift 2
    echo "== Building the $name fuzz target with $CXX"
    "$CXX" -std=c++17 -g -O1 -I"$ROOT" \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        $(sdl-config --cflags) "$@" \
        -lGLEW -lGLU -lGL -lSDL_image $(sdl-config --libs) -o "$OUT/${name}_fuzz"
    mkdir -p "$WORK/$name"
    cp "$corpus"/* "$WORK/$name/"

    echo "== Fuzzing $name for ${SECONDS_TO_RUN} s from $(ls "$corpus" | wc -l) seed files (${LIMITS[*]})"
    local log="$OUT/${name}_fuzz.log" status
    set +e
    ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        "$OUT/${name}_fuzz" "$WORK/$name" -max_total_time="$SECONDS_TO_RUN" "${LIMITS[@]}" \
        -artifact_prefix="$OUT/${name}-" -print_final_stats=1 2>"$log"
    status=$?
    set -e
    grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|Done |stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb|new_units_added))' \
        "$log" || true
    if [ "$status" -ne 0 ]; then
        echo "== FINDING in $name (exit status $status); the log is $log:" >&2
        grep -E -A30 '^==[0-9]+==|runtime error|disagrees|out-of-memory|timeout|Test unit written' "$log" \
            | head -60 >&2 || tail -40 "$log" >&2
        exit "$status"
    fi
    echo "== $name: no findings in ${SECONDS_TO_RUN} s (the grown working corpus is not kept)."
}

# The image readers accept images up to 256 MiB, so one allocation of that size is legitimate;
# anything beyond it, or a process past 1 GiB, is a finding. A 4 KiB input already reaches every
# header field and a run-length image of the largest size.
limits 10 1024 320 4096
fuzz_target tga fuzz/corpus fuzz/TgaFuzz.cpp engine/texture/TGAImage.cpp engine/texture/PixelUpload.cpp \
    engine/texture/ImageLimits.cpp engine/core/RegularFile.cpp engine/graphics/GLStateScope.cpp engine/core/Log.cpp
# The size check every loader runs first and the BMP path (checked against a 2048 by 2048 texture):
# the same bound on images.
fuzz_target image_header fuzz/corpus_headers fuzz/ImageHeaderFuzz.cpp engine/texture/ImageLimits.cpp engine/core/RegularFile.cpp engine/graphics/GLStateScope.cpp
fuzz_target bmp fuzz/corpus_bmp fuzz/BmpFuzz.cpp engine/texture/ImageLimits.cpp engine/core/RegularFile.cpp engine/graphics/GLStateScope.cpp engine/texture/PixelUpload.cpp \
    engine/core/Log.cpp
# The lookup's built-in copies, from the same generator the library's build runs (two of its files).
cmake -DROOT="$ROOT" -DOUTPUT="$WORK/built-in-data.cpp" "-DFILES=shaders/color.vert;Data/Font/font.tga" \
    -P cmake/EmbedFiles.cmake
# Names only, short ones: no allocation or input may come near these limits.
limits 10 1024 320 4096
fuzz_target data_lookup fuzz/corpus_names fuzz/DataLookupFuzz.cpp engine/core/DataFiles.cpp engine/core/Log.cpp "$WORK/built-in-data.cpp"
# A glyph page is at most 2048 texels square (16 MiB), far under the allocation limit; a font of
# 4 KiB already reaches every table the shaper and the rasteriser read.
limits 10 1024 320 4096
fuzz_target font fuzz/corpus_fonts fuzz/FontFuzz.cpp engine/text/FaceCache.cpp engine/text/FontFace.cpp \
    engine/text/GlyphSheetRasterizer.cpp \
    engine/texture/ImageLimits.cpp engine/core/RegularFile.cpp engine/graphics/GLStateScope.cpp engine/texture/PixelUpload.cpp engine/core/Log.cpp \
    $(pkg-config --cflags --libs freetype2 harfbuzz)
# The descriptor's tables only: no texture is loaded, so nothing of GL or SDL is called. The tables
# grow with the text, never with the sizes it names.
limits 10 1024 320 4096
fuzz_target atlas fuzz/corpus_atlas fuzz/AtlasFuzz.cpp engine/sprite/AtlasDescriptor.cpp \
    engine/core/JsonFields.cpp engine/core/LogText.cpp
# The map reader only (TileMapReader: no textures); it names its input inside fuzz/corpus_tilemap/
# so that the external tilesets among the seeds are found from this directory. Its inputs are as
# large as the property-heavy seed and then some. A map holds at most 16,777,216 cells in all, so
# its largest allocations are the 64 MiB of a full layer's ids and of that layer's inflated bytes,
# and a map at that bound reads in under 2 s here: an allocation past 80 MiB or an input running
# 10 s (a reader quadratic in its properties takes most of a minute over the 40,000 of its seed)
# is a finding.
limits 10 1024 80 524288
fuzz_target tilemap fuzz/corpus_tilemap fuzz/tilemap_fuzz.cpp engine/tilemap/TileMapReader.cpp \
    engine/tilemap/MapProperties.cpp engine/core/Log.cpp engine/core/JsonFields.cpp engine/core/LogText.cpp \
    engine/core/WholeFile.cpp engine/core/RegularFile.cpp -lpugixml -lz
