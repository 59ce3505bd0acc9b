#!/bin/sh
# Builds the libFuzzer targets with AddressSanitizer and UndefinedBehavior-
# Sanitizer (clang) and runs each in turn for a bounded time, one process at a
# time, starting from the seed corpus in fuzz/corpus/TARGET. New inputs go to
# a working corpus in the build folder; the tree's seeds stay as they are. A
# finding stops that target, leaves its input as BUILD/fuzz/TARGET-crash-*
# and makes the script fail.
#
#   fuzz/run.sh [SECONDS-EACH [TARGET...]]   default: 600 s, every target
#
# The build goes to build-fuzz/ unless FUZZ_BUILD names another folder.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
PACKAGES="$PACKAGES clang libclang-rt-14-dev"
install_packages

seconds=${1:-600}
[ $# -gt 0 ] && shift
targets=${*:-decode_fuzzer pack_fuzzer ipp_fuzzer snmp_fuzzer}
out=${FUZZ_BUILD:-build-fuzz}

CXX=clang++ cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRO_FUZZ=ON \
  -DKAVRO_SANITIZE=ON -DKAVRO_WITH_WINDOW=OFF -DKAVRO_WITH_TESTS=OFF >/dev/null
cmake --build "$out" -j"$(nproc)" --target $targets

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
status=0
for target in $targets; do
  seeds=fuzz/corpus/${target%_fuzzer}
  work=$out/fuzz/$target-corpus
  mkdir -p "$work"
  echo "== $target for $seconds s"
  # Eight strings of 8 KiB need no more than a few hundred bytes of input
  # (they are patterns), but the decoder's records may be long.
  if "$out/fuzz/$target" "$work" "$seeds" -max_total_time="$seconds" -max_len=20000 \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/fuzz/$target-" >"$out/fuzz/$target.log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "$out/fuzz/$target.log" || true
  else
    status=1
    echo "$target: finding, see $out/fuzz/$target.log" >&2
    tail -n 40 "$out/fuzz/$target.log" >&2
  fi
done
exit $status
