#!/usr/bin/env bash
# Fuzzes the Japanese text-code functions natively (clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer): every input, of any length,
# must stay inside its buffer. Also runs the unit tests natively first.
# Usage: scripts/fuzz-textcode.sh [seconds per target, default 60]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out=${TAVIX_BUILD_DIR:-$root/build}/textcode-fuzz
mkdir -p "$out"
src="$root/viewer/textcode/TextCode.cpp"
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined
       -fno-sanitize-recover=undefined -I"$root/viewer/textcode")

if [ -f /usr/lib/x86_64-linux-gnu/libgtest.a ] || [ -f /usr/lib/libgtest.a ]; then
  clang++ "${flags[@]}" -DTAVIX_SOURCE_DIR="\"$root\"" "$root/tests/viewer/textcode/TextCodeTest.cpp" "$src" \
    -lgtest -lgtest_main -pthread -o "$out/textcode_tests"
  "$out/textcode_tests" --gtest_brief=1 | tail -1
fi

names=(detect jis-euc-in sjis-out to-sjis-kana round-trip)
status=0
for target in 1 2 3 4 5; do
  name=${names[$((target - 1))]}
  clang++ "${flags[@]}" -fsanitize=fuzzer -DFUZZ_TARGET=$target \
    "$root/tests/viewer/textcode/FuzzTextCode.cpp" "$src" -o "$out/fuzz-$name"
  corpus="$out/corpus-$name"
  mkdir -p "$corpus"
  cp "$root"/tests/viewer/textcode/data/*.{sjis,euc,jis,jis78} "$corpus/"
  log="$out/fuzz-$name.log"
  if "$out/fuzz-$name" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
       -artifact_prefix="$out/crash-$name-" "$corpus" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    printf '%-14s %3ss  %10s runs  %s  no faults\n' "$name" "$seconds" "$runs" "$cov"
  else
    echo "$name: FAULT, see $log"; grep -m3 -E 'ERROR|SUMMARY' "$log" || true
    status=1
  fi
done
exit $status
