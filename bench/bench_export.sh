#!/usr/bin/env bash
# Conversion benchmarks (CSV export, database export, split), each printed next to
# md5sum of the same input measured in the same run (machines are shared and noisy;
# ratios travel, seconds don't). They run tavex-cli, the path a user takes.
#
#   bench/bench_export.sh [BUILD_DIR]     (default: build)
#
# 1. exportar-csv of a 30,000,000-byte consistent TDM file    target: <= 4x md5sum
# 2. exportar-mdb of the same file                            target: <= 15x md5sum
# 3. separar of the same file                                 target: <= 4x md5sum
# 4. separar of an MFD file with 2,000 reductions             target: <= 6x md5sum
#
# The work folder is bench/out/export, or $BENCH_DIR. Its run folders are removed at
# the end. Note: ext4 creates files slowly for a few minutes after many files were
# deleted nearby (it skips recently freed inodes one by one); a second run started
# right after the first can show split figures several times worse. Wait a few
# minutes between runs, or point BENCH_DIR at a fresh folder or a tmpfs.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
bench_tools "${1:-build}"
out=${BENCH_DIR:-bench/out/export}
mkdir -p "$out"

fresh() {  # sets $dir to a new, empty folder for one run (outputs never meet an earlier run's files)
  dir=$(mktemp -d "$out/run.XXXXXX")
}

median_fresh() {  # median wall time in seconds of five runs of "$@"; each run gets a fresh folder in $dir
  local times=()
  for _ in 1 2 3 4 5; do
    fresh
    local s e
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    e=$(date +%s.%N)
    times+=("$(echo "$e - $s" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | sed -n 3p
}

csv() { "$cli" exportar-csv "$1" "$dir"; }
mdb() { "$cli" exportar-mdb "$1" "$dir"; }
split() { ln "$1" "$dir/in.txt" && "$cli" separar "$dir/in.txt"; }

report() {  # label, limit, file, command
  local label=$1 limit=$2 file=$3 command=$4
  cat "$file" >/dev/null  # warm the page cache for both
  local ref t
  ref=$(median_fresh md5sum "$file")
  t=$(median_fresh "$command" "$file")
  printf '%-40s %8.3f s   md5sum %7.3f s   ratio %5.2f (alvo <= %s)\n' "$label ($(stat -c %s "$file") bytes)" "$t" \
    "$ref" "$(echo "$t / $ref" | bc -l)" "$limit"
}

"$gen" "$out/tdm30.txt" --tipo TDM --bytes 30000000
"$gen" "$out/mfd2000.txt" --tipo MFD --reducoes 2000

report "exportar-csv (TDM)" 4 "$out/tdm30.txt" csv
report "exportar-mdb (TDM)" 15 "$out/tdm30.txt" mdb
report "separar (TDM)" 4 "$out/tdm30.txt" split
report "separar (MFD, 2000 reduções)" 6 "$out/mfd2000.txt" split
rm -rf "$out"/run.*
