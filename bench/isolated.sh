# Sourced by the benchmarks that run in namespaces of their own, where
# nothing reaches the machine's network, name server or print system.

# isolate NAME [ARGUMENT...]: makes the run's folder NAME.XXXXXX (it ends with
# this script, scripts/supervise) and runs this script again with ARGUMENTs
# in network and mount namespaces of its own, KAVRO_BENCH_FOLDER naming the
# folder. Needs scripts/setup.sh.
isolate() {
  private_folder "$1"
  shift
  export KAVRO_BENCH_FOLDER=$folder KAVRO_OWNER=$$
  exec unshare --net --mount --propagation private "$0" "$@"
}

# dead_network: inside, loopback up, 10.9.9.0/24 routed nowhere (a host that
# is gone) and the name server at 127.0.0.1 (where the bench program listens
# and never answers).
dead_network() {
  ip link set lo up
  ip route add 10.9.9.0/24 dev lo
  printf 'nameserver 127.0.0.1\n' >"$KAVRO_BENCH_FOLDER/resolv.conf"
  mount --bind "$KAVRO_BENCH_FOLDER/resolv.conf" /etc/resolv.conf
}
