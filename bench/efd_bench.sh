#!/usr/bin/env bash
# The ECF against its EFD: "tavex-cli efd" of a 30,000,000-byte TDM file with the
# EFD files of its months (about 300,000,000 bytes, mostly C470 item lines), next
# to md5sum of all of them, measured in the same run.
#
#   bench/efd_bench.sh [BUILD_DIR]     (default: build)
#
# target: efd <= 1.5x md5sum of the TDM and EFD files; memory bounded (peak RSS printed)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
bench_tools "${1:-build}"
out=bench/out/efd
rm -rf "$out"
mkdir -p "$out"
"$gen" "$out/tdm30.txt" --tipo TDM --bytes 30000000 --efd "$out" --efd-itens 180
files=("$out"/tdm30.txt "$out"/efd_*.txt)
cat "${files[@]}" >/dev/null  # warm the page cache
bytes=$(cat "${files[@]}" | wc -c)
ref=$(median 5 md5sum "${files[@]}")
t=$(median 5 "$cli" efd "${files[@]}")
rss=$(/usr/bin/time -f %M "$cli" efd "${files[@]}" 2>&1 >/dev/null | tail -1)
printf 'efd (TDM + %d EFD, %s bytes)  %8.3f s   md5sum %7.3f s   ratio %5.2f   pico de memória %s kB\n' \
  "$(ls "$out"/efd_*.txt | wc -l)" "$bytes" "$t" "$ref" "$(echo "$t / $ref" | bc -l)" "$rss"
