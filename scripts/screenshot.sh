#!/bin/sh
# Makes docs/window.png, the README's picture of the window: the program's
# own window, grabbed after loading the sample queues of a private scheduler,
# choosing Office by double-click, testing it and showing the technical view;
# docs/window-dark.png, the same under a dark colour scheme; and
# docs/window-why.png, the paused queue Paused tested, the pointer resting on
# the verdict to show why.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
install_packages
build build -DKAVRO_WITH_TESTS=ON -DKAVRO_SANITIZE=OFF
# The scheduler and its folder end with this script, however it ends
# (scripts/supervise); the traps only make it sooner.
private_folder kavro-cups
private=$folder
trap 'scripts/private-cupsd.sh stop "$private" >/dev/null 2>&1 || true; rm -rf "$private"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
KAVRO_OWNER=$$ scripts/private-cupsd.sh start "$private"
export CUPS_SERVER="$private/cups.sock" CUPS_SERVERROOT="$private/etc" HOME="$private/home"
sample_queues
mkdir -p docs "$private/runtime" && chmod 700 "$private/runtime"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$private/runtime"
build/tests/window/qt/grab_window docs/window.png Office
build/tests/window/qt/grab_window --dark docs/window-dark.png Office
build/tests/window/qt/grab_window --why docs/window-why.png Paused
echo "wrote docs/window.png, docs/window-dark.png and docs/window-why.png"
