#!/usr/bin/env bash
# Figures for CAB32 and UNARJ32 beside the native tools, in one run: creating
# and extracting an MSZIP cabinet (against gcab -z and cabextract) and
# extracting an ARJ -m1 archive (against arj). Our libraries run under Wine
# through arccall.exe; each of our times includes one warm Wine start.
# usage: bench-cab.sh [BUILD_DIR]   (default build/x86_64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/x86_64}
run="$root/scripts/wine-run"
call="$build/bin/arccall.exe"
lib="$build/bin/archivers"
work=$(mktemp -d /tmp/benchcab.XXXXXX)
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
seconds() { local s=$(date +%s.%N); "$@" >/dev/null 2>&1; echo "$(date +%s.%N) - $s" | bc; }
ratio() { echo "scale=2; $1 / $2" | bc; }

# About 60 MB: text, binaries of the system, random data.
mkdir -p "$work/src/bin"
for i in $(seq 1 30); do seq $((i * 1000)) $((i * 40000)) > "$work/src/numbers$i.txt"; done
find /usr/bin -maxdepth 1 -type f -size -4M | head -n 60 | xargs -r cp -t "$work/src/bin/"
head -c 10000000 /dev/urandom > "$work/src/random.bin"
size=$(du -sb "$work/src" | cut -f1)
"$run" "$call" "$(win "$lib/CAB32.DLL")" Cab cmd "-l x" >/dev/null 2>&1 || true  # warm Wine up

ours=$(seconds "$run" "$call" "$(win "$lib/CAB32.DLL")" Cab cmd "-a -r \"$(win "$work/ours.cab")\" \"$(win "$work/src")\\\" *.*")
theirs=$(cd "$work/src" && seconds gcab -c -z "$work/gcab.cab" $(find . -type f | sed 's|^\./||'))
echo "corpus: $size bytes"
echo "create MSZIP cabinet: CAB32 ${ours}s, gcab ${theirs}s, ratio $(ratio "$ours" "$theirs")"
echo "  sizes: CAB32 $(stat -c %s "$work/ours.cab"), gcab $(stat -c %s "$work/gcab.cab")"
mkdir -p "$work/x1" "$work/x2"
ours=$(seconds "$run" "$call" "$(win "$lib/CAB32.DLL")" Cab cmd "-x -o \"$(win "$work/gcab.cab")\" \"$(win "$work/x1")\\\"")
theirs=$(seconds cabextract -q -d "$work/x2" "$work/gcab.cab")
echo "extract MSZIP cabinet: CAB32 ${ours}s, cabextract ${theirs}s, ratio $(ratio "$ours" "$theirs")"

(cd "$work/src" && arj a -m1 -r -y "$work/m1.arj" '*' >/dev/null)
mkdir -p "$work/a1" "$work/a2"
ours=$(seconds "$run" "$call" "$(win "$lib/UNARJ32.DLL")" Arj cmd "x -c1 \"$(win "$work/m1.arj")\" \"$(win "$work/a1")\\\"")
theirs=$(cd "$work/a2" && seconds arj x -y "$work/m1.arj")
echo "extract ARJ -m1: UNARJ32 ${ours}s, arj ${theirs}s, ratio $(ratio "$ours" "$theirs")"
