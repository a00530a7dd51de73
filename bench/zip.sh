#!/usr/bin/env bash
# ZIP benchmark: creates and extracts a mixed corpus of about 200 MB with our
# ZIP32J/UNZIP32 (under Wine, through zipcall.exe) and with Info-ZIP's
# zip/unzip at the same level, and prints the figures side by side as ratios
# (ours / native; the target is 1.0 or less). Wine's start-up, measured with a
# call that does nothing, is subtracted from our times. Creation and extraction
# are timed BENCH_RUNS times (default 3) each, the native tool
# and ours taking turns at going first, and the best time counts:
# on a shared disk single runs vary by a factor of two. A second extraction
# row takes the 3000 small files alone, where the cost per file shows, and
# the floor row what Wine alone costs for those names: the same folders and
# empty files made with the calls extraction cannot do without
# (empty_files_bench). Everything runs on tmpfs (/dev/shm) unless TMPDIR says
# otherwise: a disk slows file creation after many deletions. Beside the
# elapsed times, the CPU seconds (ours: with the wineserver's share) tell
# what a loaded machine's elapsed times hide.
# usage: bench/zip.sh [BUILD_DIR] [LEVEL]     (default build/x86_64, level 6)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/x86_64}" && pwd)
level=${2:-6}
runs=${BENCH_RUNS:-3}
call=$build/bin/zipcall.exe
lib=$build/bin/archivers
floor=$build/bin/empty_files_bench.exe
for program in "$call" "$floor"; do
  [ -f "$program" ] || { echo "build first: $program missing" >&2; exit 1; }
done
work=${TMPDIR:-/dev/shm}/tavix-bench-zip
corpus=$work/corpus
win() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
now() { date +%s.%N; }
ours() { "$root/scripts/wine-run" "$call" "$(win "$lib/$1")" "$2" "$3" >/dev/null; }
. "$root/scripts/wine-env.sh"
# CPU seconds of the wineserver serving our prefix (it does the file system
# calls of our runs in a process of its own).
server_cpu() {
  local pid ticks=0
  for pid in $(pgrep -x wineserver64 || true) $(pgrep -x wineserver || true); do
    if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null || echo 0)
    fi
  done
  echo "$ticks / $(getconf CLK_TCK)" | bc -l
}
# timed VAR_ELAPSED VAR_CPU COMMAND...: elapsed and CPU seconds (the command's
# user and system time, plus the wineserver's).
timed() {
  local -n elapsed_out=$1 cpu_out=$2
  shift 2
  local s0 t0 t1 s1 u
  s0=$(server_cpu); t0=$(now)
  local TIMEFORMAT='%U %S' status=0
  { time "$@" 2>&3; } 3>&2 2>"$work/time" || status=$?
  t1=$(now); s1=$(server_cpu)
  u=$(tail -1 "$work/time" | awk '{print $1 + $2}')
  elapsed_out=$(echo "$t1 - $t0" | bc -l)
  cpu_out=$(echo "$u + $s1 - $s0" | bc -l)
  return $status
}

# The corpus (kept between runs): text of varying redundancy, incompressible
# data, already-compressed files, and many small files in nested folders.
if [ ! -f "$work/corpus.complete" ]; then
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
  touch "$work/corpus.complete"
fi
size=$(du -sm "$corpus" | cut -f1)
rm -rf "$work/native.zip" "$work/ours.zip" "$work/out-native" "$work/out-ours" "$work/small-native.zip" "$work/out-floor"

# Wine start-up: a call that fails at once (no such archive).
ours UNZIP32.DLL UnZip "-x $(win "$work/missing.zip")" || true
t0=$(now); for i in 1 2 3; do ours UNZIP32.DLL UnZip "-x $(win "$work/missing.zip")" || true; done; t1=$(now)
startup=$(echo "($t1 - $t0) / 3" | bc -l)
timed e startup_cpu ours UNZIP32.DLL UnZip "-x $(win "$work/missing.zip")" || true

min() { echo "if ($1 < $2) $1 else $2" | bc -l; }
# Creation: best of $runs, the two taking turns at going first.
native_create=999999 ours_create=999999 native_create_cpu=999999 ours_create_cpu=999999
for ((i = 0; i < runs; i++)); do
  for turn in 0 1; do
    if (((i + turn) % 2 == 0)); then
      rm -f "$work/native.zip"; sync
      timed e c bash -c "cd '$corpus' && zip -q -r -$level -X '$work/native.zip' ."
      native_create=$(min "$e" "$native_create") native_create_cpu=$(min "$c" "$native_create_cpu")
    else
      rm -f "$work/ours.zip"; sync
      timed e c ours ZIP32J.DLL Zip "-r -D -$level $(win "$work/ours.zip") $(win "$corpus")\\ *.*"
      ours_create=$(min "$(echo "$e - $startup" | bc -l)" "$ours_create")
      ours_create_cpu=$(min "$(echo "$c - $startup_cpu" | bc -l)" "$ours_create_cpu")
    fi
  done
