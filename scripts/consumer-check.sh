#!/usr/bin/env bash
# Uses the engine as an outside game does: installs build/ into a temporary prefix, builds the
# examples against it outside this repository (every one with find_package(QuarlEngine),
# moving_sprite also with pkg-config), and runs each under Xvfb from a fresh empty working folder, where it must
# find the shaders and the glyph sheet (no failure line in its log), draw, and end with status 0 on a
# real Escape. Then does the same from a copy of the prefix moved elsewhere. Temporary folders are
# removed at the end.
#   consumer-check.sh [build folder, default build]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
source "$ROOT/scripts/deps.sh"

WORK="$(mktemp -d /tmp/quarl_consumer_XXXXXX)"
trap 'rm -rf "$WORK"' EXIT

fail() {
    echo "consumer check: $*" >&2
    exit 1
}

# Runs a built game from a fresh empty folder under Xvfb and checks its log and its screenshot.
run_game() {
    local label="$1" game="$2"
    local here="$WORK/run-$label"
    mkdir "$here"
    echo "== Running the $label build from the empty folder $here"
    local status=0
    (cd "$here" && SDL_AUDIODRIVER=dummy DEMO_SECONDS=2 xvfb-run -a -s "$XVFB_ARGS" \
        bash "$ROOT/scripts/headless-run.sh" "$game" "$WORK/$label.png") >"$WORK/$label.log" 2>&1 || status=$?
    [ "$status" -eq 0 ] || { cat "$WORK/$label.log"; fail "$label: ended with status $status"; }
    if grep -E "^(Cannot|Could not|Failed|Unable|Looked for)" "$WORK/$label.log"; then
        fail "$label: failure lines in its log (above)"
    fi
    grep -q "^Loading Font: " "$WORK/$label.log" || fail "$label: the log shows no start-up"
    # Something drawn: the flame and the text are bright on a black window.
    local bright
    bright="$(convert "$WORK/$label.png" -colorspace Gray -threshold 50% -format "%[fx:mean]" info:)"
    awk -v b="$bright" 'BEGIN { exit !(b > 0.005) }' || fail "$label: the screenshot is (nearly) black ($bright)"
    [ -z "$(ls -A "$here")" ] || fail "$label: wrote into its working folder: $(ls -A "$here")"
    echo "== $label: no failure line, drew (bright share $bright), status 0 on Escape"
}

# A game built with find_package against PREFIX, from the examples installed with the documentation.
build_with_find_package() {
    local label="$1" prefix="$2"
    echo "== Building the examples with find_package(QuarlEngine) against $prefix"
    cmake -S "$prefix/share/doc/QuarlEngine/examples" -B "$WORK/$label" -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$WORK/$label" -j"$(nproc)" >/dev/null
}

# A game built by one compiler line from pkg-config, shipped as a game folder: the program and the
# package's data folder as its share/quarl/.
build_with_pkg_config() {
    local label="$1" prefix="$2"
    export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
    local flags
    flags="$(pkg-config --cflags --libs quarl-engine)"
    echo "== Building moving_sprite with: c++ moving_sprite.cpp $flags"
    mkdir -p "$WORK/$label/share"
    # shellcheck disable=SC2086
    c++ -std=c++17 "$prefix/share/doc/QuarlEngine/examples/moving_sprite.cpp" $flags -o "$WORK/$label/moving_sprite"
    cp -r "$(pkg-config --variable=datadir quarl-engine)" "$WORK/$label/share/quarl"
    unset PKG_CONFIG_PATH
}

# A game's build that packs an atlas with the exported packer (QuarlEngine::make_atlas) against PREFIX.
pack_at_build_time() {
    local label="$1" prefix="$2"
    echo "== Packing an atlas at build time with QuarlEngine::make_atlas against $prefix"
    mkdir -p "$WORK/$label-source/art"
    cp "$prefix"/share/quarl/Data/Flame/flame1.png "$prefix"/share/quarl/Data/Flame/flame2.png "$WORK/$label-source/art/"
    cat >"$WORK/$label-source/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.19)
project(PackAtBuildTime C CXX)
find_package(QuarlEngine REQUIRED)
file(GLOB frames ${CMAKE_CURRENT_SOURCE_DIR}/art/*.png)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/Data/flames.json
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/Data
  COMMAND QuarlEngine::make_atlas ${CMAKE_CURRENT_BINARY_DIR}/Data/flames ${frames}
  DEPENDS ${frames} VERBATIM)
add_custom_target(flames_atlas ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/Data/flames.json)
EOF
    cmake -S "$WORK/$label-source" -B "$WORK/$label" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    cmake --build "$WORK/$label" >/dev/null
    [ -s "$WORK/$label/Data/flames.json" ] && [ -s "$WORK/$label/Data/flames-0.png" ] ||
        fail "$label: the build packed no atlas"
    grep -q '"flame2"' "$WORK/$label/Data/flames.json" || fail "$label: the atlas lacks the frame flame2"
}

echo "== Installing $BUILD into a temporary prefix"
PREFIX="$WORK/prefix"
cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null
# No path of this machine's source or build tree may be baked into the package.
for tree in "$ROOT" "$BUILD"; do
    if grep -rlF "$tree" "$PREFIX"; then
        fail "the installed files above name $tree"
    fi
done

build_with_find_package find-package "$PREFIX"
run_game find-package "$WORK/find-package/moving_sprite"
pack_at_build_time pack-atlas "$PREFIX"
if command -v doxygen >/dev/null; then
    [ -s "$PREFIX/share/doc/QuarlEngine/reference/index.html" ] || fail "the reference is not installed"
fi
# Every other example, as a user who copied the examples folder runs them.
for example in "$PREFIX"/share/doc/QuarlEngine/examples/*.cpp; do
    name="$(basename "$example" .cpp)"
    [ "$name" = moving_sprite ] || run_game "example-$name" "$WORK/find-package/$name"
done
build_with_pkg_config pkg-config "$PREFIX"
run_game pkg-config "$WORK/pkg-config/moving_sprite"

echo "== Moving the prefix elsewhere"
MOVED="$WORK/moved/somewhere/else"
mkdir -p "$(dirname "$MOVED")"
mv "$PREFIX" "$MOVED"
# The game built before the move needs nothing from the old place.
run_game find-package-after-move "$WORK/find-package/moving_sprite"
build_with_find_package moved-find-package "$MOVED"
run_game moved-find-package "$WORK/moved-find-package/moving_sprite"
pack_at_build_time moved-pack-atlas "$MOVED"
build_with_pkg_config moved-pkg-config "$MOVED"
run_game moved-pkg-config "$WORK/moved-pkg-config/moving_sprite"
echo "== Consumer check passed: find_package and pkg-config builds run from an empty folder, also after the prefix moved."
