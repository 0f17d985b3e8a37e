#!/usr/bin/env bash
# Builds the engine and runs a demo from the repository root, where Data/ and shaders/ are.
# With a display the demo runs until you press Escape or close its window. Without one it runs under
# a virtual X server for a few seconds, saves a screenshot and is ended by a real Escape key press.
#
#   bash scripts/run.sh            the sprite demo
#   bash scripts/run.sh gui        the GUI demo
#   bash scripts/run.sh all        both, one after the other (a screenshot of each when headless)
#   bash scripts/run.sh example NAME    the example examples/NAME.cpp
#   DEMO_SECONDS=8 bash scripts/run.sh    a longer headless run
# Headless runs are silent: SDL's dummy audio driver stands in for a sound card (unless
# SDL_AUDIODRIVER names another).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
source scripts/deps.sh

usage() {
    echo "usage: bash scripts/run.sh [sprite|gui|all|example NAME]" >&2
    echo "examples:" $(cd examples && ls *.cpp 2>/dev/null | sed 's/\.cpp$//') >&2
    exit 2
}

# Each program as its folder in build/ and its name.
case "${1:-sprite}" in
    sprite|sprite_demo) PROGRAMS="demo/sprite_demo" ;;
    gui|gui_demo) PROGRAMS="demo/gui_demo" ;;
    all) PROGRAMS="demo/sprite_demo demo/gui_demo" ;;
    example)
        NAME="${2:-}"
        [[ "$NAME" =~ ^[a-z0-9_]+$ && -f "examples/$NAME.cpp" ]] || usage
        PROGRAMS="examples/$NAME" ;;
    *) usage ;;
esac

echo "== Checking Debian packages"
ensure_packages $BUILD_PACKAGES
if [ -z "${DISPLAY:-}" ]; then
    ensure_packages $HEADLESS_PACKAGES
fi

TARGETS="$(for PROGRAM in $PROGRAMS; do basename "$PROGRAM"; done | xargs)"
echo "== Building $TARGETS in build/"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target $TARGETS -j"$(nproc)"

for PROGRAM in $PROGRAMS; do
    BINARY="$ROOT/build/$PROGRAM"
    NAME="$(basename "$PROGRAM")"
    if [ -n "${DISPLAY:-}" ]; then
        echo "== Running $NAME on $DISPLAY (Escape ends it)"
        "$BINARY"
    else
        export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
        echo "== No display: running $NAME under Xvfb, sound through SDL's $SDL_AUDIODRIVER audio driver"
        xvfb-run -a -s "$XVFB_ARGS" bash scripts/headless-run.sh "$BINARY" "$ROOT/out/$NAME.png"
    fi
done
