#!/usr/bin/env bash
# Builds the TGA reader's libFuzzer target with ASan and UBSan and runs it for a bounded time,
# starting from the seed corpus in fuzz/corpus/ (copied, so the run never changes the committed
# seeds). Exits non-zero on any finding: a crash, a sanitizer report, a leak, a disagreement with
# the target's reference decoder, or a memory limit exceeded. Findings are saved in build-fuzz/.
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
# links its upload path (libGL, GLEW, libGLU, SDL), which the target never calls.
ensure_packages g++
ensure_packages clang libclang-rt-dev "libstdc++-$(g++ -dumpversion | cut -d. -f1)-dev" libgl-dev \
    libglew-dev libglu1-mesa-dev libsdl1.2-dev
CXX="$(command -v clang++)"

OUT="$ROOT/build-fuzz"
mkdir -p "$OUT"
echo "== Building the TGA fuzz target with $CXX"
"$CXX" -std=c++17 -g -O1 -I"$ROOT" \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    $(sdl-config --cflags) \
    fuzz/TgaFuzz.cpp engine/texture/TGAImage.cpp engine/texture/PixelUpload.cpp engine/texture/ImageLimits.cpp engine/core/Log.cpp \
    -lGLEW -lGLU -lGL $(sdl-config --libs) -o "$OUT/tga_fuzz"

WORK="$(mktemp -d /tmp/quarl_fuzz_XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
cp fuzz/corpus/* "$WORK/"

# The reader accepts images up to 256 MiB, so one allocation of that size is legitimate; anything
# beyond it, or a process past 1 GiB, is a finding.
echo "== Fuzzing for ${SECONDS_TO_RUN} s from $(ls fuzz/corpus | wc -l) seed files"
set +e
ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$OUT/tga_fuzz" "$WORK" -max_total_time="$SECONDS_TO_RUN" -timeout=10 \
    -rss_limit_mb=1024 -malloc_limit_mb=320 -max_len=4096 \
    -artifact_prefix="$OUT/" -print_final_stats=1 2>"$OUT/fuzz.log"
status=$?
set -e
grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|Done |stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb|new_units_added))' \
    "$OUT/fuzz.log" || true
if [ "$status" -ne 0 ]; then
    echo "== FINDING (exit status $status); the log is $OUT/fuzz.log:" >&2
    grep -E -A30 '^==[0-9]+==|runtime error|disagrees|out-of-memory|Test unit written' "$OUT/fuzz.log" \
        | head -60 >&2 || tail -40 "$OUT/fuzz.log" >&2
    exit "$status"
fi
echo "== No findings in ${SECONDS_TO_RUN} s (the grown working corpus is not kept)."
