#!/usr/bin/env bash
# Figures for UNLHA32 against the native LZH tools, side by side:
#   the header cost of tiny files against jlha (archive sizes),
#   Wine's floor for creating many files (file_floor_bench: the calls an
#   extraction makes, with nothing read) against extracting them with lhasa,
#   extracting many small files against lhasa,
#   create per method (-lh5-/-lh6-/-lh7-) against jlha on a mixed corpus
#   (about 200 MB, 5,300 files) and on one big file,
#   and, where g++ is there, the encoder alone on the host (for perf; its
#   output is kept in $LZH_ENCODED when set, to cmp before and after a change).
# Each comparison is the best of BENCH_RUNS runs, ours and the native tool
# taking turns at going first, each run into a fresh folder.
# Prints figures and ratios; it never fails on a target.
# Usage: bench/lzh.sh [BUILD_DIR]   (BENCH_MB: corpus size, default 200;
#   BENCH_SMALL: small files, default 5000; BENCH_TINY: tiny files, default
#   10000; BENCH_RUNS: best of, default 3; BENCH_PARTS: which parts, default
#   "tiny floor extract create host"; TMPDIR: where the files go, default /dev/shm)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${TAVIX_BUILD_DIR:-$root/build/x86_64}}" && pwd)
mb=${BENCH_MB:-200}
small=${BENCH_SMALL:-5000}
tiny=${BENCH_TINY:-10000}
runs=${BENCH_RUNS:-3}
parts=" ${BENCH_PARTS:-tiny floor extract create host} "
export TAVIX_PATH=${BENCH_ARCHIVERS:-$build/bin/archivers}  # another folder: figures for another build
work=$(mktemp -d "${TMPDIR:-/dev/shm}/bench-lzh.XXXXXX")
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
call() { "$root/scripts/wine-run" "$build/bin/arccall.exe" "$@"; }
jlha() { java -Dlha.encoding=MS932 -jar /usr/share/java/jlhafrontend.jar "$@"; }
now() { date +%s.%N; }
seconds() { local t0; t0=$(now); "$@" >/dev/null 2>&1; echo "$(now) - $t0" | bc; }
ratio() { echo "scale=2; $1 / $2" | bc; }
min() { echo "if ($1 < $2) $1 else $2" | bc; }
has() { [[ $parts == *" $1 "* ]]; }
# best PREPARE OURS NATIVE: sets $o and $n to the best of $runs runs of each
# command (strings for eval), alternating which goes first; PREPARE runs
# before each. Wine's start-up is subtracted from ours.
best() {
  local prepare=$1 ours=$2 native=$3 i turn
  o=999999 n=999999
  for ((i = 0; i < runs; i++)); do
    for turn in 0 1; do
      eval "$prepare"
      sync
      if (((i + turn) % 2 == 0)); then o=$(min "$(seconds eval "$ours")" "$o")
      else n=$(min "$(seconds eval "$native")" "$n"); fi
    done
  done
  o=$(echo "$o - $startup" | bc)
}

echo "== Wine start-up (subtracted from our times)"
printf 'x' >"$work/tiny.txt"
call UNLHA32.DLL Unlha cmd "a \"$(win "$work/tiny.lzh")\" \"$(win "$work")\\\" tiny.txt" >/dev/null
call UNLHA32.DLL Unlha count "$(win "$work/tiny.lzh")" >/dev/null  # warm the server
startup=999999
for i in 1 2 3; do startup=$(min "$(seconds call UNLHA32.DLL Unlha count "$(win "$work/tiny.lzh")")" "$startup"); done
echo "start-up ${startup}s"

if has tiny; then
  echo "== ${tiny} tiny files: archive sizes"
  python3 - "$work/tiny" "$tiny" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    path = os.path.join(root, "d%02d" % (i % 50), "f%05d.txt" % i)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    open(path, "w").write("%d\n" % i)
