#!/usr/bin/env bash
# Checks the sources' layout (clang-format), then builds and runs every test twice: a normal build
# (build/) and a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/). The normal build's tests run a second time on
# sdl12-compat when the system's SDL 1.2 is the classic one. The tests run against a real X server
# (Xvfb), Mesa's software OpenGL and SDL's real event queue. Between the two, builds the reference
# and checks the installed package from outside the tree (scripts/consumer-check.sh). Then fuzzes
# the file readers for FUZZ_SECONDS (60) each. The whole run takes about 18 minutes on an idle
# two-core machine, and up to three times that on a loaded one.
#
# `--quick`, for everyday work, builds once (build/) and runs the suite once on the system's SDL: it
# leaves out the sdl12-compat pass, the reference, the package check, the sanitizer build and the
# fuzzing (about 4 minutes on two idle cores once the packages are in).
set -euo pipefail
QUICK=0
case "${1:-}" in
    --quick) QUICK=1 ;;
    "") ;;
    *) echo "usage: bash scripts/test.sh [--quick]" >&2; exit 2 ;;
esac
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
source scripts/deps.sh

echo "== Checking Debian packages"
ensure_packages $BUILD_PACKAGES $TEST_PACKAGES

# The layout .clang-format describes, checked with the clang-format it was written for (Debian 12's,
# 14): other versions place a few constructs differently, so elsewhere the check is only reported.
FORMAT_VERSION="$(clang-format --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')"
if [ "$FORMAT_VERSION" = 14 ]; then
    echo "== Checking the layout of the sources with clang-format $FORMAT_VERSION"
    find engine demo tests tools bench fuzz examples \( -name '*.cpp' -o -name '*.h' \) -print0 |
        xargs -0 clang-format --dry-run -Werror
else
    echo "== Not checking the layout: .clang-format is checked with clang-format 14, this is ${FORMAT_VERSION:-none}"
fi

# Every test program runs its tests in a shuffled order, so a test that leans on another's leftovers
# fails. The seed is printed; QUARL_TEST_SEED=<seed> repeats an order (the sanitizer build uses the
# next seed, so each run tries two orders).
SEED="${QUARL_TEST_SEED:-$(( (RANDOM << 15 | RANDOM) % 99999 + 1 ))}"

run_tests() {
    local dir="$1" seed="$2"
    echo "== Running the tests of $dir/ under Xvfb, shuffled with seed $seed (QUARL_TEST_SEED=$seed)"
    echo "== They run on $("$dir/tests/sdl_linked_version")"
    (cd "$dir" && GTEST_SHUFFLE=1 GTEST_RANDOM_SEED="$seed" xvfb-run -a -s "$XVFB_ARGS" ctest --output-on-failure)
}

run_suite() {
    local dir="$1" seed="$2"
    shift 2
    echo "== Building in $dir/ ($*)"
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
    run_tests "$dir" "$seed"
}

run_suite build "$SEED" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARL_SANITIZE=OFF -DQUARL_BUILD_TESTS=ON
if [ "$QUICK" = 1 ]; then
    echo "== All tests passed (quick run: no sdl12-compat pass, reference, package check, sanitizers or fuzzing)."
    exit 0
fi

# The same build's suite again on sdl12-compat, the SDL 1.2 that Debian 13, Fedora and Arch ship
# (over SDL 2), where the system's SDL is the classic one: its library is unpacked into build/
# and found through LD_LIBRARY_PATH, never installed over the system's.
if "build/tests/sdl_linked_version" | grep -q 'sdl12-compat'; then
    echo "== The system's SDL 1.2 is sdl12-compat already: the run above covered it."
else
    COMPAT_DIR="$(sdl12_compat_library build/sdl12-compat)"
    LD_LIBRARY_PATH="$COMPAT_DIR${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" run_tests build "$SEED"
fi

# The reference must build without a Doxygen warning (a malformed comment in a public header, a
# broken reference); undocumented members are not warned about.
echo "== Building the reference (docs) in build/docs/"
cmake --build build --target docs
if [ -s build/docs/warnings.log ]; then
    cat build/docs/warnings.log
    echo "Doxygen warned about the comments above." >&2
    exit 1
fi

# The installed package as an outside game uses it.
bash scripts/consumer-check.sh build
run_suite build-asan "$(( SEED % 99999 + 1 ))" -DCMAKE_BUILD_TYPE=Debug -DQUARL_SANITIZE=ON -DQUARL_BUILD_TESTS=ON
echo "== All tests passed in both builds."

# The TGA reader and the image-size check read files as if they were hostile: fuzz each for a
# bounded time.
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
echo "== All tests passed; the fuzzer found nothing."
