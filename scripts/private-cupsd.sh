#!/bin/bash
# A private CUPS scheduler for the tests: it lives entirely inside DIR, talks
# only over the unix socket DIR/cups.sock (no TCP port) and never reads the
# machine's own /etc/cups.
#
#   private-cupsd.sh start DIR   lay out DIR (which must exist), start cupsd,
#                                wait until it answers
#   private-cupsd.sh stop DIR    stop the cupsd started in DIR
#
# cupsd runs under scripts/supervise and ends with the process that
# KAVRO_OWNER names (by default the caller of "start"), however that ends;
# so does a "start" still under way. The folder is the caller's: this script
# never makes or removes DIR itself, only what lies inside it.
#
# A DIR/etc/printers.conf written before "start" is kept: it sets queue states
# that no command makes (State Stopped, Reason offline-report, Accepting No).
# Queues are not shared unless made so (lpadmin -o printer-is-shared=true).
#
# The scheduler's programs are the machine's, but its backends lie in a folder
# of its own: the machine's, and stand-ins for the backends of HPLIP (hp,
# hpfax), Samba (smb) and Canon (bjnp), so that lpadmin takes queues on their
# URIs whether or not the machine has them. A stand-in finds no device and
# prints no job. Its programs (backends, the D-Bus notifier that cups-browsed
# subscribes to) find no system bus: never the machine's.
#
# Clients reach the scheduler with
#   CUPS_SERVER=DIR/cups.sock CUPS_SERVERROOT=DIR/etc HOME=DIR/home
set -eu

usage() {
  echo "usage: $0 start DIR | stop DIR" >&2
  exit 2
}

[ $# -eq 2 ] || usage
action=$1
[ -n "$2" ] || usage
case $action in start | stop) ;; *) usage ;; esac

if [ ! -d "$2" ]; then
  [ "$action" = stop ] && exit 0 # nothing was started there
  echo "$0: $2: no such folder" >&2
  exit 1
fi
here=$(cd "$(dirname "$0")" && pwd)
export KAVRO_OWNER=${KAVRO_OWNER:-$PPID}
# A start under way ends with the owner too.
if [ "$action" = start ] && [ "${KAVRO_SUPERVISED:-}" != 1 ]; then
  KAVRO_SUPERVISED=1 exec "$here/supervise" --owner "$KAVRO_OWNER" -- "$0" "$@"
fi
# Absolute, so that the configuration does not depend on the caller's folder.
dir=$(cd "$2" && pwd)
# Inside DIR from here on: should it be removed meanwhile, nothing makes it again.
cd "$dir"
pidfile=$dir/cupsd.pid
supervisor=$dir/cupsd.supervisor.pid
socket=$dir/cups.sock
case $dir in
  *[[:space:]]*)
    echo "$0: $dir: cupsd.conf cannot name a folder with white space" >&2
    exit 2
    ;;
esac
if [ ${#socket} -ge 108 ]; then
  echo "$0: $socket: too long for a unix socket" >&2
  exit 2
fi

client_env() {
  env CUPS_SERVER="$socket" CUPS_SERVERROOT="$dir/etc" HOME="$dir/home" "$@"
}

# Whether `pid` is a live (not zombie) cupsd of this folder; a stale pid file
# whose number now belongs to another process does not count.
alive() {
  local pid=$1 state
  [ -r "/proc/$pid/cmdline" ] || return 1
  tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "-c $dir/etc/cupsd.conf" || return 1
  state=$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "/proc/$pid/status" 2>/dev/null)
  [ "$state" != Z ]
}

running() {
  [ -s "$pidfile" ] && alive "$(cat "$pidfile")"
}

# The machine's ServerBin: backend/, daemon/ (cups-exec), filter/, ...
machine_bin() {
  local bin
  bin=$(cups-config --serverbin 2>/dev/null) || true
  for bin in "$bin" /usr/lib/cups /usr/libexec/cups; do
    [ -n "$bin" ] && [ -d "$bin/daemon" ] && echo "$bin" && return
  done
  echo "$0: the machine's CUPS programs (ServerBin) are not found" >&2
  return 1
}

# DIR/bin: a ServerBin whose folders are the machine's but for backend/,
# which links the machine's backends and adds the stand-ins. cupsd runs a
# program only when root owns it and its folder and nobody else may write
# them (a link counts by what it points at, but by the folder it lies in);
# a backend whose mode lets others run it runs as lp, else as root.
server_bin() {
  local machine entry name
  machine=$(machine_bin)
  rm -rf bin
  mkdir -p bin/backend
  chmod 755 bin bin/backend
  for entry in "$machine"/*; do
    name=${entry##*/}
    [ "$name" = backend ] || ln -s "$entry" "bin/$name"
  done
  for entry in "$machine"/backend/*; do
    ln -s "$entry" "bin/backend/${entry##*/}"
  done
  for name in hp hpfax smb bjnp; do
    rm -f "bin/backend/$name"
    cat >"bin/backend/$name" <<'EOF'
