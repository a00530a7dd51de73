#!/usr/bin/env bash
# ZIP benchmark: creates and extracts a mixed corpus of about 200 MB with our
# ZIP32J/UNZIP32 (under Wine, through zipcall.exe) and with Info-ZIP's
# zip/unzip at the same level, and prints the figures side by side as ratios
# (ours / native; the target is 1.0 or less). Wine's start-up, measured with a
# call that does nothing, is subtracted from our times. Creation and extraction
# are timed BENCH_RUNS times (default 3) each, the native tool
# and ours taking turns at going first, and the best time counts:
# on a shared disk single runs vary by a factor of two. A second extraction
# row takes the 3000 small files alone, where the cost per file shows.
# usage: bench/zip.sh [BUILD_DIR] [LEVEL]     (default build/x86_64, level 6)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/x86_64}" && pwd)
level=${2:-6}
runs=${BENCH_RUNS:-3}
call=$build/bin/zipcall.exe
lib=$build/bin/archivers
[ -x "$call" ] || { echo "build first: $call missing" >&2; exit 1; }
work=${TMPDIR:-/tmp}/tavix-bench-zip
corpus=$work/corpus
win() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
now() { date +%s.%N; }
ours() { "$root/scripts/wine-run" "$call" "$(win "$lib/$1")" "$2" "$3" >/dev/null; }

# The corpus (kept between runs): text of varying redundancy, incompressible
# data, already-compressed files, and many small files in nested folders.
if [ ! -f "$corpus/.complete" ]; then
  rm -rf "$corpus"
  mkdir -p "$corpus"
  python3 - "$corpus" <<'EOF'
import gzip, os, random, sys
root = sys.argv[1]
rng = random.Random(1)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 10))) for _ in range(5000)]
def text(size):
    out, n = [], 0
    while n < size:
        line = ' '.join(rng.choice(words) for _ in range(rng.randint(4, 14))) + '\n'
        out.append(line)
        n += len(line)
    return ''.join(out).encode()[:size]
def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
for i in range(4):                      # 4 x 20 MB of text
    write(f'{root}/big/text{i}.txt', text(20 << 20))
for i in range(25):                     # 25 x 2 MB incompressible
    write(f'{root}/media/noise{i}.bin', rng.randbytes(2 << 20))
for i in range(10):                     # 10 x ~2 MB already compressed
    write(f'{root}/packed/part{i}.gz', gzip.compress(text(6 << 20), 6))
for i in range(3000):                   # 3000 small files, ~30 MB
    write(f'{root}/small/d{i % 30}/s{i // 30}/f{i}.txt', text(rng.randint(100, 20000)))
EOF
  touch "$corpus/.complete"
fi
size=$(du -sm --exclude=.complete "$corpus" | cut -f1)
rm -rf "$work/native.zip" "$work/ours.zip" "$work/out-native" "$work/out-ours" "$work/small-native.zip"

# Wine start-up: a call that fails at once (no such archive).
ours UNZIP32.DLL UnZip "-x $(win "$work/missing.zip")" || true
t0=$(now); for i in 1 2 3; do ours UNZIP32.DLL UnZip "-x $(win "$work/missing.zip")" || true; done; t1=$(now)
startup=$(echo "($t1 - $t0) / 3" | bc -l)

min() { echo "if ($1 < $2) $1 else $2" | bc -l; }
# Creation: best of $runs, the two taking turns at going first.
native_create=999999 ours_create=999999
for ((i = 0; i < runs; i++)); do
  for turn in 0 1; do
    if (((i + turn) % 2 == 0)); then
      rm -f "$work/native.zip"; sync
      t0=$(now); (cd "$corpus" && zip -q -r -$level -x .complete -X "$work/native.zip" .); t1=$(now)
      native_create=$(min "$(echo "$t1 - $t0" | bc -l)" "$native_create")
    else
      rm -f "$work/ours.zip"; sync
      t0=$(now); ours ZIP32J.DLL Zip "-r -D -$level $(win "$work/ours.zip") $(win "$corpus")\\ *.*"; t1=$(now)
      ours_create=$(min "$(echo "$t1 - $t0 - $startup" | bc -l)" "$ours_create")
    fi
  done
done

# Best of $runs extractions of ZIP ($1) into fresh folders; leaves the trees
# of the last run for comparison. Sets best_native and best_ours.
extract_best() {
  local zip=$1 t0 t1 t i
  best_native=999999 best_ours=999999
  for ((i = 0; i < runs; i++)); do
    for turn in 0 1; do
      if (((i + turn) % 2 == 0)); then
        rm -rf "$work/out-native"; sync
        t0=$(now); unzip -q -o "$zip" -d "$work/out-native"; t1=$(now)
        best_native=$(min "$(echo "$t1 - $t0" | bc -l)" "$best_native")
      else
        rm -rf "$work/out-ours"; sync
        t0=$(now); ours UNZIP32.DLL UnZip "-x -o $(win "$zip") $(win "$work/out-ours")\\"; t1=$(now)
        best_ours=$(min "$(echo "$t1 - $t0 - $startup" | bc -l)" "$best_ours")
      fi
    done
  done
  diff -rq "$work/out-native" "$work/out-ours" >/dev/null || { echo "extracted trees differ" >&2; exit 1; }
}
extract_best "$work/native.zip"
native_extract=$best_native ours_extract=$best_ours
(cd "$corpus" && zip -q -r -$level -X "$work/small-native.zip" small)
small_files=$(find "$corpus/small" -type f | wc -l)
extract_best "$work/small-native.zip"
native_small=$best_native ours_small=$best_ours
unzip -tq "$work/ours.zip" >/dev/null || { echo "unzip rejects our archive" >&2; exit 1; }

native_size=$(stat -c %s "$work/native.zip")
ours_size=$(stat -c %s "$work/ours.zip")
printf 'ZIP benchmark: corpus %d MB, level -%s, Wine start-up %.2f s (subtracted)\n' "$size" "$level" "$startup"
printf '%-10s %10s %10s %8s\n' "" "native s" "ours s" "ratio"
printf '%-10s %10.2f %10.2f %8.2f\n' create "$native_create" "$ours_create" "$(echo "$ours_create / $native_create" | bc -l)"
printf '%-10s %10.2f %10.2f %8.2f\n' extract "$native_extract" "$ours_extract" "$(echo "$ours_extract / $native_extract" | bc -l)"
printf '%-10s %10.2f %10.2f %8.2f   (%d small files; best of %d)\n' "extract sm" "$native_small" "$ours_small" \
  "$(echo "$ours_small / $native_small" | bc -l)" "$small_files" "$runs"
printf '%-10s %10d %10d %8.3f\n' "size B" "$native_size" "$ours_size" "$(echo "$ours_size / $native_size" | bc -l)"
rm -rf "$work/out-native" "$work/out-ours" "$work/small-native.zip"
