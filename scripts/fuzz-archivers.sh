#!/usr/bin/env bash
# Fuzzes our own archive parsers natively (clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer). The Windows calls they make go to a small
# host shim (tests/fuzz/shim): the archive is the fuzz input in memory.
# Seeds: tests/fuzz/corpus/TARGET (see tests/fuzz/make-corpus.sh); what a run
# adds stays in build/fuzz/corpus-TARGET, faults in build/fuzz/crash-TARGET-*.
# Usage: scripts/fuzz-archivers.sh [seconds per target, default 60] [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
all=(lzh lha-encoder lh1-decoder arj cab mszip bga zip names commandline)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
out=${TAVIX_BUILD_DIR:-$root/build}/fuzz
mkdir -p "$out/obj"
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined
       -DTAVIX_FUZZ_HOST -D_fseeki64=fseeko -D_ftelli64=ftello
       -I"$root/tests/fuzz/shim" -I"$root" -I"$root/archivers/core" -Wno-macro-redefined)
# Parser sources, compiled once with coverage for every target.
sources=(tests/fuzz/shim/Shim.cpp tests/fuzz/shim/Stubs.cpp tests/fuzz/FuzzHost.cpp
         archivers/core/Text.cpp archivers/core/CommandLine.cpp archivers/core/Files.cpp archivers/core/Entries.cpp
         archivers/lha/LhaFormat.cpp archivers/lha/LhaEncoder.cpp archivers/arj/ArjFormat.cpp
         archivers/cab/CabFormat.cpp archivers/cab/CabWriter.cpp archivers/bga/BgaFormat.cpp
         archivers/zip/ZipFormat.cpp archivers/zip/ZipReader.cpp)
objects=()
for src in "${sources[@]}"; do
  obj=$out/obj/$(echo "$src" | tr '/' '_').o
  if [ ! -f "$obj" ] || [ "$root/$src" -nt "$obj" ] || [ "$0" -nt "$obj" ] || \
     [ -n "$(find "$root/archivers" "$root/tests/fuzz/shim" -name '*.h' -newer "$obj" -print -quit)" ]; then
    clang++ "${flags[@]}" -fsanitize=fuzzer-no-link -c "$root/$src" -o "$obj"
  fi
  objects+=("$obj")
done

status=0
for name in "${targets[@]}"; do
  case $name in
    lzh) harness=FuzzLzh ;; lha-encoder) harness=FuzzLhaEncoder ;; lh1-decoder) harness=FuzzLh1Decoder ;; arj) harness=FuzzArj ;; cab) harness=FuzzCab ;;
    mszip) harness=FuzzMszip ;; bga) harness=FuzzBga ;; zip) harness=FuzzZip ;; names) harness=FuzzNames ;;
    commandline) harness=FuzzCommandLine ;; *) echo "unknown target $name"; exit 2 ;;
  esac
  harness=$root/tests/fuzz/$harness.cpp
  [ -f "$harness" ] || { echo "$name: no harness $harness"; exit 2; }
  extra=()
  [ "$name" != lha-encoder ] || extra=(/usr/lib/x86_64-linux-gnu/liblhasa.so.0)
  clang++ "${flags[@]}" -fsanitize=fuzzer "$harness" "${objects[@]}" "${extra[@]}" -lz -lbz2 -o "$out/fuzz-$name"
  corpus=$out/corpus-$name
  mkdir -p "$corpus"
  seeds=$root/tests/fuzz/corpus/${name//-/_}
  log=$out/fuzz-$name.log
  if "$out/fuzz-$name" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$out/crash-$name-" "$corpus" "$seeds" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1)
    printf '%-12s %5ss %10s runs  %s  %s  no faults\n' "$name" "$seconds" "$runs" "$cov" "$ft"
  else
    echo "$name: FAULT, see $log"; grep -m3 -E 'ERROR|SUMMARY|check failed' "$log" || true
    status=1
  fi
done
exit $status