#!/bin/sh
# A stand-in of the test scheduler: it finds no device (no arguments) and
# prints no job.
[ $# -eq 0 ] && exit 0
echo "ERROR: this backend of the tests prints nothing" >&2
exit 1
EOF
    chmod 755 "bin/backend/$name"
  done
}

layout() {
  mkdir -p etc/ppd etc/ssl spool/tmp cache state/certs log home
  server_bin
  chmod 1777 spool/tmp
  cat >"$dir/etc/cupsd.conf" <<EOF
Listen $socket
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
DefaultShared No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess default
  JobPrivateValues default
  SubscriptionPrivateAccess default
  SubscriptionPrivateValues default
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
  cat >"$dir/etc/cups-files.conf" <<EOF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ServerKeychain $dir/etc/ssl
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
ServerBin $dir/bin
FileDevice Yes
SetEnv DBUS_SYSTEM_BUS_ADDRESS unix:path=$dir/no-system-bus
User lp
Group lp
SystemGroup root
EOF
  # The scheduler's children run as lp and must reach their folders.
  chmod 755 "$dir"
  chown -R root:lp "$dir/etc" "$dir/spool" "$dir/cache" "$dir/state"
  chmod 755 "$dir/etc" "$dir/etc/ppd" "$dir/cache" "$dir/state"
  chmod 710 "$dir/spool"
  chmod 1777 "$dir/spool/tmp"
}

start() {
  if running; then
    echo "$0: a scheduler already runs in $dir (pid $(cat "$pidfile"))" >&2
    exit 1
  fi
  command -v cupsd >/dev/null || PATH=$PATH:/usr/sbin:/sbin
  command -v cupsd >/dev/null || { echo "$0: cupsd not found" >&2; exit 1; }
  layout
  rm -f "$socket" "$pidfile" "$supervisor"
  # Closed standard input and output: the caller may wait on them.
  "$here/supervise" --owner "$KAVRO_OWNER" --pidfile "$pidfile" -- \
    cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" \
    </dev/null >>"$dir/log/cupsd.out" 2>&1 &
  echo $! >"$supervisor"
  local tries=0
  until [ -s "$pidfile" ]; do
    if ! kill -0 "$(cat "$supervisor")" 2>/dev/null || [ $tries -ge 200 ]; then
      echo "$0: cupsd did not start; its log:" >&2
      cat "$dir/log/cupsd.out" >&2 || true
      exit 1
    fi
    sleep 0.05
    tries=$((tries + 1))
  done
  # lpstat -r exits 0 either way, so read what it says; and it waits as long
  # as a silent scheduler lets it, so bound each try too.
  local deadline=$(($(date +%s) + 10))
  until client_env LC_ALL=C timeout 2 lpstat -r 2>/dev/null | grep -qx 'scheduler is running'; do
    if ! running; then
      echo "$0: cupsd exited at start; its log:" >&2
      cat "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null >&2 || true
      rm -f "$pidfile"
      exit 1
    fi
    if [ "$(date +%s)" -ge $deadline ]; then
      echo "$0: cupsd did not answer within 10 s" >&2
      stop
      exit 1
    fi
    sleep 0.05
  done
}

# Whether `pid` is the supervisor of this folder's cupsd.
supervising() {
  [ -r "/proc/$1/cmdline" ] && tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -qF -- "--pidfile $pidfile "
}

# Stops cupsd through its supervisor, which gives it 5 s after SIGTERM before
# SIGKILL and ends with it.
stop() {
  local pid tries=0
  if [ -s "$supervisor" ] && supervising "$(cat "$supervisor")"; then
    pid=$(cat "$supervisor")
    kill -TERM "$pid" 2>/dev/null || true
    while supervising "$pid" && [ $tries -lt 200 ]; do # 10 s
      sleep 0.05
      tries=$((tries + 1))
    done
  fi
  # A cupsd whose supervisor is gone (it never should be).
  if [ -s "$pidfile" ] && alive "$(cat "$pidfile")"; then
    echo "$0: cupsd $(cat "$pidfile") outlived its supervisor; killing it" >&2
    kill -KILL "$(cat "$pidfile")" 2>/dev/null || true
  fi
  rm -f "$pidfile" "$supervisor"
}

"$action"
