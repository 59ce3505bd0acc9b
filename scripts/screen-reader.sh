#!/bin/bash
# A screen reader for the tests: the real Orca on a virtual X display, with
# a D-Bus session bus of its own and the accessibility bus that at-spi starts
# on it, all in DIR, an empty folder. Orca speaks to no one: what it would
# say it writes as "SPEECH OUTPUT" lines of DIR/orca.log, in blocks (a line
# is there once more output has followed it). HOME and the XDG folders are
# in DIR: nothing of the user's is read or written.
#
#   screen-reader.sh start DIR   returns once Orca listens, DIR/environment
#                                holding what a program needs to be read
#                                there (NAME=VALUE lines)
#   screen-reader.sh stop DIR    ends it all, before DIR goes
#
# All runs under scripts/supervise and ends with the process that
# KAVRO_OWNER names (by default the caller of "start"), however it ends.
set -eu
[ $# -eq 2 ] && [ -d "$2" ] || { echo "usage: $0 start DIR | stop DIR" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
dir=$(cd "$2" && pwd)
if [ "$1" = stop ]; then
  # The supervisors end what they run, at-spi's services with it.
  read -ra supervisors <"$dir/supervisors" || exit 0
  kill -TERM "${supervisors[@]}" 2>/dev/null || true
  for _ in $(seq 200); do kill -0 "${supervisors[@]}" 2>/dev/null || exit 0; sleep 0.05; done
  echo "$0: what runs in $dir did not end within 10 s" >&2
  exit 1
fi
export KAVRO_OWNER=${KAVRO_OWNER:-$PPID} KAVRO_SUPERVISE=$here/supervise
. "$here/setup.sh"
virtual_display "$dir"
mkdir -m 700 "$dir/runtime"
mkdir "$dir/home" "$dir/config" "$dir/data" "$dir/cache"
export HOME=$dir/home XDG_RUNTIME_DIR=$dir/runtime XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data \
  XDG_CACHE_HOME=$dir/cache GSETTINGS_BACKEND=memory DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/bus
# The bus starts at-spi's bus launcher, which leaves the bus's process group:
# every process with this folder's mark ends with it.
KAVRO_SCREEN_READER=$dir "$KAVRO_SUPERVISE" --owner "$KAVRO_OWNER" --environ "KAVRO_SCREEN_READER=$dir" -- \
  dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" </dev/null >"$dir/dbus.log" 2>&1 &
echo "$virtual_display_pid $!" >"$dir/supervisors"
started dbus-daemon $! "$dir/dbus.log" '[ -S "$dir/bus" ]'
# Orca will not start beside another Orca of the same user, and with
# --replace it kills every other one: in a PID namespace of its own it sees
# neither the user's screen reader nor another test's. It heeds SIGTERM only
# when an event wakes it: it has a second to go.
KAVRO_SCREEN_READER=$dir "$KAVRO_SUPERVISE" --owner "$KAVRO_OWNER" --grace 1 -- \
  unshare --pid --fork --mount-proc \
  orca --disable speech --disable braille --debug-file "$dir/orca.log" --user-prefs "$dir/orca" \
  </dev/null >"$dir/orca.out" 2>&1 &
echo "$(cat "$dir/supervisors") $!" >"$dir/supervisors"
# Orca listens once the registry of the accessibility bus lists what it asked for.
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
