#!/bin/bash
# Measures under wine how long the Windows program takes to give its verdict
# for printers on network ports, against each kind of device that answers,
# refuses, drops, never answers or answers a byte at a time
# (bench/windows_bound_bench.cpp), and prints the table that
# docs/benchmarks.md gives.
#   bench/windows-bounds.sh [BUILD-DIR] [RUNS]
# BUILD-DIR is a Windows build (default build-windows). It runs in a network
# namespace of its own, with loopback only: there 10.9.9.0/24 is routed
# nowhere (a host that is gone) and the name server is 127.0.0.1, where the
# bench program listens and never answers. The wine fixture of the tests
# (scripts/wine-spooler.sh) runs inside it, with its IPP printer. Nothing
# reaches the machine's network, name server or print system.
set -eu
cd "$(dirname "$0")/.."
. bench/isolated.sh
build=${1:-build-windows}
runs=${2:-5}
if [ -z "${KAVRO_BENCH_FOLDER:-}" ]; then
  . scripts/setup.sh
  # shellcheck disable=SC2086
  install_packages $WINDOWS_PACKAGES
  [ -n "${KAVRO_BENCH_NO_BUILD:-}" ] ||
    build "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKAVRO_WITH_TESTS=ON >/dev/null
  isolate kavro-wbounds "$@"
fi
dir=$KAVRO_BENCH_FOLDER
dead_network
wine_dir=$dir/wine
scripts/wine-spooler.sh start "$wine_dir" >/dev/null
program=$(cd "$build/window/win32" && pwd)/KAVRO_TEST_PRINTERS.exe
echo "The Windows program's verdicts under $(wine --version 2>/dev/null), $runs runs each ($(date -u +%Y-%m-%d), $(nproc) cores):"
echo
env KAVRO_WINE_DIR="$wine_dir" KAVRO_BENCH_ISOLATED=1 WINEPREFIX="$wine_dir/prefix" TMPDIR="$wine_dir/tmp" \
  CUPS_SERVER="$wine_dir/cups/cups.sock" CUPS_SERVERROOT="$wine_dir/cups/etc" HOME="$wine_dir/home" \
  WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY= \
  wine "$build/bench/windows_bound_bench.exe" "$runs" "Z:${program//\//\\}"
scripts/wine-spooler.sh stop "$wine_dir"
