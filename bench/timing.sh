# Sourced by the benchmarks: wall times of whole commands.

# median_of: the median, in milliseconds, of the figures in microseconds on
# standard input, one a line.
median_of() {
  sort -n | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f", m / 1000 }'
}

# median_ms COMMAND...: the median wall time, in milliseconds, of `runs` runs
# of COMMAND, its output thrown away.
median_ms() {
  local times=() i start end
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | median_of
}
