#!/bin/bash
# Ctrl+C's report in the Windows window, read from the X clipboard: the copy
# test, in a wine desktop of its own with the x11 driver on a virtual display,
# keeps a report on the clipboard while xclip reads it. In the wine fixture's
# environment:  x-clipboard.sh TEST-PROGRAM
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
export KAVRO_SUPERVISE=$root/scripts/supervise KAVRO_OWNER=$$
. "$root/scripts/setup.sh"
private_folder kavro-x-clipboard
virtual_display "$folder"
KAVRO_X_CLIPBOARD="Z:$folder/copied" wine explorer /desktop=kavro-x-clipboard,1024x768,x11 "$1" \
  --gtest_filter=Win32WindowTest.CtrlCAnywhereAndCopyOnTheVerdictPutTheReportOnTheClipboard &
for _ in $(seq 300); do [ -e "$folder/copied" ] && break; sleep 0.1; done
report=$(timeout 10 xclip -o -selection clipboard -t UTF8_STRING 2>&1) || true
rm -f "$folder/copied"
wait $! || true
printf '%s\n' "$report"
[[ $report == "Printer: Office"$'\n'"Result: Printer Ready"$'\n'* && $report != *$'\r'* &&
  $report == *$'\n'"  Attribute bits: 0000000000000" ]]
