#!/bin/bash
# The Windows spooler for the Windows tests: wine, in a profile of its own
# inside DIR, over a private CUPS scheduler in DIR/cups. wine's spooler lists
# the scheduler's queues as its printers.
#
#   wine-spooler.sh start DIR   scheduler with the sample queues, a new wine
#                               profile, a persistent wineserver
#   wine-spooler.sh stop DIR    stop the wineserver and the scheduler, and
#                               remove DIR
#
# Programs reach it with
#   CUPS_SERVER=DIR/cups/cups.sock CUPS_SERVERROOT=DIR/cups/etc HOME=DIR/home
#   WINEPREFIX=DIR/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
set -eu

usage() {
  echo "usage: $0 start DIR | stop DIR" >&2
  exit 2
}
[ $# -eq 2 ] && [ -n "$2" ] || usage
action=$1
case $action in start | stop) ;; *) usage ;; esac
here=$(cd "$(dirname "$0")" && pwd)

if [ "$action" = stop ] && [ ! -d "$2" ]; then
  exit 0 # nothing was started there
fi
mkdir -p "$2"
dir=$(cd "$2" && pwd)

export CUPS_SERVER=$dir/cups/cups.sock CUPS_SERVERROOT=$dir/cups/etc HOME=$dir/home
export WINEPREFIX=$dir/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
# No window of wine's may reach a display.
unset DISPLAY WAYLAND_DISPLAY

stop() {
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
  "$here/private-cupsd.sh" stop "$dir/cups"
}

if [ "$action" = stop ]; then
  stop
  # The profile is of this run alone.
  [ "$dir" != / ] && rm -rf -- "$dir"
  exit 0
fi

stop
rm -rf "$dir/prefix" "$dir/home"
mkdir -p "$dir/home"
"$here/private-cupsd.sh" start "$dir/cups"
. "$here/setup.sh"
sample_queues
# A queue of the tests' own, whose attributes they change in the profile.
lpadmin -p Workroom -E -v file:///dev/null -D "Café corner"

# A profile of its own. Its first start lists the scheduler's queues as
# wine's printers.
wineboot -i </dev/null >"$dir/wineboot.log" 2>&1
# The null graphics driver: nothing to draw on, nothing to wait for.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >>"$dir/wineboot.log" 2>&1
wineserver -k
# One wineserver for all the tests, rather than one started by each; it
# puts itself in the background.
wineserver -p </dev/null >/dev/null 2>&1
ready=$(wine cmd /c echo ready </dev/null 2>/dev/null | tr -d '\r')
echo "wine spooler in $dir: $ready"
[ "$ready" = ready ]
