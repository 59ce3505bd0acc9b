#!/bin/bash
# The Windows installer under wine, in a new wine prefix in a folder under /tmp
# that the script removes again, however it ends.
#
#   msi-under-wine.sh lifecycle MSI VERSION PROGRAM CHECKER
#     installs MSI: the program under Program Files is PROGRAM byte for byte and
#     shows its window; the Start-menu shortcut starts it and has its icon; the
#     list of installed apps has one entry, of VERSION, with its icon. Then
#     installs MSI again, repairs a damaged install, removes it, and finds
#     nothing of it left: no file, folder, shortcut or registry value.
#   msi-under-wine.sh upgrade MSI LATER-MSI LATER-VERSION LATER-PROGRAM CHECKER
#     installs MSI, then LATER-MSI over it: one entry remains, of LATER-VERSION,
#     with LATER-PROGRAM under Program Files; MSI is then refused. Removing the
#     later version leaves nothing.
#
# CHECKER is the Windows program installed_program (InstalledProgram.cpp).
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
usage() {
  echo "usage: $0 lifecycle MSI VERSION PROGRAM CHECKER | upgrade MSI LATER-MSI LATER-VERSION LATER-PROGRAM CHECKER" >&2
  exit 2
}
[ $# -ge 1 ] || usage
mode=$1
shift
case $mode in
  lifecycle) [ $# -eq 4 ] || usage ;;
  upgrade) [ $# -eq 5 ] || usage ;;
  *) usage ;;
