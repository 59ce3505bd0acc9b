# Sourced by the run and test scripts: installs what building, running and
# testing need on Debian, skipping what is there already.
PACKAGES="cmake g++ make pkg-config libgtest-dev qt6-base-dev qt6-svg-dev libgl1-mesa-dev libcups2-dev
  libavahi-client-dev cups cups-browsed fonts-liberation xvfb xauth dpkg-dev desktop-file-utils appstream
  cups-ipp-utils avahi-daemon dbus iproute2 valgrind python3 util-linux snmpd"

# For the Windows build and its tests under wine (64-bit only).
WINDOWS_PACKAGES="mingw-w64 wine wine64 librsvg2-bin icoutils wixl"

# The screen reader of the window's tests (scripts/screen-reader.sh), and gdbus to ask at-spi whether it listens.
PACKAGES="$PACKAGES orca at-spi2-core libglib2.0-bin"

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

# private_folder NAME: makes a new folder NAME.XXXXXX under TMPDIR (else
# /tmp) and sets `folder` to it. It lives no longer than the shell that
# calls this: scripts/supervise (KAVRO_SUPERVISE names it, if not run from
# the top folder) removes it when that shell ends, however it ends.
private_folder() {
  folder=$(mktemp -u "${TMPDIR:-/tmp}/$1.XXXXXX")
  "${KAVRO_SUPERVISE:-scripts/supervise}" --owner $$ --folder "$folder" </dev/null >/dev/null 2>&1 &
  while [ ! -d "$folder" ]; do
    kill -0 $! 2>/dev/null || { echo "cannot make $folder" >&2; return 1; }
    sleep 0.02
  done
}

# virtual_display FOLDER: starts Xvfb on a free display under
# scripts/supervise, ending with KAVRO_OWNER (else this shell), and sets
# DISPLAY and XAUTHORITY for it (its cookie in FOLDER/Xauthority), and
# `virtual_display_pid` to the supervisor's process id.
virtual_display() {
  _x=$1
  : >"$_x/Xauthority"
  _cookie=$(mcookie)
  # The server reads its cookies at start; the client's entry names the
  # display it chose.
  xauth -q -f "$_x/Xauthority.server" add :0 . "$_cookie" 2>/dev/null
  rm -f "$_x/display"
  "${KAVRO_SUPERVISE:-scripts/supervise}" --owner "${KAVRO_OWNER:-$$}" -- \
    sh -c 'exec Xvfb -displayfd 3 -nolisten tcp -auth "$1/Xauthority.server" 3>"$1/display"' sh "$_x" \
    </dev/null >>"$_x/Xvfb.log" 2>&1 &
  virtual_display_pid=$!
  started Xvfb $! "$_x/Xvfb.log" '[ -s "$_x/display" ]' || return 1
  DISPLAY=:$(cat "$_x/display")
  XAUTHORITY=$_x/Xauthority
  export DISPLAY XAUTHORITY
  xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$_cookie" 2>/dev/null
}

# wine_server PREFIX TMP LOG: starts a persistent wineserver for the wine
# profile PREFIX, with its sockets under TMP and its output in LOG, under
# scripts/supervise: it ends with KAVRO_OWNER (else this shell), and wine's
# programs of that profile with it. Returns once it takes connections, with
# the supervisor's process id in `wine_server_pid`. The caller's own
# environment must not hold WINEPREFIX=PREFIX, or it ends with them.
wine_server() {
  _prefix=$1 _tmp=$2
  _server=server-$(stat -c %D "$_prefix")-$(printf %x "$(stat -c %i "$_prefix")")
  rm -f "$_prefix/wineserver" # of a server that has ended
  "${KAVRO_SUPERVISE:-scripts/supervise}" --owner "${KAVRO_OWNER:-$$}" --pidfile "$_tmp/wineserver.pid" \
    --environ "WINEPREFIX=$_prefix" -- env WINEPREFIX="$_prefix" TMPDIR="$_tmp" wineserver -f -p \
    </dev/null >>"$3" 2>&1 &
  wine_server_pid=$!
  # Its socket: in the folder under TMP that the profile names, then one
  # named after the device and inode of the profile.
  started wineserver $wine_server_pid "$3" \
    '[ -s "$_prefix/wineserver" ] && [ -S "$_tmp/$(cat "$_prefix/wineserver")/$_server/socket" ]'
}

# started WHAT PID LOG CONDITION: waits, 10 s at the most, until the shell
# condition CONDITION holds for WHAT, which the supervisor PID started; when
# that supervisor ends first, or time runs out, shows LOG and fails.
started() {
  _tries=0
  until eval "$4"; do
    if ! kill -0 "$2" 2>/dev/null || [ $_tries -ge 200 ]; then
      echo "$1 did not start:" >&2
      cat "$3" >&2
      return 1
    fi
    sleep 0.05
    _tries=$((_tries + 1))
  done
}
