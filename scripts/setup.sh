# Sourced by the run and test scripts: installs what building, running and
# testing need on Debian, skipping what is there already.
PACKAGES="cmake g++ make pkg-config libgtest-dev qt6-base-dev libgl1-mesa-dev libcups2-dev cups
  fonts-liberation xvfb xauth"

install_packages() {
  missing=""
  for p in $PACKAGES; do
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

build() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build build -j"$(nproc)"
}