esac
for file in "$@"; do
  case $file in /*) [ -f "$file" ] || fail "$file: not there (build first)" ;; esac
done

# The script runs under scripts/supervise, in a folder that it makes: should
# the script or its caller be killed, the supervisor ends the prefix's wine
# programs and removes the folder.
if [ "${KAVRO_SUPERVISED:-}" != 1 ]; then
  dir=$(mktemp -u /tmp/kavro-msi-XXXXXX)
  KAVRO_SUPERVISED=1 KAVRO_MSI_FOLDER=$dir exec "$(dirname "$0")/../../../scripts/supervise" \
    --owner "$PPID" --folder "$dir" --environ "WINEPREFIX=$dir/prefix" -- "$0" "$mode" "$@"
fi
dir=$KAVRO_MSI_FOLDER
export WINEPREFIX=$dir/prefix HOME=$dir/home WINEDEBUG=-all
# wineserver keeps its socket in a folder under TMPDIR, and leaves it there.
export TMPDIR=$dir/tmp
# No .NET, no browser engine to download; no menu entries in a Linux menu.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# wine's spooler asks CUPS for printers when the prefix is made: a scheduler
# that is not there, never the machine's own.
export CUPS_SERVER=$dir/no-scheduler.sock CUPS_SERVERROOT=$dir/no-cups
# No window of wine's may reach a display, nor anything the user's folders.
unset DISPLAY WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME

cleanup() {
  # Ends every process of the prefix, the persistent wineserver with them.
  if [ -d "$WINEPREFIX" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf -- "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# wine's output goes to files: wine's services keep a pipe open as long as the
# persistent wineserver runs.
log=$dir/wine.log
# run_wine ARGS...: wine, its output to the log.
run_wine() {
  wine "$@" </dev/null >>"$log" 2>&1
}
# check ARGS...: the checker; what it prints is in $dir/out.
check() {
  wine "$checker" "$@" </dev/null >"$dir/out" 2>"$dir/err" || {
    cat "$dir/out" "$dir/err" >&2
    return 1
  }
  tr -d '\r' <"$dir/out" >"$dir/out.txt"
}
# field NAME: a value the checker printed.
field() {
  sed -n "s/^$1=//p" "$dir/out.txt"
}
# windows_path FILE: the Windows path of a Linux one (drive Z: is /).
windows_path() {
  printf 'Z:%s' "${1//\//\\}"
}
# msiexec ARGS...: msiexec, quiet, with a verbose log; its exit code (wine
# passes on the low 8 bits: 1603, a failed install, comes as 67).
step=0
msiexec() {
  step=$((step + 1))
  local begin code=0
  begin=$(date +%s%N)
  wine msiexec "$@" /qn /l*v "$(windows_path "$dir/msiexec-$step.log")" </dev/null >>"$log" 2>&1 || code=$?
  echo "msiexec $1 ${2##*\\} ${*:3}: exit code $code after $((($(date +%s%N) - begin) / 1000000)) ms"
  return $code
}
msiexec_ok() {
  local code=0
  msiexec "$@" || code=$?
  if [ $code -ne 0 ]; then
    tail -n 30 "$dir/msiexec-$step.log" >&2 2>/dev/null || true
    fail "msiexec $*: exit code $code"
  fi
}

# seconds: how long since the start, to a tenth.
seconds() {
  local tenths=$((($(date +%s%N) - started) / 100000000))
  echo "$((tenths / 10)).$((tenths % 10))"
}

# A new prefix, with wine's null graphics driver from its first start on:
# nothing to draw on, nothing to wait for.
mkdir -p "$WINEPREFIX" "$HOME" "$TMPDIR"
printf 'WINE REGISTRY Version 2\n\n[Software\\\\Wine\\\\Drivers]\n"Graphics"="null"\n' >"$WINEPREFIX/user.reg"
started=$(date +%s%N)
run_wine wineboot -i
wineserver -k >/dev/null 2>&1 || true # the prefix is on disk now, registry and all

# What is in the prefix: its files and folders, and its registry as wine
# writes it when its server ends: a line for each key and for each value
# ("HIVE [KEY] NAME=VALUE"), without the times wine stamps on keys. wine's device
# setup rewrites the keys of the display adapters and network cards at each
# start, and its bus drivers register the devices they find (DeviceClasses)
# whenever they find them; they are left out.
snapshot() {
  (cd "$WINEPREFIX/drive_c" && find . -printf '%y %p\n' | LC_ALL=C sort) >"$dir/$1.files"
  awk -v hive=HKLM '
    /^\[/ { key = hive " " $0; sub(/\] [0-9]+$/, "]", key); print key; next }
    /^#/ || /^$/ || /^WINE REGISTRY/ || /^;;/ { next }
    {
      line = $0
      while (line ~ /\\$/ && (getline more) > 0) { sub(/\\$/, "", line); sub(/^ +/, "", more); line = line more }
      print key " " line
    }' "$WINEPREFIX/system.reg" hive=HKCU "$WINEPREFIX/user.reg" |
    grep -v -E '^HKLM \[System\\\\CurrentControlSet\\\\Control\\\\(Class|DeviceClasses)\\\\|^HKLM \[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\NetworkCards' |
    LC_ALL=C sort >"$dir/$1.registry"
}
snapshot before
# One wineserver for every step, rather than one started by each; it puts
# itself in the background, and ends 10 s after the last wine process of the
# prefix, should this script be killed before it ends it.
wineserver -p10 </dev/null >/dev/null 2>&1
echo "new prefix in $(seconds) s"

program_folder='C:\Program Files\KAVRO SOFTWARE\Test Printer'
installed_program="$program_folder\\KAVRO_TEST_PRINTERS.exe"
installed_file="$WINEPREFIX/drive_c/Program Files/KAVRO SOFTWARE/Test Printer/KAVRO_TEST_PRINTERS.exe"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# entries: the entries of the list of installed apps named "Test Printer",
# each as "KEY|DisplayVersion|Publisher|DisplayIcon", in $dir/entries.
entries() {
  wine reg query "$uninstall_key" /s </dev/null >"$dir/uninstall.txt" 2>>"$log" || true
  tr -d '\r' <"$dir/uninstall.txt" | awk '
    function flush() { if (name == "Test Printer") print key "|" version "|" publisher "|" icon }
    /^HKEY_/ { flush(); key = $0; name = version = publisher = icon = ""; next }
    {
      value = $0; sub(/^ +[^ ]+ +REG_[A-Z_]+ +/, "", value)
      if ($1 == "DisplayName") name = value
      if ($1 == "DisplayVersion") version = value
      if ($1 == "Publisher") publisher = value
      if ($1 == "DisplayIcon") icon = value
    }
    END { flush() }' >"$dir/entries"
}

# installed VERSION PROGRAM: the program, its shortcut and its one entry, of VERSION.
installed() {
  cmp "$2" "$installed_file" || fail "the program under Program Files is not the one built"

  entries
  [ "$(wc -l <"$dir/entries")" -eq 1 ] || fail "not one entry \"Test Printer\" in the list of installed apps:
$(cat "$dir/entries")"
  IFS='|' read -r key version publisher icon <"$dir/entries"
  [ "$version" = "$1" ] || fail "the entry shows version '$version', not $1"
  [ "$publisher" = "KAVRO SOFTWARE" ] || fail "the entry shows publisher '$publisher'"
  [ -n "$icon" ] || fail "the entry has no icon"
  check icon "$icon" || fail "the entry's icon '$icon' does not load"
  echo "entry: ${key##*\\}, Test Printer $version by $publisher, icon $icon"

  # The Start menu's shortcut: wine puts a shortcut for all users in the
  # user's Start menu, Windows under ProgramData; one of them, not both.
  find "$WINEPREFIX/drive_c" -name '*.lnk' -path '*/Start Menu/Programs/*' >"$dir/shortcuts"
  [ "$(wc -l <"$dir/shortcuts")" -eq 1 ] || fail "not one shortcut in the Start menu:
$(cat "$dir/shortcuts")"
  shortcut=$(cat "$dir/shortcuts")
  [ "$(basename "$shortcut")" = "Test Printer.lnk" ] || fail "the shortcut is $shortcut"
  check shortcut "$(windows_path "$shortcut")" || fail "the shortcut's icon does not load"
  [ "$(field target)" = "$installed_program" ] || fail "the shortcut starts '$(field target)'"
  # (Windows Installer writes a folder with its closing backslash.)
  [ "$(field folder)" = "$program_folder\\" ] || fail "the shortcut starts it in '$(field folder)'"
  echo "shortcut: ${shortcut#"$WINEPREFIX/"} starts $(field target), icon $(field icon)"
}

# removed: nothing of the install is left, compared with the new prefix.
removed() {
  wineserver -k >/dev/null 2>&1 || true
  snapshot after
  # Windows Installer's own folder for the packages it keeps (C:\Windows\Installer,
  # which every Windows has) may stay, empty.
  diff "$dir/before.files" "$dir/after.files" | grep '^[<>]' | grep -v '^> d ./windows/Installer$' \
    >"$dir/files.diff" || true
  [ ! -s "$dir/files.diff" ] || fail "files and folders left or lost:
$(cat "$dir/files.diff")"
  # So may its own keys, empty: Software\Classes\Installer and
  # Software\Microsoft\Windows\CurrentVersion\Installer, with the keys for
  # products, features, components and upgrade codes in them.
  installer_keys='^HKLM \[Software\\\\(Classes\\\\Installer|Microsoft\\\\Windows\\\\CurrentVersion\\\\Installer)(\\\\(Features|Products|UpgradeCodes|UserData(\\\\S-1-5-18(\\\\(Components|Products))?)?))?\]$'
  LC_ALL=C comm -13 "$dir/before.registry" "$dir/after.registry" | grep -v -E "$installer_keys" \
    >"$dir/registry.left" || true
  [ ! -s "$dir/registry.left" ] || fail "registry keys or values left:
$(cat "$dir/registry.left")"
  LC_ALL=C comm -23 "$dir/before.registry" "$dir/after.registry" >"$dir/registry.lost"
  [ ! -s "$dir/registry.lost" ] || fail "registry keys or values lost:
$(cat "$dir/registry.lost")"
  echo "removed: no file, folder, shortcut or registry value left"
}

case $mode in
  lifecycle)
    msi=$1 version=$2 program=$3 checker=$4
    msiexec_ok /i "$(windows_path "$msi")"
    installed "$version" "$program"
    check run "$installed_program" || fail "the installed program does not start, show its window and end"
    echo "started: its window \"$(field window)\" came after $(field window_ms) ms; closed, it ended with $(field exit)"

    # The same package again: nothing changes.
    msiexec_ok /i "$(windows_path "$msi")"
    installed "$version" "$program"

    # A repair brings back what was lost, as msiexec /fa does on Windows
    # (wine's msiexec /fa takes no package, only a product code it does not
    # yet handle; the same request as properties does the same).
    rm -- "$installed_file" "$shortcut"
    msiexec_ok /i "$(windows_path "$msi")" REINSTALL=ALL REINSTALLMODE=a
    installed "$version" "$program"
    echo "repaired: the program and its shortcut are back"

    msiexec_ok /x "$(windows_path "$msi")"
    removed
    ;;
  upgrade)
    msi=$1 later_msi=$2 later_version=$3 later_program=$4 checker=$5
    msiexec_ok /i "$(windows_path "$msi")"
    msiexec_ok /i "$(windows_path "$later_msi")"
    installed "$later_version" "$later_program"
    echo "upgraded: the later version replaced the earlier one"

    # An earlier version does not replace a later one.
    if msiexec /i "$(windows_path "$msi")"; then
      fail "the earlier version installed over the later one"
    fi
    installed "$later_version" "$later_program"
    echo "refused: the earlier version over the later one"

    msiexec_ok /x "$(windows_path "$later_msi")"
    removed
    ;;
esac
echo "done in $(seconds) s"
