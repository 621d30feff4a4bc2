#!/usr/bin/env bash
# Validation benchmarks: every figure is printed next to md5sum of the same file,
# measured in the same run (machines are shared and noisy; ratios travel, seconds don't).
#
#   bench/validation_bench.sh [BUILD_DIR]     (default: build)
#
# 1. format-only run of a 30,000,000-byte file          target: <= 3x md5sum
# 2. full run of a 30,000,000-byte MF-heavy file         target: <= 4x md5sum
# 3. full run of a 30,000,000-byte consistent TDM file   target: <= 4x md5sum
# 4. the TDM file at half and double size                target: double <= 2.3x the time of the 30 MB file
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
bench_tools "${1:-build}"
out=bench/out
mkdir -p "$out"

report() {  # label, file, command...
  local label=$1 file=$2
  shift 2
  cat "$file" >/dev/null  # warm the page cache for both
  local ref t
  ref=$(median 5 md5sum "$file")
  t=$(median 5 "$@")
  printf '%-44s %8.3f s   md5sum %7.3f s   ratio %5.2f\n' "$label ($(stat -c %s "$file") bytes)" "$t" "$ref" "$(echo "$t / $ref" | bc -l)"
}

"$gen" "$out/tdm30.txt" --tipo TDM --bytes 30000000
"$gen" "$out/mf30.txt" --tipo MF --bytes 30000000
"$gen" "$out/tdm15.txt" --tipo TDM --bytes 15000000 --semente 2
"$gen" "$out/tdm60.txt" --tipo TDM --bytes 60000000 --semente 3

report "formato (TDM)" "$out/tdm30.txt" "$cli" validar "$out/tdm30.txt" --formato
report "completa (MF)" "$out/mf30.txt" "$cli" validar "$out/mf30.txt"
report "completa (TDM)" "$out/tdm30.txt" "$cli" validar "$out/tdm30.txt"
t15=$(median 5 "$cli" validar "$out/tdm15.txt")
t30=$(median 5 "$cli" validar "$out/tdm30.txt")
t60=$(median 5 "$cli" validar "$out/tdm60.txt")
printf 'linearidade (TDM): 15 MB %.3f s, 30 MB %.3f s, 60 MB %.3f s; 60/30 = %.2f, 30/15 = %.2f\n' \
  "$t15" "$t30" "$t60" "$(echo "$t60 / $t30" | bc -l)" "$(echo "$t30 / $t15" | bc -l)"
