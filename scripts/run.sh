#!/usr/bin/env bash
# Builds the engine and runs a demo from the repository root, where Data/ and shaders/ are.
# With a display the demo runs until you press Escape or close its window. Without one it runs under
# a virtual X server for a few seconds, saves a screenshot and is ended by a real Escape key press.
#
#   bash scripts/run.sh            the sprite demo
#   bash scripts/run.sh gui        the GUI demo
#   bash scripts/run.sh all        both, one after the other (a screenshot of each when headless)
#   DEMO_SECONDS=8 bash scripts/run.sh    a longer headless run
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
source scripts/deps.sh

case "${1:-sprite}" in
    sprite|sprite_demo) PROGRAMS="sprite_demo" ;;
    gui|gui_demo) PROGRAMS="gui_demo" ;;
    all) PROGRAMS="sprite_demo gui_demo" ;;
    *) echo "usage: bash scripts/run.sh [sprite|gui|all]" >&2; exit 2 ;;
esac

echo "== Checking Debian packages"
ensure_packages $BUILD_PACKAGES
if [ -z "${DISPLAY:-}" ]; then
    ensure_packages $HEADLESS_PACKAGES
fi

echo "== Building $PROGRAMS in build/"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target $PROGRAMS -j"$(nproc)"

for PROGRAM in $PROGRAMS; do
    BINARY="$ROOT/build/demo/$PROGRAM"
    if [ -n "${DISPLAY:-}" ]; then
        echo "== Running $PROGRAM on $DISPLAY (Escape ends it)"
        "$BINARY"
    else
        echo "== No display: running $PROGRAM under Xvfb"
        xvfb-run -a -s "$XVFB_ARGS" bash scripts/headless-run.sh "$BINARY" "$ROOT/out/$PROGRAM.png"
    fi
done
