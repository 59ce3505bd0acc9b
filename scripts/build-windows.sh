#!/bin/bash
# Builds the Windows program, build-windows/window/win32/KAVRO_TEST_PRINTERS.exe,
# here on Debian with mingw-w64 (installing what that needs first).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
# shellcheck disable=SC2086
install_packages $WINDOWS_PACKAGES
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-windows -j"$(nproc)" --target KAVRO_TEST_PRINTERS
echo "built build-windows/window/win32/KAVRO_TEST_PRINTERS.exe"
