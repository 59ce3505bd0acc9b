#!/bin/bash
# Measures how long each bounded wait of the printer layer takes against a
# peer that is dead, mute, slow or dropping (bench/bound_bench.cpp), and
# prints the table that docs/benchmarks.md gives.
#   bench/bounds.sh [BUILD-DIR] [RUNS]
# It runs in a network namespace of its own, with loopback only: there
# 10.9.9.0/24 is routed nowhere (a host that is gone), the name server is
# 127.0.0.1, where the bench program listens and never answers, and a
# private D-Bus and avahi (scripts/ipp-device.sh) answer DNS-SD questions.
# Nothing reaches the machine's network, name server or print system.
set -eu
cd "$(dirname "$0")/.."
. bench/isolated.sh
build=${1:-build}
runs=${2:-5}
if [ -z "${KAVRO_BENCH_FOLDER:-}" ]; then
  . scripts/setup.sh
  install_packages
  [ -n "${KAVRO_BENCH_NO_BUILD:-}" ] || build "$build" -DKAVRO_WITH_TESTS=ON -DKAVRO_SANITIZE=OFF >/dev/null
  isolate kavro-bounds "$@"
fi
dir=$KAVRO_BENCH_FOLDER
dead_network
scripts/ipp-device.sh start "$dir/device" 8631 >/dev/null
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/device/bus.sock KAVRO_BENCH_ISOLATED=1
echo "Bounds of the printer layer, $runs runs each ($(date -u +%Y-%m-%d), $(nproc) cores):"
echo
"$build/bench/bound_bench" "$runs"
scripts/ipp-device.sh stop "$dir/device"
