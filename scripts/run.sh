#!/bin/sh
# Builds the program and opens its window on the CUPS scheduler this machine
# uses. Where none answers (a machine without a print system), it starts a
# private scheduler with three sample queues instead and says so.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
install_packages
build build -DKAVRO_WITH_TESTS=OFF -DKAVRO_SANITIZE=OFF

program=build/window/qt/KAVRO_TEST_PRINTERS

if lpstat -r 2>/dev/null | grep -q "scheduler is running"; then
  echo "Using this machine's CUPS scheduler."
else
  private=$(mktemp -d /tmp/kavro-cups.XXXXXX)
  trap 'scripts/private-cupsd.sh stop "$private" >/dev/null 2>&1 || true; rm -rf "$private"' EXIT INT TERM
  scripts/private-cupsd.sh start "$private"
  export CUPS_SERVER="$private/cups.sock" CUPS_SERVERROOT="$private/etc" HOME="$private/home"
  sample_queues
  echo "No CUPS scheduler answers on this machine: started a private one in $private"
  echo "with the sample queues Office (ready), Paused (stopped) and Rejecting (not accepting jobs)."
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the window opens on a virtual X display (xvfb-run), where nobody can see it."
  xvfb-run -a "$program"
else
  "$program"
fi
