#!/usr/bin/env bash
# Batch validation benchmarks (ratios measured in one run: the machine is shared
# and noisy, so seconds do not travel but ratios roughly do).
#
#   bench/batch_bench.sh [BUILD_DIR]     (default: build)
#
# 1. 40 TDM files of 5 MB, tavex-cli validar on the folder with --jobs 1, 2 and
#    every core: the scaling           target: all cores <= 0.6 x --jobs 1 on 2 cores
# 2. --json on a 30 MB TDM file next to the plain run   target: <= 1.10 x
# 3. peak memory of the batch of 40 next to a batch of 10 (bounded by the files in
#    flight, not by the batch)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
bench_tools "${1:-build}"
out=bench/out
mkdir -p "$out/lote40" "$out/lote10"
cores=$(nproc)

for i in $(seq -w 1 40); do
  f="$out/lote40/ecf$i.txt"
  [ -s "$f" ] || "$gen" "$f" --tipo TDM --bytes 5000000 --semente "$i"
  if [ "$i" -le 10 ] && [ ! -s "$out/lote10/ecf$i.txt" ]; then cp "$f" "$out/lote10/"; fi
done
[ -s "$out/tdm30.txt" ] || "$gen" "$out/tdm30.txt" --tipo TDM --bytes 30000000
cat "$out"/lote40/*.txt "$out/tdm30.txt" >/dev/null  # warm the page cache

runs=3
t1=$(median "$runs" "$cli" validar "$out/lote40" --jobs 1)
t2=$(median "$runs" "$cli" validar "$out/lote40" --jobs 2)
tn=$(median "$runs" "$cli" validar "$out/lote40" --jobs "$cores")
printf 'lote de 40 x 5 MB: --jobs 1 %.2f s, --jobs 2 %.2f s (%.2f), --jobs %d (núcleos) %.2f s (%.2f)   alvo <= 0.60\n' \
  "$t1" "$t2" "$(echo "$t2 / $t1" | bc -l)" "$cores" "$tn" "$(echo "$tn / $t1" | bc -l)"

runs=11
plain=$(median "$runs" "$cli" validar "$out/tdm30.txt")
json=$(median "$runs" "$cli" validar "$out/tdm30.txt" --json)
printf -- '--json em 30 MB: sem %.3f s, com %.3f s, razão %.3f   alvo <= 1.10\n' "$plain" "$json" "$(echo "$json / $plain" | bc -l)"
# Wall time drifts with whatever else the machine runs; processor time does not.
if command -v perf >/dev/null 2>&1; then
  cpu() { perf stat -x, -r 15 -e task-clock "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ { print $1 }'; }
  cplain=$(cpu "$cli" validar "$out/tdm30.txt")
  cjson=$(cpu "$cli" validar "$out/tdm30.txt" --json)
  printf -- '--json em 30 MB, tempo de processador: sem %.1f ms, com %.1f ms, razão %.3f   alvo <= 1.10\n' \
    "$cplain" "$cjson" "$(echo "$cjson / $cplain" | bc -l)"
fi

if [ -x /usr/bin/time ]; then
  m40=$( { /usr/bin/time -f %M "$cli" validar "$out/lote40" --jobs "$cores" >/dev/null; } 2>&1 | tail -1)
  m10=$( { /usr/bin/time -f %M "$cli" validar "$out/lote10" --jobs "$cores" >/dev/null; } 2>&1 | tail -1)
  printf 'memória máxima: lote de 10 %d kB, lote de 40 %d kB\n' "$m10" "$m40"
fi
