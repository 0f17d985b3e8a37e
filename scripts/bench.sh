#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them from the repository root, under Xvfb when
# there is no display: the drawing figures (the engine's paths, the same work written by hand and
# SFML 2.5, each program its own process, interleaved over five rounds), the texture atlas and tile
# map scenes (3,000 animated flames from a trimmed atlas, a 1,000 x 1,000-tile map scrolled in a
# 1280x720 view, against the same quads by hand and SFML 2.5 written as a competent SFML user writes
# them) and the TGA reader against SDL_image. The engine's batched programs open their window
# without a depth buffer (the 2D opt-in); their labels say so. With QUARL_BENCH_BASELINE naming an
# engine_bench built from an earlier engine, a last run holds this engine against it (rotated
# sprites, flames, tile map, start-up). Absolute figures are noisy on a shared machine: read the
# medians and the ratios. Exits non-zero when a benchmark fails or prints nothing.
#   bash scripts/bench.sh [seconds per measured run, default 1]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
SECONDS_PER_RUN="${1:-1}"
if ! [[ "$SECONDS_PER_RUN" =~ ^[0-9]*\.?[0-9]+$ ]] || ! awk -v s="$SECONDS_PER_RUN" 'BEGIN { exit !(s > 0) }'; then
    echo "Usage: bash scripts/bench.sh [seconds per measured run, a number above 0; default 1]" >&2
    exit 2
fi
source scripts/deps.sh
ensure_packages $BUILD_PACKAGES $BENCH_PACKAGES
[ -z "${DISPLAY:-}" ] && ensure_packages $HEADLESS_PACKAGES
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUARL_BUILD_TESTS=OFF >/dev/null
cmake --build build-release --target engine_bench sfml_bench bench_runner tga_bench -j"$(nproc)"

FRAMES="$(mktemp -d /tmp/quarl_bench_frames_XXXXXX)"
trap 'rm -rf "$FRAMES"' EXIT
# Runs a benchmark, showing its output as it comes, and fails when it fails or prints nothing.
run() {
    local out="$FRAMES/output.txt" status=0
    if [ -n "${DISPLAY:-}" ]; then
        "$@" | tee "$out" || status=$?
    else
        xvfb-run -a -s "$XVFB_ARGS" "$@" | tee "$out" || status=$?
    fi
    if [ "$status" -ne 0 ]; then
        echo "== FAILED (exit status $status): $*" >&2
        exit 1
    fi
    if [ ! -s "$out" ]; then
        echo "== FAILED (no output): $*" >&2
        exit 1
    fi
}
echo "== Drawing: 32x32 tinted quads and 64-character lines of text per frame, each program in its own window"
SDL_AUDIODRIVER=dummy run ./build-release/bench/bench_runner "$SECONDS_PER_RUN" 5 \
    ./build-release/bench/engine_bench ./build-release/bench/sfml_bench "$FRAMES" quads,general,text,truetype
echo
# The flames draw a few frames a second on a software rasteriser: their runs last at least 2 seconds
# so that every run measures several frames.
SCENE_SECONDS="$(awk -v s="$SECONDS_PER_RUN" 'BEGIN { print (s < 2 ? 2 : s) }')"
echo "== Atlas and tile map: 3,000 animated flames from a trimmed atlas (1024x768) and a 1,000 x 1,000-tile map"
echo "   scrolled in a 1280x720 view, each program in its own window, $SCENE_SECONDS s a run"
SDL_AUDIODRIVER=dummy run ./build-release/bench/bench_runner "$SCENE_SECONDS" 5 \
    ./build-release/bench/engine_bench ./build-release/bench/sfml_bench "$FRAMES" flames,tilemap
echo
if [ -n "${QUARL_BENCH_BASELINE:-}" ]; then
    echo "== No regression: this engine against $QUARL_BENCH_BASELINE, $SCENE_SECONDS s a run"
    SDL_AUDIODRIVER=dummy run ./build-release/bench/bench_runner "$SCENE_SECONDS" 5 \
        ./build-release/bench/engine_bench - "$FRAMES" regression
    echo
fi
echo "== TGA decoding against SDL_image (no window)"
run ./build-release/bench/tga_bench "$SECONDS_PER_RUN"
echo
echo "== TrueType line widths in DejaVu Sans: the engine's measure against sf::Text's bounds"
for size in 16 32; do
    engine="$(SDL_AUDIODRIVER=dummy xvfb-run -a -s "$XVFB_ARGS" ./build-release/bench/engine_bench width "$size" 1 | awk '/^WIDTH/ {print $2}')"
    sfml="$(xvfb-run -a -s "$XVFB_ARGS" ./build-release/bench/sfml_bench width "$size" 1 | awk '/^WIDTH/ {print $2}')"
    awk -v s="$size" -v e="$engine" -v f="$sfml" 'BEGIN { printf "  %d px: engine %.1f, SFML %.1f, ratio %.3f (target within 0.98 to 1.02)\n", s, e, f, e / f }'
done
