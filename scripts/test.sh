#!/bin/bash
# Builds everything and runs every test twice: in the ordinary build, and in
# a build with AddressSanitizer and UndefinedBehaviorSanitizer, where any
# report fails the test. Then cross-builds the parts without Qt for 64-bit
# Windows and runs their tests under wine. The tests start what they need
# themselves (private CUPS schedulers, Qt's offscreen platform, wine). Last,
# it checks that none of what they started is still running and that they
# left no folder behind.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
# shellcheck disable=SC2086
install_packages $WINDOWS_PACKAGES

# The tests' temporary folders are made in one of this run's own.
private_folder kavro-test
run=$folder
# Qt's runtime folder for the test programs that set none, as CTest lists
# their tests (Qt would make one under TMPDIR otherwise).
private_folder kavro-runtime
runtime=$folder
# The wine fixture's folder, named after the build folder (tests/CMakeLists.txt).
wine_dir=/tmp/kavro-wine-$(printf '%s' "$PWD/build-windows" | md5sum | cut -c1-12)

summary=""
failed=""
# run_tests TITLE BUILD-DIR: runs the build's tests and keeps CTest's count.
run_tests() {
  echo "== $1"
  TMPDIR=$run XDG_RUNTIME_DIR=$runtime ctest --test-dir "$2" --output-on-failure -j"$(nproc)" | tee "$2/ctest.out" || failed+=" $2"
  summary+="$1: $(grep -E 'tests passed|tests failed out of' "$2/ctest.out" | tail -1)"$'\n'
}

# Fails, naming them, if processes started from the build folders or with
# this run's folders, or folders of the tests, are still there.
nothing_left() {
  echo "== Nothing left behind"
  local left
  if ! left=$(scripts/leftovers --wait 30 --empty "$run" --absent "$wine_dir" "$run" "$wine_dir" \
    --command "$PWD/build/" --command "$PWD/build-sanitized/" --command "$PWD/build-windows/"); then
    echo "The tests left behind:"
    echo "$left"
    exit 1
  fi
  echo "no process and no folder of the tests is left"
}

# The builds of the tests keep line tables alone for their debug information
# (the sanitizers' reports and gdb's backtraces name files and lines), which
# takes a third less time to compile; the sanitized one is optimized as
# AddressSanitizer advises (-O1).
lines_only="-g1 -DNDEBUG"
build build-sanitized -DKAVRO_SANITIZE=ON -DKAVRO_WITH_TESTS=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 $lines_only"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_tests "Tests with AddressSanitizer and UndefinedBehaviorSanitizer" build-sanitized

build build -DKAVRO_WITH_TESTS=ON -DKAVRO_SANITIZE=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 $lines_only"
run_tests "Tests" build

build build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKAVRO_WITH_TESTS=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 $lines_only"
run_tests "Windows tests under wine" build-windows

nothing_left
if [ -n "$failed" ]; then
  echo "== Tests failed in:$failed"
  printf '%s' "$summary"
  exit 1
fi
echo "== All tests passed"
printf '%s' "$summary"
