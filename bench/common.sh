# Sourced by the benchmark scripts: the tools of a build and a median of wall times.
#
#   . bench/common.sh; bench_tools "${1:-build}"   sets build, gen (tavex-gerador)
#                                                  and cli (tavex-cli), or stops
#   median RUNS COMMAND...                         median wall time in seconds of
#                                                  RUNS runs of COMMAND (output dropped)

bench_tools() {
  build=$1
  gen="$build/bin/tavex-gerador"
  cli="$build/bin/tavex-cli"
  [ -x "$gen" ] && [ -x "$cli" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
}

median() {
  local runs=$1 times=() s e
  shift
  for _ in $(seq 1 "$runs"); do
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    e=$(date +%s.%N)
    times+=("$(echo "$e - $s" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p"
}
