#!/usr/bin/env bash
# The ctest run of one fuzz target: RUNS inputs (at most 10 s) from a fresh copy of
# its seed corpus. Usage: fuzz-briefly.sh FUZZ_BUILD_DIR TARGET RUNS
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out=$1 target=$2 runs=$3
. "$here/seeds.sh"
work="$out/ctest-$target"
rm -rf "$work"
mkdir -p "$work/new" "$work/crashes" "$work/tmp"
export TMPDIR="$work/tmp"  # the targets' scratch files stay in the build tree
tavex_fuzz_seeds "$(dirname "$here")" "$target" "$work/seeds"
cd "$work"
"$out/${target}_fuzzer" -runs="$runs" -max_total_time=10 -timeout=20 -max_len=16384 \
  -artifact_prefix="$work/crashes/" -print_final_stats=1 new seeds
