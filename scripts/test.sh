#!/bin/sh
# Builds everything and runs every test. The tests start what they need
# themselves (a private CUPS scheduler, Qt's offscreen platform).
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
install_packages
build
ctest --test-dir build --output-on-failure -j"$(nproc)"