done

# Best of $runs extractions of ZIP ($1) into fresh folders; leaves the trees
# of the last run for comparison. Sets best_native and best_ours.
extract_best() {
  local zip=$1 e c i
  best_native=999999 best_ours=999999 best_native_cpu=999999 best_ours_cpu=999999
  for ((i = 0; i < runs; i++)); do
    for turn in 0 1; do
      if (((i + turn) % 2 == 0)); then
        rm -rf "$work/out-native"; sync
        timed e c unzip -q -o "$zip" -d "$work/out-native"
        best_native=$(min "$e" "$best_native") best_native_cpu=$(min "$c" "$best_native_cpu")
      else
        rm -rf "$work/out-ours"; sync
        timed e c ours UNZIP32.DLL UnZip "-x -o $(win "$zip") $(win "$work/out-ours")\\"
        best_ours=$(min "$(echo "$e - $startup" | bc -l)" "$best_ours")
        best_ours_cpu=$(min "$(echo "$c - $startup_cpu" | bc -l)" "$best_ours_cpu")
      fi
    done
  done
  diff -rq "$work/out-native" "$work/out-ours" >/dev/null || { echo "extracted trees differ" >&2; exit 1; }
}
extract_best "$work/native.zip"
native_extract=$best_native ours_extract=$best_ours native_extract_cpu=$best_native_cpu ours_extract_cpu=$best_ours_cpu
(cd "$corpus" && zip -q -r -$level -X "$work/small-native.zip" small)
small_files=$(find "$corpus/small" -type f | wc -l)
extract_best "$work/small-native.zip"
native_small=$best_native ours_small=$best_ours native_small_cpu=$best_native_cpu ours_small_cpu=$best_ours_cpu
# The floor: Wine making the same folders and empty files (its own clock,
# without start-up), best of $runs into fresh folders.
unzip -Z1 "$work/small-native.zip" >"$work/small.list"
floor_small=999999 floor_small_cpu=999999
for ((i = 0; i < runs; i++)); do
  rm -rf "$work/out-floor"
  timed e c "$root/scripts/wine-run" "$floor" "$(win "$work/small.list")" "$(win "$work/out-floor")" >"$work/floor.out"
  floor_small=$(min "$(tr -d '\r' <"$work/floor.out" | awk '{print $NF}')" "$floor_small")
  floor_small_cpu=$(min "$(echo "$c - $startup_cpu" | bc -l)" "$floor_small_cpu")
done
unzip -tq "$work/ours.zip" >/dev/null || { echo "unzip rejects our archive" >&2; exit 1; }

native_size=$(stat -c %s "$work/native.zip")
ours_size=$(stat -c %s "$work/ours.zip")
ratio() { echo "$1 / $2" | bc -l; }
printf 'ZIP benchmark: corpus %d MB in %s, level -%s, Wine start-up %.2f s / %.2f s CPU (subtracted), best of %d\n' \
  "$size" "$work" "$level" "$startup" "$startup_cpu" "$runs"
printf '%-10s %10s %10s %8s   %10s %10s %8s\n' "" "native s" "ours s" "ratio" "native CPU" "ours CPU" "ratio"
row() { # label native ours native_cpu ours_cpu [note]
  printf '%-10s %10.2f %10.2f %8.2f   %10.2f %10.2f %8.2f%s\n' "$1" "$2" "$3" "$(ratio "$3" "$2")" "$4" "$5" \
    "$(ratio "$5" "$4")" "${6:-}"
}
row create "$native_create" "$ours_create" "$native_create_cpu" "$ours_create_cpu"
row extract "$native_extract" "$ours_extract" "$native_extract_cpu" "$ours_extract_cpu"
row "extract sm" "$native_small" "$ours_small" "$native_small_cpu" "$ours_small_cpu" "   ($small_files small files)"
row "floor sm" "$native_small" "$floor_small" "$native_small_cpu" "$floor_small_cpu" \
  "   (Wine making the same folders and empty files: what no extractor under Wine beats)"
printf '%-10s %10d %10d %8.3f\n' "size B" "$native_size" "$ours_size" "$(echo "$ours_size / $native_size" | bc -l)"
rm -rf "$work/out-native" "$work/out-ours" "$work/out-floor" "$work/small-native.zip"
