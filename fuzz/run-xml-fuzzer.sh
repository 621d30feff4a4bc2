#!/usr/bin/env bash
# Builds the XML reader fuzzer (clang, libFuzzer, ASan, UBSan) into build-fuzz/ and
# runs it on a copy of the seed corpus. Extra arguments go to libFuzzer, e.g.
#   fuzz/run-xml-fuzzer.sh -max_total_time=600
# Not part of the CMake build: CI needs no clang for it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
out="${TAVEX_FUZZ_DIR:-$root/build-fuzz}"
mkdir -p "$out/corpus-xml" "$out/crashes-xml"
clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root/src" \
  "$here/xml_reader_fuzzer.cpp" "$root/src/xml/xml_document.cpp" "$root/src/cotepe/text.cpp" \
  -o "$out/xml_reader_fuzzer"
cp -n "$here"/corpus/xml/* "$out/corpus-xml/" 2>/dev/null || true
cd "$out"
exec ./xml_reader_fuzzer -artifact_prefix="$out/crashes-xml/" -max_len=65536 "$@" corpus-xml
