#!/usr/bin/env bash
# PostgreSQL load benchmarks, each printed next to a reference measured in the same
# run on the same throw-away server (machines are shared and noisy; ratios travel).
#
#   bench/bench_pg.sh [BUILD_DIR]     (default: build)
#
# 1. exportar-pg of a 30,000,000-byte TDM file, next to psql "\copy" of the same rows
#    from ready CSV files into the same (empty) tables      target: <= 1.5x, >= 100,000 rows/s
# 2. 20 files loaded by one process, then by two processes at once (10 each): the
#    speed-up of the second                                   target: it scales (> 1)
#
# The server is initialised in a temporary folder, listens only on a Unix socket
# there (run as "nobody" when root) and is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
bench_tools "${1:-build}"
cli="$(pwd)/$cli"
pgbin=/usr/lib/postgresql/15/bin
work=$(mktemp -d /tmp/tavex-bench-pg.XXXXXX)
as=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody:nogroup "$work"
  as=(runuser -u nobody --)
fi
stop() {
  "${as[@]}" "$pgbin/pg_ctl" -D "$work/data" -m fast -w stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap stop EXIT
"${as[@]}" "$pgbin/initdb" -D "$work/data" -U tavex -A trust --no-sync -E UTF8 --locale=C.UTF-8 >/dev/null
"${as[@]}" "$pgbin/pg_ctl" -D "$work/data" -l "$work/server.log" -w \
  -o "-c listen_addresses='' -k $work -c fsync=off -c full_page_writes=off" start >/dev/null
export PGHOST=$work PGUSER=tavex
db=0
fresh() {  # a new empty database; its name in $dbname
  db=$((db + 1))
  dbname=b$db
  psql -q -d postgres -c "CREATE DATABASE $dbname" >/dev/null
}
now() { date +%s.%N; }
median3() { sort -g | sed -n 2p; }

"$gen" "$work/tdm30.txt" --tipo TDM --bytes 30000000 >/dev/null
head -c 2000 "$work/tdm30.txt" | head -n 1 >"$work/so_e01.txt"
cat "$work/tdm30.txt" >/dev/null

# The reference rows: the same file's rows exported as CSV from a loaded database.
fresh
"$cli" exportar-pg "$work/tdm30.txt" --url "dbname=$dbname" >/dev/null
tables=$(psql -At -d "$dbname" -c "SELECT table_name FROM information_schema.tables WHERE table_schema = 'tavex' AND table_name NOT IN ('versao') ORDER BY table_name = 'arquivo' DESC, table_name")
rows=$(psql -At -d "$dbname" -c "SELECT linhas FROM tavex.arquivo")  # every line of a generated file is a record
copy_args=()
for t in $tables; do
  psql -q -d "$dbname" -c "\\copy (SELECT * FROM tavex.$t) TO '$work/$t.csv' CSV" >/dev/null
  copy_args+=(-c "\\copy tavex.$t FROM '$work/$t.csv' CSV")
done

tavex_times=() psql_times=()
for _ in 1 2 3; do
  fresh
  s=$(now); "$cli" exportar-pg "$work/tdm30.txt" --url "dbname=$dbname" >/dev/null; e=$(now)
  tavex_times+=("$(echo "$e - $s" | bc -l)")
  fresh  # the same schema, empty, then psql loads the same rows
  "$cli" exportar-pg "$work/so_e01.txt" --url "dbname=$dbname" >/dev/null
  psql -q -d "$dbname" -c "DELETE FROM tavex.arquivo" >/dev/null
  s=$(now); psql -q -d "$dbname" "${copy_args[@]}" >/dev/null; e=$(now)
  psql_times+=("$(echo "$e - $s" | bc -l)")
done
t=$(printf '%s\n' "${tavex_times[@]}" | median3)
p=$(printf '%s\n' "${psql_times[@]}" | median3)
printf '%-44s %8.3f s   psql \\copy %7.3f s   ratio %5.2f (alvo <= 1.5)\n' \
  "exportar-pg TDM ($(stat -c %s "$work/tdm30.txt") bytes, $rows linhas)" "$t" "$p" "$(echo "$t / $p" | bc -l)"
printf '%-44s %8.0f linhas/s (alvo >= 100000)\n' "" "$(echo "$rows / $t" | bc -l)"

# Twenty files: one process, then two at once.
mkdir -p "$work/a" "$work/b"
for i in $(seq 1 20); do
  half=$([ "$i" -le 10 ] && echo a || echo b)
  "$gen" "$work/$half/f$i.txt" --tipo TDM --bytes 1500000 --semente "$i" >/dev/null
done
fresh
s=$(now); "$cli" exportar-pg "$work/a" "$work/b" --url "dbname=$dbname" >/dev/null; e=$(now)
one=$(echo "$e - $s" | bc -l)
fresh
"$cli" exportar-pg "$work/so_e01.txt" --url "dbname=$dbname" >/dev/null  # schema first, as a team's database has it
s=$(now)
"$cli" exportar-pg "$work/a" --url "dbname=$dbname" >/dev/null & pa=$!
"$cli" exportar-pg "$work/b" --url "dbname=$dbname" >/dev/null & pb=$!
wait $pa; wait $pb
e=$(now)
two=$(echo "$e - $s" | bc -l)
printf '%-44s %8.3f s   2 processos %7.3f s   ganho %5.2fx\n' "20 arquivos de 1,5 MB, 1 processo" "$one" "$two" \
  "$(echo "$one / $two" | bc -l)"
