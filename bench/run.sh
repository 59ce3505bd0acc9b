#!/bin/bash
# Measures loading the printer list and one printer test against a private
# scheduler with 1, 100 and 1000 queues, beside lpstat on the same scheduler,
# the program's peak memory with 1000 printers listed, and the time to look
# for a usb queue's printer on the bus.
#   bench/run.sh [BUILD-DIR] [RUNS]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-11}
. scripts/setup.sh
install_packages
[ -n "${KAVRO_BENCH_NO_BUILD:-}" ] || build "$build" -DKAVRO_WITH_TESTS=ON -DKAVRO_SANITIZE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

# The schedulers and the folder end with this script, however it ends
# (scripts/supervise); the traps only make it sooner.
private_folder kavro-bench
private=$folder
trap 'scripts/private-cupsd.sh stop "$private" >/dev/null 2>&1 || true; rm -rf "$private"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
export KAVRO_OWNER=$$
export CUPS_SERVER="$private/cups.sock" CUPS_SERVERROOT="$private/etc" HOME="$private/home"

. bench/timing.sh

echo "| queues | list load ms | lpstat -e ms | ratio | one test ms | lpstat -p ms | ratio |"
echo "|---:|---:|---:|---:|---:|---:|---:|"
for n in 1 100 1000; do
  scripts/private-cupsd.sh stop "$private" >/dev/null 2>&1 || true
  rm -rf "$private/etc" "$private/cache" "$private/state" "$private/spool"
  mkdir -p "$private/etc"
  # Queues written before start: much faster than lpadmin for 1000.
  for ((i = 1; i <= n; i++)); do
    printf '<Printer Queue%04d>\nInfo Benchmark queue %d\nDeviceURI file:///dev/null\nState Idle\nAccepting Yes\n</Printer>\n' "$i" "$i"
  done >"$private/etc/printers.conf"
  scripts/private-cupsd.sh start "$private" >/dev/null
  [ "$(lpstat -e | wc -l)" -eq "$n" ] || { echo "expected $n queues" >&2; exit 1; }
  queue=Queue$(printf '%04d' $(((n + 1) / 2)))
  read -r _ list _ test _ count _ code < <("$build/bench/printer_bench" "$queue" "$runs")
  [ "$count" -eq "$n" ] && [ "$code" = YES ] || { echo "bench saw $count queues, $code" >&2; exit 1; }
  e=$(median_ms lpstat -e)
  p=$(median_ms lpstat -p "$queue")
  awk -v n="$n" -v l="$list" -v e="$e" -v t="$test" -v p="$p" \
    'BEGIN { printf "| %d | %.2f | %.2f | %.3f | %.2f | %.2f | %.3f |\n", n, l, e, l / e, t, p, t / p }'
done

# A test of a stopped queue with no job, then with 50 held: its jobs are read
# with one more request on the scheduler's connection.
lpadmin -p Stopped -E -v file:///dev/null && cupsdisable Stopped
read -r _ _ _ empty _ _ _ code < <("$build/bench/printer_bench" Stopped "$runs")
[ "$code" = NO ] || { echo "the stopped queue read $code" >&2; exit 1; }
echo page >"$private/page.txt"
for ((i = 0; i < 50; i++)); do lp -d Stopped -H indefinite "$private/page.txt" >/dev/null; done
read -r _ _ _ held _ _ _ code < <("$build/bench/printer_bench" Stopped "$runs")
echo
echo "One test of a stopped queue among the 1000: with no job $empty ms, with 50 jobs held $held ms (median of $runs)."

# Peak memory of the program's own window with the 1000 queues listed.
mkdir -p "$private/runtime" && chmod 700 "$private/runtime"
peak=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$private/runtime" \
  /usr/bin/time -f '%M' "$build/tests/window/qt/grab_window" "$private/window.png" 2>&1 >/dev/null | tail -1)
echo
echo "Peak resident memory of the window with 1000 printers listed: $((peak / 1024)) MiB ($peak KiB)"

# Looking for a usb queue's printer: a full pass over a desk's bus in the
# kernel's layout (when the printer is absent), and one that finds it.
read -r _ entries _ present _ absent _ sys < <("$build/bench/usb_bench" 1001)
if [ "$sys" = none ]; then here="no USB bus"; else here="$sys µs"; fi
echo
echo "Looking for a USB printer over a fake bus of $entries entries (median of 1001): found in $present µs," \
  "a full pass $absent µs; on this machine's /sys: $here"
