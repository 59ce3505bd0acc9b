#!/bin/bash
# A private CUPS scheduler for the tests: it lives entirely inside DIR, talks
# only over the unix socket DIR/cups.sock (no TCP port) and never reads the
# machine's own /etc/cups.
#
#   private-cupsd.sh start DIR   lay out DIR, start cupsd, wait until it answers
#   private-cupsd.sh stop DIR    stop the cupsd started in DIR
#
# A DIR/etc/printers.conf written before "start" is kept: it sets queue states
# that no command makes (State Stopped, Reason offline-report, Accepting No).
# Queues are not shared unless made so (lpadmin -o printer-is-shared=true).
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

if [ "$action" = stop ] && [ ! -d "$2" ]; then
  exit 0 # nothing was started there
fi
# Absolute, so that the configuration does not depend on the caller's folder.
mkdir -p "$2"
dir=$(cd "$2" && pwd)
pidfile=$dir/cupsd.pid
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

layout() {
  mkdir -p "$dir/etc/ppd" "$dir/etc/ssl" "$dir/spool/tmp" "$dir/cache" "$dir/state/certs" \
    "$dir/log" "$dir/home"
  chmod 1777 "$dir/spool/tmp"
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
FileDevice Yes
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
  rm -f "$socket" "$pidfile"
  # Closed standard input and output: the caller may wait on them.
  cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" \
    </dev/null >>"$dir/log/cupsd.out" 2>&1 &
  echo $! >"$pidfile"
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

stop() {
  [ -s "$pidfile" ] || return 0
  local pid
  pid=$(cat "$pidfile")
  if alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null || true
    local tries=0
    while alive "$pid" && [ $tries -lt 100 ]; do # 5 s
      sleep 0.05
      tries=$((tries + 1))
    done
    if alive "$pid"; then
      echo "$0: cupsd $pid did not stop within 5 s; killing it" >&2
      kill -KILL "$pid" 2>/dev/null || true
      tries=0
      while alive "$pid" && [ $tries -lt 40 ]; do
        sleep 0.05
        tries=$((tries + 1))
      done
    fi
  fi
  rm -f "$pidfile"
}

"$action"
