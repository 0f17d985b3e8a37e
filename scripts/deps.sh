# Sourced by the other scripts: the Debian packages the project needs, and a function that installs
# whichever of them are missing (as root, or through sudo).

# libfribidi-dev: the Unicode bidirectional algorithm, which puts right-to-left text in display order.
BUILD_PACKAGES="build-essential cmake pkg-config libsdl1.2-dev libsdl-image1.2-dev \
libsdl-mixer1.2-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev libpng-dev libfreetype-dev \
libharfbuzz-dev libfribidi-dev libstb-dev nlohmann-json3-dev libpugixml-dev zlib1g-dev"
# A virtual X server, a real key press and a screenshot when there is no display.
HEADLESS_PACKAGES="xvfb xauth xdotool imagemagick"
# doxygen: the test command builds the reference and fails on its warnings. The font tests load
# TrueType fonts from fonts-dejavu-core.
# libxtst-dev: the input tests send real key presses, clicks and pointer bursts through XTEST.
# clang-format: the test command checks the sources' layout against .clang-format.
# libsdl2-2.0-0: sdl12-compat, which the tests also run on (see sdl12_compat_library), runs over it.
# libsdl2-dev: the gamepad tests attach SDL 2 virtual joysticks there (tests/support/VirtualPad.h).
TEST_PACKAGES="libgtest-dev libgmock-dev doxygen fonts-dejavu-core libxtst-dev libsdl2-2.0-0 clang-format $HEADLESS_PACKAGES"
TEST_PACKAGES="$TEST_PACKAGES libsdl2-dev"
# Only the benchmarks: SFML 2.5 is the peer the drawing figures are held against.
BENCH_PACKAGES="libsfml-dev fonts-dejavu-core"

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        echo "Debian packages: all ${#} needed are installed."
        return 0
    fi
    local run=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "These Debian packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
            return 1
        fi
        run=(sudo)
    fi
    echo "Installing missing Debian packages: ${missing[*]}"
    "${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Unpacks sdl12-compat's runtime library (Debian's libsdl1.2-compat) into the folder given and prints
# the folder that holds libSDL-1.2.so.0, for LD_LIBRARY_PATH. Nothing is installed: the system's SDL
# stays as it is. An unpacked copy is used again.
sdl12_compat_library() {
    local into="$1"
    local library="$into/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -dumpmachine)/sdl12-compat"
    if [ ! -e "$library/libSDL-1.2.so.0" ]; then
        mkdir -p "$into"
        local download
        download="$(cd "$into" && rm -f ./*.deb &&
            { apt-get download -q libsdl1.2-compat >/dev/null 2>&1 ||
              { env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null &&
                apt-get download -q libsdl1.2-compat >/dev/null 2>&1; }; } && ls ./*.deb)" || {
            echo "Could not download Debian's libsdl1.2-compat into $into." >&2
            return 1
        }
        dpkg -x "$into/$download" "$into"
    fi
    (cd "$library" && pwd)
}

# The Xvfb screen every headless run uses. -noreset: without it the server resets whenever its
# last client leaves, and a program connecting at that moment is refused.
XVFB_ARGS="-screen 0 1280x1024x24 -noreset"
