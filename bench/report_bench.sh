#!/usr/bin/env bash
# Audit report benchmark, each figure next to a reference measured in the same run
# (the machine is shared and noisy: ratios travel, seconds don't).
#
#   bench/report_bench.sh [BUILD_DIR]     (default: build)
#
# A 30 MB TDM file with about 100,000 findings (the product code of every item
# blanked, the description of the first 30,000 too):
# 1. tavex-cli relatorio next to tavex-cli validar of the same file; the difference
#    is the time to write the report            target: < 2 s
# 2. headless Chromium loading the report (--dump-dom) next to loading an empty
#    page; the difference is the page's load    target: < 3 s
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
bench_tools "${1:-build}"
command -v chromium >/dev/null || { echo "chromium is needed (tools/dependencies.sh)" >&2; exit 2; }
out=$(realpath -m bench/out)
mkdir -p "$out"

if [ ! -s "$out/tdm30_achados.txt" ]; then
  [ -s "$out/tdm30.txt" ] || "$gen" "$out/tdm30.txt" --tipo TDM --bytes 30000000
  # E15 COD_PRODUTO is columns 62..75, DESCRICAO 76..175.
  awk 'BEGIN { n = 0; blank = sprintf("%100s", "") }
       /^E15/ { $0 = substr($0, 1, 61) "              " (n < 30000 ? blank : substr($0, 76, 100)) substr($0, 176); n++ }
       { print }' \
    "$out/tdm30.txt" > "$out/tdm30_achados.txt"
fi
file="$out/tdm30_achados.txt"
cat "$file" >/dev/null  # warm the page cache

findings=$("$cli" validar "$file" --json 2>/dev/null | grep -o '"severidade"' | wc -l)
validate=$(median 5 "$cli" validar "$file")
report=$(median 5 "$cli" relatorio "$file" --saida "$out/relatorio.html")
printf 'arquivo: %d bytes, %d achados; relatório: %d bytes\n' "$(stat -c %s "$file")" "$findings" "$(stat -c %s "$out/relatorio.html")"
printf 'relatorio %.3f s, validar %.3f s: o relatório em %.3f s   alvo < 2 s\n' \
  "$report" "$validate" "$(echo "$report - $validate" | bc -l)"

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
echo '<!DOCTYPE html><html><head><meta charset="utf-8"><title>x</title></head><body></body></html>' > "$out/vazia.html"
browser() { timeout 120 chromium --headless --disable-gpu --no-sandbox --no-first-run --user-data-dir="$profile" --dump-dom "file://$1"; }
browser "$out/vazia.html" >/dev/null 2>&1 || true  # the first start makes the profile
empty=$(median 5 browser "$out/vazia.html")
page=$(median 5 browser "$out/relatorio.html")
printf 'chromium --dump-dom: relatório %.3f s, página vazia %.3f s: a página carrega em %.3f s   alvo < 3 s\n' \
  "$page" "$empty" "$(echo "$page - $empty" | bc -l)"
