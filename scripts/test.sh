#!/bin/bash
# Builds everything and runs every test twice: in the ordinary build, and in
# a build with AddressSanitizer and UndefinedBehaviorSanitizer, where any
# report fails the test. Then cross-builds the parts without Qt for 64-bit
# Windows and runs their tests under wine. The tests start what they need
# themselves (private CUPS schedulers, Qt's offscreen platform, wine).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
# shellcheck disable=SC2086
install_packages $WINDOWS_PACKAGES

summary=""
# run_tests TITLE BUILD-DIR: runs the build's tests and keeps CTest's count.
run_tests() {
  echo "== $1"
  ctest --test-dir "$2" --output-on-failure -j"$(nproc)" | tee "$2/ctest.out"
  summary+="$1: $(grep -E 'tests passed|tests failed out of' "$2/ctest.out" | tail -1)"$'\n'
}

build build-sanitized -DKAVRO_SANITIZE=ON -DKAVRO_WITH_TESTS=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_tests "Tests with AddressSanitizer and UndefinedBehaviorSanitizer" build-sanitized

build build -DKAVRO_WITH_TESTS=ON -DKAVRO_SANITIZE=OFF
run_tests "Tests" build

build build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKAVRO_WITH_TESTS=ON
run_tests "Windows tests under wine" build-windows

echo "== All tests passed"
printf '%s' "$summary"
