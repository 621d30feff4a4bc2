#!/usr/bin/env bash
# The speed targets in one run: every figure is a ratio to md5sum of the same
# 30,000,000-byte TDM file, measured in the same run (seconds do not travel
# between machines, ratios roughly do).
#
#   bench/speed_bench.sh [BUILD_DIR]      (default: build; measure a Release tree)
#
#   validar (full)                       target: <= 1.5x md5sum
#   validar --formato                    target: <= 0.8x md5sum
#   exportar-csv                         target: <= 0.8x md5sum
#   exportar-mdb                         target: <= 4x md5sum, and below sqlite3 .import
#                                        of the same rows from the CSV files
#   separar                              target: <= 1.5x md5sum, well below coreutils
#                                        `split -n N` into as many files
#   validar of a 200,000,000-byte file   target: peak resident set < 64 MB
#   the same file with every E15 total    target: peak resident set < 64 MB for
#   off by a digit (a flood of findings)          validar, validar --json and relatorio
#   validar --json, indicators on / off  target: <= 1.05x (the audit indicators cost at
#                                        most 5 % of a full validation; TAVEX_SEM_INDICIOS=1
#                                        runs it without them)
#
# Times are CPU time (task-clock from `perf stat`, user + system) by default: the
# machine is shared and wall time follows the other users' load. SPEED_CLOCK=wall
# measures wall time instead (also the fallback without perf). Each run of a
# command follows a run of md5sum; a figure is the median of SPEED_RUNS (default 5)
# such pairs' ratios, so that a slow minute slows both sides of a pair. The
# seconds shown are medians too, and the header gives md5sum's median (the smaller
# of its medians before and after the commands). The files and outputs live in
# $BENCH_DIR, by default a folder in /dev/shm (tmpfs): on ext4, creating files
# shortly after many were deleted nearby costs many times the rest of the split
# (the allocator skips recently freed inodes one by one), which would measure the
# disk's history, not the program. Run folders are removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
gen="$build/bin/tavex-gerador"
cli="$build/bin/tavex-cli"
[ -x "$gen" ] && [ -x "$cli" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
gen=$(realpath "$gen")
cli=$(realpath "$cli")
root=$PWD
runs=${SPEED_RUNS:-5}
clock=${SPEED_CLOCK:-cpu}
if [ "$clock" = cpu ] && ! perf stat -e task-clock true >/dev/null 2>&1; then
  echo "perf stat unavailable: measuring wall time" >&2
  clock=wall
fi
default_dir=bench/out/speed
[ -d /dev/shm ] && [ -w /dev/shm ] && default_dir=/dev/shm/tavex-speed-$(id -u)
out=${BENCH_DIR:-$default_dir}
mkdir -p "$out"
out=$(cd "$out" && pwd)
tdm="$out/tdm30.txt"
big="$out/tdm200.txt"
[ -s "$tdm" ] || "$gen" "$tdm" --tipo TDM --bytes 30000000 >/dev/null
[ -s "$big" ] || "$gen" "$big" --tipo TDM --bytes 210000000 --semente 4 >/dev/null

stamp() { date +%s.%N; }

once() {  # seconds of one run of "$@" (CPU or wall); the command must succeed
  local s e
  if [ "$clock" = cpu ]; then
    perf stat -x, -e task-clock -o "$out/stat" -- "$@" >/dev/null 2>"$out/err" || { cat "$out/err" >&2; echo "failed: $*" >&2; exit 1; }
    awk -F, '$3 ~ /^task-clock/ { printf "%.6f\n", $1 / 1000 }' "$out/stat"
  else
    s=$(stamp)
    "$@" >/dev/null 2>"$out/err" || { cat "$out/err" >&2; echo "failed: $*" >&2; exit 1; }
    e=$(stamp)
    echo "$e - $s" | bc -l
  fi
}

fresh() { rm -rf "$out/run"; mkdir "$out/run"; }  # an empty output folder for one run

pick() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }  # the median of its arguments

median() {  # "SECONDS RATIO": medians over $runs runs of the command, each run right after
            # one of md5sum, RATIO of the pairs' ratios; before each, `fresh` and the
            # optional setup "$setup"
  local times=() ratios=() t m
  for _ in $(seq "$runs"); do
    m=$(once md5sum "$tdm")
    fresh
    [ -z "${setup:-}" ] || eval "$setup"
    t=$(once "$@")
    times+=("$t")
    ratios+=("$(echo "$t / $m" | bc -l)")
  done
  echo "$(pick "${times[@]}") $(pick "${ratios[@]}")"
}

ratio() { echo "$1 / $2" | bc -l; }

against() {  # "RATIO": median over $runs runs of the ratio of "$@" to the same command
             # with the audit indicators switched off (TAVEX_SEM_INDICIOS=1), run right after it
  local ratios=() a b
  for _ in $(seq "$runs"); do
    a=$(once "$@")
    b=$(once env TAVEX_SEM_INDICIOS=1 "$@")
    ratios+=("$(echo "$a / $b" | bc -l)")
  done
  pick "${ratios[@]}"
}

cat "$tdm" >/dev/null  # warm the page cache
read -r ref1 _ <<<"$(median md5sum "$tdm")"

