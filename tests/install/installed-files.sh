#!/bin/sh
# Installs the build into a throw-away root and checks what a desktop finds
# there: the program, its menu entry, its AppStream metainfo and its icon and
# nothing else; the menu entry and the metainfo valid; the menu entry starting
# the installed program with no arguments and naming the installed icon.
#   installed-files.sh BUILD-DIR PROGRAM APP-ID
set -eu
build=$1 program=$2 id=$3
# A folder that goes with this script, however it ends.
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
KAVRO_SUPERVISE=$scripts/supervise
. "$scripts/setup.sh"
private_folder kavro-install
root=$folder
trap 'rm -rf "$root"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
expected="usr/bin/$program
usr/share/applications/$id.desktop
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/metainfo/$id.metainfo.xml"
found=$(cd "$root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
[ "$found" = "$expected" ] || fail "installed files:
$found
expected:
$expected"

entry=$root/usr/share/applications/$id.desktop
# Errors and warnings fail; hints are advice.
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
[ -n "$report" ] && echo "$report"
echo "$report" | grep -E ': (error|warning): ' >/dev/null && fail "desktop-file-validate complains"

appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
# The metainfo's launchable is the installed menu entry.
appstreamcli validate-tree --no-net "$root"

grep -qx 'Name=Test Printer' "$entry" || fail "the menu does not show 'Test Printer'"
command=$(sed -n 's/^Exec=//p' "$entry")
[ "$command" = "$program" ] || fail "Exec=$command: not the program alone"
[ -x "$root/usr/bin/$command" ] || fail "Exec=$command: not installed in bin"
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -s "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon: not installed"
echo "installed and valid: $(echo "$found" | tr '\n' ' ')"
