#!/bin/bash
# A printer's SNMP agent for the tests: Debian's snmpd (net-snmp) on UDP port
# 161 of 127.0.0.1 in the caller's network namespace (a test program's own,
# tests/support/OwnNetwork.h: never the machine's port 161). It answers
# SNMPv1 and SNMPv2c requests in the community "public" for the objects that
# DIR/objects lists, one a line as snmpd.conf's override directive takes
# them, "OID TYPE VALUE" (TYPE integer, octet_str or object_id), and for
# nothing else: none of net-snmp's own MIB modules runs (its Host Resources
# module would ask the machine's print system for its printers).
#
#   snmp-agent.sh start DIR   start it and wait until it answers
#   snmp-agent.sh stop DIR    stop it again
#
# Its configuration, persistent files and log (DIR/snmpd.log) stay in DIR,
# which must exist: nothing is read from /etc/snmp or the user's home, nor
# written under /var. snmpd runs under scripts/supervise and ends with the
# process that KAVRO_OWNER names (by default the caller of "start"), however
# that ends; so does a "start" still under way.
set -eu

usage() {
  echo "usage: $0 start DIR | stop DIR" >&2
  exit 2
}
[ $# -eq 2 ] || usage
action=$1
case $action in start | stop) ;; *) usage ;; esac
here=$(cd "$(dirname "$0")" && pwd)
export KAVRO_OWNER=${KAVRO_OWNER:-$PPID}
if [ "$action" = start ] && [ "${KAVRO_SUPERVISED:-}" != 1 ]; then
  KAVRO_SUPERVISED=1 exec "$here/supervise" --owner "$KAVRO_OWNER" -- "$0" "$@"
fi
if [ ! -d "$2" ]; then
  [ "$action" = stop ] && exit 0 # nothing was started there
  echo "$0: $2: no such folder" >&2
  exit 1
fi
dir=$(cd "$2" && pwd)
cd "$dir"

# Whether `pid` is the supervisor of this folder's snmpd.
supervising() {
  [ -r "/proc/$1/cmdline" ] && tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -qF -- "--pidfile $dir/snmpd.pid "
}

stop() {
  local pid tries=0
  [ -s snmpd.supervisor.pid ] || return 0
  pid=$(cat snmpd.supervisor.pid)
  if supervising "$pid"; then
    kill -TERM "$pid" 2>/dev/null || true
    while supervising "$pid" && [ $tries -lt 200 ]; do # 10 s
      sleep 0.05
      tries=$((tries + 1))
    done
  fi
  rm -f snmpd.supervisor.pid snmpd.pid
}

start() {
  stop
  PATH=$PATH:/usr/sbin:/sbin
  mkdir -p persistent
  {
    echo "rocommunity public 127.0.0.1"
    sed -n 's/^\([0-9.]\{1,\} .*\)/override \1/p' objects 2>/dev/null || true
  } >snmpd.conf
  : >snmpd.log
  # -C: no configuration but -c's; -I: of its modules only the community's
  # access and the overrides.
  "$here/supervise" --owner "$KAVRO_OWNER" --pidfile "$dir/snmpd.pid" -- \
    env HOME="$dir" SNMPCONFPATH="$dir" SNMP_PERSISTENT_DIR="$dir/persistent" MIBS= \
    snmpd -f -C -c "$dir/snmpd.conf" -I vacm_conf,override -Lf "$dir/snmpd.log" udp:127.0.0.1:161 \
    </dev/null >>snmpd.log 2>&1 &
  echo $! >snmpd.supervisor.pid
  # It says its version once its port is open (at most 10 s).
  local tries=0
  until grep -q "^NET-SNMP version" snmpd.log; do
    tries=$((tries + 1))
    if [ $tries -ge 200 ] || ! supervising "$(cat snmpd.supervisor.pid)"; then
      echo "$0: snmpd did not start" >&2
      cat snmpd.log >&2
      return 1
    fi
    sleep 0.05
  done
}

$action