read -r t_full r_full <<<"$(median "$cli" validar "$tdm")"
read -r t_fmt r_fmt <<<"$(median "$cli" validar "$tdm" --formato)"
r_indicators=$(against "$cli" validar "$tdm" --json)
read -r t_csv r_csv <<<"$(median "$cli" exportar-csv "$tdm" "$out/run")"
read -r t_mdb r_mdb <<<"$(median "$cli" exportar-mdb "$tdm" "$out/run")"

# sqlite3 loading the same rows from the CSV files the program writes.
rm -rf "$out/csv" && mkdir "$out/csv"
"$cli" exportar-csv "$tdm" "$out/csv" >/dev/null
sql="$out/import.sql"
: >"$sql"
for f in "$out"/csv/E*.csv; do echo ".import --csv $f $(basename "$f" .csv)" >>"$sql"; done
setup='rm -f "$out/run/import.db"'
read -r t_import r_import <<<"$(median sqlite3 -cmd ".separator ;" -cmd ".read $sql" "$out/run/import.db" .quit)"
setup=

# The split writes beside its input: each run starts from a hard link in a fresh folder.
setup='ln "$tdm" "$out/run/in.txt"'
read -r t_split r_split <<<"$(median "$cli" separar "$out/run/in.txt")"
fresh
ln "$tdm" "$out/run/in.txt"
"$cli" separar "$out/run/in.txt" >/dev/null
pieces=$(($(ls "$out/run" | wc -l) - 1))
setup='cd "$out/run"'
read -r t_coreutils r_coreutils <<<"$(median split -n "$pieces" "$tdm")"
cd "$root"
setup=

read -r ref2 _ <<<"$(median md5sum "$tdm")"
ref=$(printf '%s\n%s\n' "$ref1" "$ref2" | sort -g | head -1)

# Peak resident set of the full validation of the 200 MB file.
cat "$big" >/dev/null
/usr/bin/time -f %M -o "$out/rss" "$cli" validar "$big" >/dev/null 2>&1 || true
rss_kb=$(tail -1 "$out/rss")

# The same file with a finding on every item (the last digit of each E15's
# TOTAL_LIQUIDO changed): memory must not grow with the findings.
flood="$out/tdm200_achados.txt"
[ -s "$flood" ] || LC_ALL=C awk 'substr($0, 1, 3) == "E15" {
    d = substr($0, 223, 1); $0 = substr($0, 1, 222) (d == "1" ? "2" : "1") substr($0, 224) } 1' "$big" >"$flood"
flood_rss() {  # peak resident set (KB) of "$@" on the flood file
  /usr/bin/time -f %M -o "$out/rss" "$@" >/dev/null 2>&1 || true
  tail -1 "$out/rss"
}
rss_flood=$(flood_rss "$cli" validar "$flood")
rss_flood_json=$(flood_rss "$cli" validar "$flood" --json)
rss_flood_report=$(flood_rss "$cli" relatorio "$flood" --saida "$out/relatorio.html")

line() {  # label, seconds, ratio to md5sum, target
  printf '%-34s %8.3f s   %5.2fx md5sum   (alvo %s)\n' "$1" "$2" "$3" "$4"
}
echo "relógio: $clock; mediana de $runs execuções; md5sum do arquivo de $(stat -c %s "$tdm") bytes: $(printf '%.3f' "$ref") s"
line "validar (completa)" "$t_full" "$r_full" "<= 1.5x"
line "validar --formato" "$t_fmt" "$r_fmt" "<= 0.8x"
printf '%-34s %8.3fx sem eles               (alvo <= 1.05x)\n' "  com indícios (validar --json)" "$r_indicators"
line "exportar-csv" "$t_csv" "$r_csv" "<= 0.8x"
line "exportar-mdb" "$t_mdb" "$r_mdb" "<= 4x"
line "  sqlite3 .import dos CSV" "$t_import" "$r_import" "exportar-mdb abaixo dele"
printf '%-34s %8.2f\n' "  exportar-mdb / sqlite3 .import" "$(ratio "$t_mdb" "$t_import")"
line "separar ($pieces arquivos)" "$t_split" "$r_split" "<= 1.5x"
line "  split -n $pieces (coreutils)" "$t_coreutils" "$r_coreutils" "separar bem abaixo dele"
printf '%-34s %8.2f\n' "  separar / split -n" "$(ratio "$t_split" "$t_coreutils")"
printf '%-34s %8.1f MB residentes (alvo < 64 MB)\n' "validar de $(stat -c %s "$big") bytes" "$(echo "$rss_kb / 1024" | bc -l)"
mb() { echo "$1 / 1024" | bc -l; }
printf '%-34s %8.1f MB residentes (alvo < 64 MB)\n' "  com um achado por item: validar" "$(mb "$rss_flood")"
printf '%-34s %8.1f MB residentes (alvo < 64 MB)\n' "  validar --json" "$(mb "$rss_flood_json")"
printf '%-34s %8.1f MB residentes (alvo < 64 MB)\n' "  relatorio" "$(mb "$rss_flood_report")"
rm -rf "$out/run" "$out/csv" "$out/stat" "$out/err" "$out/rss" "$sql" "$big.log" "$tdm.log" "$flood.log" "$out/relatorio.html"
