#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them from the repository root, under Xvfb when
# there is no display. Absolute figures are noisy on a shared machine: read the ratios.
#   bash scripts/bench.sh [seconds per measurement, default 1]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
source scripts/deps.sh
ensure_packages $BUILD_PACKAGES
[ -z "${DISPLAY:-}" ] && ensure_packages $HEADLESS_PACKAGES
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUARL_BUILD_TESTS=OFF >/dev/null
cmake --build build-release --target texture_bench font_bench tga_bench -j"$(nproc)"
run() {
    if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a -s "$XVFB_ARGS" "$@"; fi
}
echo "== Textured 32x32 quads per frame: CTexture::draw against the same GL calls by hand"
SDL_AUDIODRIVER=dummy run ./build-release/bench/texture_bench "${1:-1}" | grep -v -E '^(Initialize|Quarl|Detected|Loading|-----)|^$' || true
echo "== Printed 100-character strings per frame: CFont::print against its glCallLists by hand"
SDL_AUDIODRIVER=dummy run ./build-release/bench/font_bench "${1:-1}" | grep -v -E '^(Initialize|Quarl|Detected|Loading|-----)|^$' || true
echo "== TGA decoding of a 1024x1024 32-bit picture, uncompressed and run-length encoded (no window)"
./build-release/bench/tga_bench "${1:-1}"
