#!/usr/bin/env bash
# Throughput of Japanese text-code detection and conversion over a 50 MB
# Japanese text (native build, the same source as Tavix's), with iconv's
# conversion of the same text beside it for scale.
# Targets: detection at least 200 MB/s, each conversion at least 100 MB/s.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TAVIX_BUILD_DIR:-$root/build}/textcode-bench
mkdir -p "$out"
data="$root/tests/viewer/textcode/data"
size_mb=${1:-50}

# The fixture text repeated to the size asked for, in the three codes.
if [ ! -f "$out/text.sjis" ] || [ "$(stat -c %s "$out/text.sjis")" -lt $((size_mb * 1000000)) ]; then
  iconv -f UTF-8 -t SHIFT_JIS "$data/sample.utf8.txt" >"$out/text.sjis"
  while [ "$(stat -c %s "$out/text.sjis")" -lt $((size_mb * 1000000)) ]; do
    cat "$out/text.sjis" "$out/text.sjis" >"$out/text.tmp" && mv "$out/text.tmp" "$out/text.sjis"
  done
  # Cut back to whole copies just over the size asked for.
  block=$(stat -c %s "$data/sample.sjis")
  head -c $(( (size_mb * 1000000 + block - 1) / block * block )) "$out/text.sjis" >"$out/text.tmp"
  mv "$out/text.tmp" "$out/text.sjis"
  iconv -f SHIFT_JIS -t EUC-JP "$out/text.sjis" >"$out/text.euc"
  iconv -f SHIFT_JIS -t ISO-2022-JP "$out/text.sjis" >"$out/text.jis"
fi

clang++ -std=c++20 -O2 -DNDEBUG -I"$root/viewer/textcode" "$root/bench/TextCodeBench.cpp" \
  "$root/viewer/textcode/TextCode.cpp" -o "$out/bench-textcode"
"$out/bench-textcode" "$out/text.sjis" "$out/text.euc" "$out/text.jis"

echo "iconv (glibc) on the same text, for scale:"
iconv_rate() {  # from to file
  local bytes start end
  bytes=$(stat -c %s "$3")
  start=$(date +%s.%N)
  iconv -f "$1" -t "$2" "$3" >/dev/null
  end=$(date +%s.%N)
  awk -v b="$bytes" -v s="$start" -v e="$end" -v n="$1 -> $2" 'BEGIN { printf "%-34s %9.0f MB/s\n", "iconv " n, b / 1e6 / (e - s) }'
}
iconv_rate ISO-2022-JP SHIFT_JIS "$out/text.jis"
iconv_rate EUC-JP SHIFT_JIS "$out/text.euc"
iconv_rate SHIFT_JIS ISO-2022-JP "$out/text.sjis"
iconv_rate SHIFT_JIS EUC-JP "$out/text.sjis"
