# Sourced by the run and test scripts: installs what building, running and
# testing need on Debian, skipping what is there already.
PACKAGES="cmake g++ make pkg-config libgtest-dev qt6-base-dev qt6-svg-dev libgl1-mesa-dev libcups2-dev cups
  fonts-liberation xvfb xauth dpkg-dev desktop-file-utils appstream cups-ipp-utils avahi-daemon dbus valgrind"

# For the Windows build and its tests under wine (64-bit only).
WINDOWS_PACKAGES="mingw-w64 wine wine64 librsvg2-bin icoutils"

# install_packages [MORE-PACKAGES...]
install_packages() {
  missing=""
  for p in $PACKAGES "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  echo "Installing:$missing"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing
}

# build DIR [CMAKE-ARGUMENTS...]
build() {
  dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$dir" -j"$(nproc)"
}

# Three sample queues on the scheduler that CUPS_SERVER names: one ready, one
# stopped, one not accepting jobs; Office is the default.
sample_queues() {
  lpadmin -p Office -E -v file:///dev/null -D "Ready to print" -L "Front desk"
  lpadmin -p Paused -E -v file:///dev/null -D "Stopped by an administrator"
  cupsdisable Paused
  lpadmin -p Rejecting -E -v file:///dev/null -D "Not accepting jobs"
  cupsreject Rejecting
  lpadmin -d Office
}