PY
  call UNLHA32.DLL Unlha cmd "a -r1 -x1 \"$(win "$work/tiny-ours.lzh")\" \"$(win "$work/tiny")\\\" *.txt" >/dev/null
  (cd "$work/tiny" && jlha c "$work/tiny-jlha.lzh" d*/*.txt >/dev/null 2>&1)
  so=$(stat -c %s "$work/tiny-ours.lzh") sj=$(stat -c %s "$work/tiny-jlha.lzh")
  echo "UNLHA32 ${so} bytes ($(echo "scale=1; $so / $tiny" | bc) per entry)  jlha ${sj} bytes ($(echo "scale=1; $sj / $tiny" | bc) per entry)  ratio $(ratio "$so" "$sj")"
  rm -rf "$work/tiny" "$work"/tiny-*.lzh
fi

if has floor || has extract; then
  # Small text files in 50 x 10 folders, 100 to 8,000 bytes each.
  python3 - "$work/small" "$small" <<'PY'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(3)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9))) for _ in range(2000)]
for i in range(count):
    path = os.path.join(root, "d%02d" % (i % 50), "s%d" % (i // 500), "f%05d.txt" % i)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    size = rng.randint(100, 8000)
    text = []
    while sum(map(len, text)) < size:
        text.append(rng.choice(words) + (" " if rng.random() < 0.9 else "\n"))
    open(path, "w").write("".join(text)[:size])
PY
  call UNLHA32.DLL Unlha cmd "a -r2 -x1 -jm2 \"$(win "$work/small.lzh")\" \"$(win "$work/small")\\\" *.*" >/dev/null
  average=$(( $(du -sb --apparent-size "$work/small" | cut -f1) / small ))
  rm -rf "$work/small"
fi

fresh='rm -rf "$work/x"; mkdir -p "$work/x"'
if has floor; then
  echo "== Wine's floor: ${small} files made with the calls of an extraction (best of ${runs})"
  for bytes in 0 "$average"; do
    best "$fresh" '"$root/scripts/wine-run" "$build/bin/file_floor_bench.exe" "$(win "$work/x")" "$small" "$bytes"' \
      '(cd "$work/x" && lhasa -xq "$work/small.lzh")'
    # The loop's own clock, without Wine's start-up.
    eval "$fresh"
    inside=$("$root/scripts/wine-run" "$build/bin/file_floor_bench.exe" "$(win "$work/x")" "$small" "$bytes")
    [ "$(find "$work/x" -type f | wc -l)" = "$small" ] || echo "warning: the loop made $(find "$work/x" -type f | wc -l) files" >&2
    echo "  (the loop by its own clock: $inside)"
    echo "${bytes}-byte files: Wine loop ${o}s ($(echo "scale=3; $o * 1000 / $small" | bc) ms per file)  lhasa extracting the archive ${n}s  ratio $(ratio "$o" "$n")"
  done
fi

if has extract; then
  echo "== extracting ${small} small files (best of ${runs})"
  best "$fresh" 'call UNLHA32.DLL Unlha cmd "x -x1 \"$(win "$work/small.lzh")\" \"$(win "$work/x")\\\" *.*"' \
    '(cd "$work/x" && lhasa -xq "$work/small.lzh")'
  [ "$(find "$work/x" -type f | wc -l)" = "$small" ] || echo "warning: $(find "$work/x" -type f | wc -l) files extracted" >&2
  echo "UNLHA32 ${o}s  lhasa ${n}s  ratio $(ratio "$o" "$n")  per file: ours $(echo "scale=3; $o * 1000 / $small" | bc) ms, lhasa $(echo "scale=3; $n * 1000 / $small" | bc) ms"
  rm -rf "$work/x"
fi

if has create || has host; then
  # Mixed: text (documentation), binaries, and incompressible bytes.
  python3 - "$work/corpus" "$mb" <<'PY'
import os, sys, random
out, mb = sys.argv[1], int(sys.argv[2])
os.makedirs(out)
limit = mb * 1024 * 1024
total = 0
sources = []
for base in ("/usr/share/doc", "/usr/share/common-licenses", "/usr/bin", "/usr/lib/x86_64-linux-gnu"):
    for dirpath, _, files in os.walk(base):
        for f in files:
            p = os.path.join(dirpath, f)
            if os.path.isfile(p) and not os.path.islink(p):
                sources.append(p)
random.seed(1)
random.shuffle(sources)
n = 0
for p in sources:
    if total >= limit * 0.9:
        break
    try:
        data = open(p, "rb").read()
    except OSError:
        continue
    if not data:
        continue
    d = os.path.join(out, "d%03d" % (n % 97))
    os.makedirs(d, exist_ok=True)
    open(os.path.join(d, "f%05d_%s" % (n, os.path.basename(p))), "wb").write(data)
    total += len(data); n += 1
rnd = os.urandom(int(limit * 0.1))
open(os.path.join(out, "random.bin"), "wb").write(rnd)
print("corpus: %d files, %.1f MB" % (n + 1, (total + len(rnd)) / 1048576))
PY
  # One big file: the corpus's files one after another.
  mkdir -p "$work/big"
  find "$work/corpus" -type f ! -name random.bin | sort | xargs cat >"$work/big/big.bin"
  echo "big file: $(( $(stat -c %s "$work/big/big.bin") / 1048576 )) MB"
fi

if has create; then
  echo "== LZH create against jlha (best of ${runs})"
  for source in corpus big; do
    for m in 5:2 6:3 7:4; do
      IFS=: read -r lh jm <<<"$m"
      best true \
        'rm -f "$work/ours.lzh"; call UNLHA32.DLL Unlha cmd "a -r2 -x1 -jm$jm \"$(win "$work/ours.lzh")\" \"$(win "$work/$source")\\\" *.*"' \
        'rm -f "$work/jlha.lzh"; (cd "$work/$source" && jlha co$lh "$work/jlha.lzh" * )'
      s_ours=$(stat -c %s "$work/ours.lzh") s_jlha=$(stat -c %s "$work/jlha.lzh")
      echo "${source} -lh${lh}-: UNLHA32 ${o}s ${s_ours} bytes  jlha ${n}s ${s_jlha} bytes  time ratio $(ratio "$o" "$n")  size ratio $(ratio "$s_ours" "$s_jlha")"
    done
  done
  rm -f "$work/ours.lzh" "$work/jlha.lzh"
fi

if has host && command -v g++ >/dev/null; then
  echo "== the encoder alone on the host"
  g++ -O2 -g -std=c++20 -I"$root" "$root/bench/LzhEncodeHost.cpp" "$root/archivers/lha/LhaEncoder.cpp" -o "$work/encode"
  find "$work/corpus" -type f | sort >"$work/list"
  for bits in 13 15 16; do
    "$work/encode" "$bits" "$work/list" "$work/encoded$bits"
    if [ -n "${LZH_ENCODED:-}" ]; then
      mkdir -p "$LZH_ENCODED"
      if [ -f "$LZH_ENCODED/encoded$bits" ]; then
        cmp "$LZH_ENCODED/encoded$bits" "$work/encoded$bits" && echo "same bytes as $LZH_ENCODED/encoded$bits"
      else
        cp "$work/encoded$bits" "$LZH_ENCODED/"
      fi
    fi
  done
fi
