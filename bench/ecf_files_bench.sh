#!/usr/bin/env bash
# One ECF across its files (ratios measured in one run: the machine is shared and
# noisy, so seconds do not travel but ratios roughly do).
#
#   bench/ecf_files_bench.sh [BUILD_DIR]     (default: build)
#
# 1. the reconciliation of the two memories of a 30 MB TDM file next to the
#    validation of that TDM file, the work alone (tavex-bench-conciliacao)
#                                                     target: <= 1.20 x
#    and as commands: tavex-cli conciliar MF MFD next to conciliar TDM (the same
#    table printed) and to validar TDM (which prints no table)
# 2. validar --json on a folder of 1,000 files of one ECF (3,000 reductions read
#    three at a time), grouped by ECF and not (TAVEX_SEM_ECFS=1)
#                                                     target: grouping adds < 5 %
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
bench_tools "${1:-build}"
out=bench/out
mkdir -p "$out/mil_ecf"

[ -s "$out/par30_mfd.txt" ] || "$gen" "$out/par30_tdm.txt" --tipo TDM --bytes 30000000 \
  --memorias "$out/par30_mf.txt" "$out/par30_mfd.txt"
# Eight years of one ECF read three days at a time: 1,000 TDM files of consecutive reductions.
[ -s "$out/mil_ecf/ecf.1000" ] || "$gen" "$out/mil_ecf/ecf" --tipo TDM --reducoes 3000 --cupons 3 --fatias 1000
cat "$out"/par30_*.txt "$out"/mil_ecf/ecf.* >/dev/null  # warm the page cache

"$build/bin/tavex-bench-conciliacao" "$out/par30_tdm.txt" "$out/par30_mf.txt" "$out/par30_mfd.txt" 9
runs=7
validar=$(median "$runs" "$cli" validar "$out/par30_tdm.txt")
tdm=$(median "$runs" "$cli" conciliar "$out/par30_tdm.txt")
pair=$(median "$runs" "$cli" conciliar "$out/par30_mf.txt" "$out/par30_mfd.txt")
printf 'tavex-cli conciliar MF MFD (30 MB) %.3f s; conciliar TDM %.3f s (razão %.3f); validar TDM %.3f s (razão %.3f)\n' \
  "$pair" "$tdm" "$(echo "$pair / $tdm" | bc -l)" "$validar" "$(echo "$pair / $validar" | bc -l)"

runs=5
grouped=$(median "$runs" "$cli" validar "$out/mil_ecf" --json --jobs 2)
plain=$(median "$runs" env TAVEX_SEM_ECFS=1 "$cli" validar "$out/mil_ecf" --json --jobs 2)
printf 'lote de 1.000 arquivos --json: sem agrupar %.3f s, agrupados por ECF %.3f s, razão %.3f   alvo < 1.05\n' \
  "$plain" "$grouped" "$(echo "$grouped / $plain" | bc -l)"
# Wall time drifts with whatever else the machine runs; processor time does not.
if command -v perf >/dev/null 2>&1; then
  cpu() { perf stat -x, -r 7 -e task-clock "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ { print $1 }'; }
  cplain=$(cpu env TAVEX_SEM_ECFS=1 "$cli" validar "$out/mil_ecf" --json --jobs 2)
  cgrouped=$(cpu "$cli" validar "$out/mil_ecf" --json --jobs 2)
  printf 'lote de 1.000 arquivos --json, tempo de processador: sem agrupar %.1f ms, agrupados %.1f ms, razão %.3f   alvo < 1.05\n' \
    "$cplain" "$cgrouped" "$(echo "$cgrouped / $cplain" | bc -l)"
fi
