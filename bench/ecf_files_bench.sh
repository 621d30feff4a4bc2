#!/usr/bin/env bash
# One ECF across its files (ratios measured in one run: the machine is shared and
# noisy, so seconds do not travel but ratios roughly do).
#
#   bench/ecf_files_bench.sh [BUILD_DIR]     (default: build)
#
# 1. tavex-cli conciliar MF MFD on the two memories of a 30 MB TDM file, next to
#    tavex-cli validar of that TDM file               target: <= 1.20 x
# 2. validar --json on a folder of 1,000 files of one ECF, grouped by ECF and not
#    (TAVEX_SEM_ECFS=1)                               target: grouping adds < 5 %
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
bench_tools "${1:-build}"
out=bench/out
mkdir -p "$out/mil"

[ -s "$out/par30_mfd.txt" ] || "$gen" "$out/par30_tdm.txt" --tipo TDM --bytes 30000000 \
  --memorias "$out/par30_mf.txt" "$out/par30_mfd.txt"
# A year and more of one ECF, month by month: 1,000 small files, every one TDM.
for i in $(seq -w 1 1000); do
  f="$out/mil/ecf$i.txt"
  [ -s "$f" ] || "$gen" "$f" --tipo TDM --reducoes 3 --cupons 3 --semente "$i"
done
cat "$out"/par30_*.txt "$out"/mil/*.txt >/dev/null  # warm the page cache

runs=7
tdm=$(median "$runs" "$cli" validar "$out/par30_tdm.txt")
pair=$(median "$runs" "$cli" conciliar "$out/par30_mf.txt" "$out/par30_mfd.txt")
printf 'conciliar MF x MFD (30 MB): %.3f s; validar do TDM equivalente: %.3f s; razão %.3f   alvo <= 1.20\n' \
  "$pair" "$tdm" "$(echo "$pair / $tdm" | bc -l)"
if command -v perf >/dev/null 2>&1; then
  cpu() { perf stat -x, -r 7 -e task-clock "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ { print $1 }'; }
  ctdm=$(cpu "$cli" validar "$out/par30_tdm.txt")
  cpair=$(cpu "$cli" conciliar "$out/par30_mf.txt" "$out/par30_mfd.txt")
  printf 'tempo de processador: conciliar %.1f ms, validar %.1f ms, razão %.3f   alvo <= 1.20\n' \
    "$cpair" "$ctdm" "$(echo "$cpair / $ctdm" | bc -l)"
fi

runs=5
grouped=$(median "$runs" "$cli" validar "$out/mil" --json --jobs 2)
plain=$(median "$runs" env TAVEX_SEM_ECFS=1 "$cli" validar "$out/mil" --json --jobs 2)
printf 'lote de 1.000 arquivos --json: sem agrupar %.3f s, agrupados por ECF %.3f s, razão %.3f   alvo < 1.05\n' \
  "$plain" "$grouped" "$(echo "$grouped / $plain" | bc -l)"
