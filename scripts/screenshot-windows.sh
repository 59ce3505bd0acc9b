#!/bin/bash
# Makes docs/window-windows.png, the README's picture of the Windows program:
# the real KAVRO_TEST_PRINTERS.exe, cross-built with mingw-w64, shown by wine
# on a virtual X display, over a private scheduler with the sample queues.
# It is worked with the keyboard as a user would: load the printers, choose
# Office with Enter, test it, show the technical view. Everything it starts
# lives in one temporary folder, which it removes again.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
# shellcheck disable=SC2086
install_packages $WINDOWS_PACKAGES imagemagick xdotool
scripts/build-windows.sh
program=$PWD/build-windows/window/win32/KAVRO_TEST_PRINTERS.exe

# What this script starts, and its folder, end with it however it ends
# (scripts/supervise).
trap 'exit 130' INT
trap 'exit 143' TERM
private_folder kavro-shot
dir=$folder
mkdir "$dir/home" "$dir/prefix" "$dir/tmp" "$dir/cups"
export CUPS_SERVER=$dir/cups/cups.sock CUPS_SERVERROOT=$dir/cups/etc HOME=$dir/home
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# wine's programs get the profile; this script may not hold it, or it would
# end with them.
w() { env WINEPREFIX="$dir/prefix" TMPDIR="$dir/tmp" "$@"; }

KAVRO_OWNER=$$ scripts/private-cupsd.sh start "$dir/cups"
sample_queues

# A virtual display of its own, and a wineserver that ends with this script,
# wine's services with it; wine draws its own window frames in a virtual
# desktop, as Windows would.
virtual_display "$dir"
wine_server "$dir/prefix" "$dir/tmp" "$dir/wineserver.log"
# wine's programs end before the folder goes.
trap 'w wineserver -k 2>/dev/null || true' EXIT
w wineboot -i </dev/null >"$dir/wine.log" 2>&1
w wine explorer /desktop=shot,800x600 "$program" </dev/null >>"$dir/wine.log" 2>&1 &
# Until the desktop shows, then give it the keyboard.
desktop=""
for _ in $(seq 100); do
  desktop=$(xdotool search --name "shot - Wine desktop" 2>/dev/null | head -1) && [ -n "$desktop" ] && break
  sleep 0.1
done
[ -n "$desktop" ] || { echo "wine's desktop did not show" >&2; exit 1; }
# Until the program's window is drawn on it: then the desktop's top-left
# corner is no longer the desktop's colour.
for _ in $(seq 100); do
  corner=$(import -window "$desktop" -crop 1x1+2+2 -format '%[pixel:p{0,0}]' info: 2>/dev/null || true)
  bottom=$(import -window "$desktop" -crop 1x1+797+597 -format '%[pixel:p{0,0}]' info: 2>/dev/null || true)
  [ -n "$corner" ] && [ "$corner" != "$bottom" ] && break
  sleep 0.2
done
sleep 1
# A click into the empty printer list (the window stands at the desktop's
# top-left corner) makes the window active with the focus in the list.
xdotool windowfocus --sync "$desktop"
xdotool mousemove --window "$desktop" 100 300 click 1
sleep 1

# One key at a time, each given time to take effect (the first list and
# the test wait on the scheduler).
key() {
  for k in "$@"; do
    xdotool key "$k"
    sleep 2
  done
}
key Tab space        # Get available printers
key shift+Tab Return # Office, the first entry, chosen with Enter
key shift+Tab space  # Test Printer, now enabled
key shift+Tab space  # Show technical info, last in the tab order

mkdir -p docs
import -window "$desktop" "$dir/desktop.png"
# The desktop around the window is of one colour: keep the window alone.
background=$(convert "$dir/desktop.png" -format '%[pixel:p{799,599}]' info:)
convert "$dir/desktop.png" -bordercolor "$background" -border 1 -trim +repage docs/window-windows.png
# The verdict must be on it: "Printer Ready" on light green.
colours=$(convert docs/window-windows.png -format %c histogram:info:)
if ! grep -qi '#80FF80' <<<"$colours"; then
  echo "the picture shows no verdict of Office: the window did not take the keys" >&2
  exit 1
fi
echo "wrote docs/window-windows.png ($(identify -format '%wx%h' docs/window-windows.png))"
