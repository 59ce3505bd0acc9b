#!/bin/sh
# Builds everything and runs every test twice: in the ordinary build, and in
# a build with AddressSanitizer and UndefinedBehaviorSanitizer, where any
# report fails the test. The tests start what they need themselves (private
# CUPS schedulers, Qt's offscreen platform).
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
install_packages

build build-sanitized -DKAVRO_SANITIZE=ON -DKAVRO_WITH_TESTS=ON
echo "== Tests with AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitized --output-on-failure -j"$(nproc)"

build build -DKAVRO_WITH_TESTS=ON -DKAVRO_SANITIZE=OFF
echo "== Tests"
ctest --test-dir build --output-on-failure -j"$(nproc)"
