#!/bin/bash
# A screen reader for the tests: the real Orca, on a virtual X display with a
# session bus of its own (and the accessibility bus that at-spi starts on
# it), HOME and the XDG folders all in DIR. It speaks to no one: what it
# would say it writes as "SPEECH OUTPUT" lines of DIR/orca.log, in blocks.
#   screen-reader.sh start DIR   once Orca listens, DIR/environment holds
#                                what a program needs to be read there
#   screen-reader.sh stop DIR    ends it all, before DIR goes
# What it starts runs under scripts/supervise, ending with KAVRO_OWNER (by
# default the caller of "start") however that ends.
set -eu
[ $# -eq 2 ] && [ -d "$2" ] || { echo "usage: $0 start DIR | stop DIR" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
dir=$(cd "$2" && pwd)
if [ "$1" = stop ]; then
  read -ra supervisors <"$dir/supervisors" || exit 0
  kill -TERM "${supervisors[@]}" 2>/dev/null || true
  for _ in $(seq 200); do kill -0 "${supervisors[@]}" 2>/dev/null || exit 0; sleep 0.05; done
  exit 1
fi
export KAVRO_OWNER=${KAVRO_OWNER:-$PPID} KAVRO_SUPERVISE=$here/supervise
. "$here/setup.sh"
virtual_display "$dir"
mkdir -m 700 "$dir/runtime"
export HOME=$dir XDG_RUNTIME_DIR=$dir/runtime XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data \
  XDG_CACHE_HOME=$dir/cache GSETTINGS_BACKEND=memory DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/bus
# at-spi's services leave the bus's process group: what carries the mark ends with it.
KAVRO_SCREEN_READER=$dir "$KAVRO_SUPERVISE" --owner "$KAVRO_OWNER" --environ "KAVRO_SCREEN_READER=$dir" -- \
  dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" </dev/null >"$dir/dbus.log" 2>&1 &
echo "$virtual_display_pid $!" >"$dir/supervisors"
started dbus-daemon $! "$dir/dbus.log" '[ -S "$dir/bus" ]'
# Orca starts beside no other Orca of the user's, and with --replace kills
# them all: in a PID namespace of its own it sees none. It heeds SIGTERM only
# once an event wakes it, so it has a second.
"$KAVRO_SUPERVISE" --owner "$KAVRO_OWNER" --grace 1 -- unshare --pid --fork --mount-proc \
  orca --disable speech --disable braille --debug-file "$dir/orca.log" --user-prefs "$dir/orca" \
  </dev/null >"$dir/orca.out" 2>&1 &
echo "$(cat "$dir/supervisors") $!" >"$dir/supervisors"
# It listens once at-spi's registry lists what it asked for.
listening() {
  a11y=$(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress) &&
    a11y=${a11y#\(\'} && gdbus call --address "${a11y%\',)}" --dest org.a11y.atspi.Registry \
      --object-path /org/a11y/atspi/registry --method org.a11y.atspi.Registry.GetRegisteredEvents |
    grep -q 'Object:StateChanged:Showing'
}
started Orca $! "$dir/orca.out" listening
for name in DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME; do
  echo "$name=${!name}"
done >"$dir/environment"
