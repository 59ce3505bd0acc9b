#!/bin/sh
# Builds the Debian package from the build, checks its contents and control
# fields, unpacks it into a throw-away root and starts the program there the
# way its menu entry does, on Qt's offscreen platform. The program has to
# open its window and keep running until `timeout` stops it.
#   debian-package.sh BUILD-DIR PROGRAM APP-ID VERSION
set -eu
build=$1 program=$2 id=$3 version=$4
# A folder that goes with this script, however it ends.
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
KAVRO_SUPERVISE=$scripts/supervise
. "$scripts/setup.sh"
private_folder kavro-package
work=$folder
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"
set -- "$work"/out/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "cpack made no single package: $*"
deb=$1
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

dpkg-deb -c "$deb" >"$work/contents"
files=$(awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' "$work/contents" | LC_ALL=C sort)
expected="usr/bin/$program
usr/share/applications/$id.desktop
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/metainfo/$id.metainfo.xml"
[ "$files" = "$expected" ] || fail "package files:
$files
expected:
$expected"
awk '$2 != "root/root" { bad = 1; print } END { exit bad }' "$work/contents" || fail "files not owned by root"
awk -v p="./usr/bin/$program" '$6 == p && $1 != "-rwxr-xr-x" { exit 1 }' "$work/contents" ||
  fail "the program is not executable by everyone"

dpkg-deb -f "$deb" Package Version Architecture Maintainer Depends Recommends
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
depends=$(dpkg-deb -f "$deb" Depends)
# From the libraries the program links, and the platform plugin it loads.
for needed in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libcups2 libavahi-client3 qt6-qpa-plugins; do
  echo ", $depends," | grep -q "[, ]$needed[ ,]" || fail "Depends lacks $needed"
done

dpkg -x "$deb" "$work/root"
command=$(sed -n 's/^Exec=//p' "$work/root/usr/share/applications/$id.desktop")
mkdir -m 700 "$work/runtime"
status=0
env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" PATH="$work/root/usr/bin:$PATH" \
  timeout 3 "$command" >"$work/out.log" 2>&1 || status=$?
cat "$work/out.log"
[ "$status" -eq 124 ] || fail "$command exited with $status before 3 seconds were up"
echo "$command from the unpacked package ran until stopped"
