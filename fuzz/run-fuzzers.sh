#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) into build-fuzz/ and runs
# each in turn for SECONDS (default 300) over its corpus, which grows in
# build-fuzz/corpus-<target>/ from run to run; crashes land in
# build-fuzz/crashes-<target>/. Targets: xml_reader validation conversions signature.
#   fuzz/run-fuzzers.sh                 every target, 300 s each
#   fuzz/run-fuzzers.sh 60 signature    one target, 60 s
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
out="${TAVEX_FUZZ_DIR:-$root/build-fuzz}"
seconds="${1:-300}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(xml_reader validation conversions signature)
. "$here/seeds.sh"

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang "${launcher[@]}" >/dev/null
cmake --build "$out"

status=0
mkdir -p "$out/tmp"
export TMPDIR="$out/tmp"  # the targets' scratch files stay in the build tree
for target in "${targets[@]}"; do
  corpus="$out/corpus-$target" crashes="$out/crashes-$target"
  mkdir -p "$corpus" "$crashes"
  [ -n "$(ls -A "$corpus")" ] || tavex_fuzz_seeds "$root" "$target" "$corpus"
  echo "== $target: ${seconds} s =="
  (cd "$out" && "./${target}_fuzzer" -max_total_time="$seconds" -timeout=20 -max_len=65536 \
     -artifact_prefix="$crashes/" "$corpus") || status=1
done
exit $status
