#!/bin/bash
# What Ctrl+C copies in the Windows window, read back from the X clipboard:
# the copy test runs in a wine desktop of its own with the x11 driver, on a
# virtual display (the other tests draw on none), and keeps the report on
# the clipboard while xclip reads it. In the wine fixture's environment:
#   x-clipboard.sh TEST-PROGRAM
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
export KAVRO_SUPERVISE=$root/scripts/supervise KAVRO_OWNER=$$
. "$root/scripts/setup.sh"
private_folder kavro-x-clipboard
dir=$folder
virtual_display "$dir"
KAVRO_X_CLIPBOARD="Z:$dir/copied" wine explorer /desktop=kavro-x-clipboard,640x480,x11 "$1" \
  --gtest_filter=Win32WindowTest.CtrlCAnywhereAndCopyOnTheVerdictPutTheReportOnTheClipboard &
program=$!
for _ in $(seq 300); do [ -e "$dir/copied" ] && break; sleep 0.1; done
report=$(timeout 10 xclip -o -selection clipboard -t UTF8_STRING 2>&1) || true
rm -f "$dir/copied"
wait $program || true
# The whole report, its lines ending as X's do.
if [[ $report != "Printer: Office"$'\n'"Result: Printer Ready"$'\n'* || $report == *$'\r'* ||
  $(grep -c '^  Buffer No. ' <<<"$report") != 21 || $report != *$'\n'"  Attribute bits: 0000000000000" ]]; then
  echo "The X clipboard holds:"
  printf '%s\n' "$report"
  exit 1
fi
echo "The X clipboard holds the report, $(wc -l <<<"$report") lines"
