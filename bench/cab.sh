#!/usr/bin/env bash
# Figures for CAB32 and UNARJ32 beside the native tools: creating and
# extracting an MSZIP cabinet (against gcab -z and cabextract) and extracting
# an ARJ -m1 archive (against arj). Our libraries run under Wine through
# arccall.exe; Wine's warm start-up is measured and subtracted. Each figure is
# the best of BENCH_RUNS (default 3), ours and the native tool taking turns
# at going first, each run into a fresh folder.
# usage: bench/cab.sh [BUILD_DIR]   (default build/x86_64; TMPDIR=/dev/shm for tmpfs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/x86_64}
run="$root/scripts/wine-run"
call="$build/bin/arccall.exe"
lib="$build/bin/archivers"
work=$(mktemp -d "${TMPDIR:-/tmp}/benchcab.XXXXXX")
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
seconds() { local s=$(date +%s.%N); "$@" >/dev/null 2>&1; echo "$(date +%s.%N) - $s" | bc; }
ratio() { echo "scale=2; $1 / $2" | bc; }
runs=${BENCH_RUNS:-3}
min() { echo "if ($1 < $2) $1 else $2" | bc; }

# Text, binaries of the system (the first 60 by name), random data.
mkdir -p "$work/src/bin"
for i in $(seq 1 30); do seq $((i * 1000)) $((i * 40000)) > "$work/src/numbers$i.txt"; done
# awk reads to the end: a reader that stops early would end find with SIGPIPE
# (status 141 under pipefail).
find /usr/bin -maxdepth 1 -type f -size -4M | sort | awk 'NR <= 60' | xargs -r cp -t "$work/src/bin/"
head -c 10000000 /dev/urandom > "$work/src/random.bin"
size=$(du -sb "$work/src" | cut -f1)
"$run" "$call" "$(win "$lib/CAB32.DLL")" Cab cmd "-l x" >/dev/null 2>&1 || true  # warm Wine up
startup=999
for ((i = 0; i < 3; i++)); do
  startup=$(min "$(seconds "$run" "$call" "$(win "$lib/CAB32.DLL")" Cab cmd "-l x")" "$startup")
done
names=$(cd "$work/src" && find . -type f | sed 's|^\./||' | sort)

# compare LABEL OURS-COMMAND NATIVE-COMMAND PREPARE: best of $runs each,
# alternating which goes first; PREPARE runs before every timed command.
compare() {
  local label=$1 ours_cmd=$2 native_cmd=$3 prepare=$4 o=999 n=999 i
  for ((i = 0; i < runs; i++)); do
    if ((i % 2 == 0)); then
      eval "$prepare"; o=$(min "$(seconds eval "$ours_cmd")" "$o")
      eval "$prepare"; n=$(min "$(seconds eval "$native_cmd")" "$n")
    else
      eval "$prepare"; n=$(min "$(seconds eval "$native_cmd")" "$n")
      eval "$prepare"; o=$(min "$(seconds eval "$ours_cmd")" "$o")
    fi
  done
  o=$(echo "$o - $startup" | bc)
  echo "$label: ours ${o}s, native ${n}s, ratio $(ratio "$o" "$n")"
}

echo "corpus: $size bytes; Wine start-up ${startup}s (subtracted); best of $runs"
compare "create MSZIP cabinet (CAB32 / gcab -z)" \
  'rm -f "$work/ours.cab"; "$run" "$call" "$(win "$lib/CAB32.DLL")" Cab cmd "-a -r \"$(win "$work/ours.cab")\" \"$(win "$work/src")\\\" *.*"' \
  'rm -f "$work/gcab.cab"; (cd "$work/src" && gcab -c -z "$work/gcab.cab" $names)' \
  'true'
echo "  sizes: CAB32 $(stat -c %s "$work/ours.cab"), gcab $(stat -c %s "$work/gcab.cab")"
compare "extract MSZIP cabinet (CAB32 / cabextract)" \
  '"$run" "$call" "$(win "$lib/CAB32.DLL")" Cab cmd "-x -o \"$(win "$work/gcab.cab")\" \"$(win "$work/x")\\\""' \
  'cabextract -q -d "$work/x" "$work/gcab.cab"' \
  'rm -rf "$work/x"; mkdir -p "$work/x"'
[ "$(find "$work/x" -type f | wc -l)" = "$(echo "$names" | wc -l)" ] || echo "warning: file count differs after extraction" >&2

(cd "$work/src" && arj a -m1 -r -y "$work/m1.arj" '*' >/dev/null)
compare "extract ARJ -m1 (UNARJ32 / arj)" \
  '"$run" "$call" "$(win "$lib/UNARJ32.DLL")" Arj cmd "x -c1 \"$(win "$work/m1.arj")\" \"$(win "$work/x")\\\""' \
  '(cd "$work/x" && arj x -y "$work/m1.arj")' \
  'rm -rf "$work/x"; mkdir -p "$work/x"'
