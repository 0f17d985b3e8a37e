#!/usr/bin/env bash
# Builds and runs every test twice: a normal build (build/) and a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/). The tests run against a real X server (Xvfb), Mesa's
# software OpenGL and SDL's real event queue. Then fuzzes the TGA reader for FUZZ_SECONDS (60).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
source scripts/deps.sh

echo "== Checking Debian packages"
ensure_packages $BUILD_PACKAGES $TEST_PACKAGES

run_suite() {
    local dir="$1"
    shift
    echo "== Building in $dir/ ($*)"
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
    echo "== Running the tests of $dir/ under Xvfb"
    (cd "$dir" && xvfb-run -a -s "$XVFB_ARGS" ctest --output-on-failure)
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARL_SANITIZE=OFF
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DQUARL_SANITIZE=ON
echo "== All tests passed in both builds."

# The TGA reader reads files as if they were hostile: fuzz it for a bounded time.
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
echo "== All tests passed; the fuzzer found nothing."
