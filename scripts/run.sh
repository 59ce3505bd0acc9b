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

# What this script starts (a private scheduler, a virtual display) and its
# folder end with it, however it ends (scripts/supervise).
trap 'exit 130' INT
trap 'exit 143' TERM

# lpstat waits as long as a scheduler that takes connections and never
# answers lets it.
if timeout 5 lpstat -r 2>/dev/null | grep -q "scheduler is running"; then
  echo "Using this machine's CUPS scheduler."
else
  private_folder kavro-cups
  private=$folder
  trap 'scripts/private-cupsd.sh stop "$private" >/dev/null 2>&1 || true; rm -rf "$private"' EXIT
  KAVRO_OWNER=$$ scripts/private-cupsd.sh start "$private"
  export CUPS_SERVER="$private/cups.sock" CUPS_SERVERROOT="$private/etc" HOME="$private/home"
  sample_queues
  echo "No CUPS scheduler answers on this machine: started a private one in $private"
  echo "with the sample queues Office (ready), Paused (stopped) and Rejecting (not accepting jobs)."
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  private_folder kavro-display
  virtual_display "$folder"
  # Qt's runtime folder too, rather than one of its own under /tmp.
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    mkdir -m 700 "$folder/runtime"
    export XDG_RUNTIME_DIR="$folder/runtime"
  fi
  echo "No display: the window opens on a virtual X display ($DISPLAY), where nobody can see it."
fi
# In the background, so that a signal to this script is acted on at once
# (the shell runs a trap only once the command it waits for has ended).
"$program" &
window=$!
trap 'kill "$window" 2>/dev/null; exit 130' INT
trap 'kill "$window" 2>/dev/null; exit 143' TERM
wait "$window"
