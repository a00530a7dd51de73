#!/usr/bin/env bash
# Figures for our archiver libraries against the native tools, side by side:
#   listing 100,000 entries through FindFirst/FindNext vs bsdtar and 7zz,
#   extracting many small files from ZIP, LZH and TAR vs unzip, lhasa and tar,
#   LZH create (-lh5-/-lh6-/-lh7-) time and size vs jlha, TGZ and BZ2
#   create/extract vs tar+gzip / tar+bzip2, the collector behind Add on
#   100,000 files and the list's column sort of 100,000 entries.
# Every comparison is the best of BENCH_RUNS runs with ours and the native tool
# taking turns at going first, each run into a fresh folder (the file system
# slows creation after many deletions, which favours whatever runs first).
# Prints figures and ratios; it never fails on a target.
# Usage: bench/archivers.sh [BUILD_DIR]   (BENCH_MB: corpus size, default 200;
#   BENCH_SMALL: number of small files, default 5000; BENCH_RUNS: best of, default 3;
#   TMPDIR: where the files go, /dev/shm for tmpfs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${TAVIX_BUILD_DIR:-$root/build/x86_64}}" && pwd)
mb=${BENCH_MB:-200}
small=${BENCH_SMALL:-5000}
runs=${BENCH_RUNS:-3}
export TAVIX_PATH=$build/bin/archivers
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-archivers.XXXXXX")
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
call() { "$root/scripts/wine-run" "$build/bin/arccall.exe" "$@"; }
now() { date +%s.%N; }
seconds() { local t0; t0=$(now); "$@" >/dev/null 2>&1; echo "$(now) - $t0" | bc; }
ratio() { echo "scale=2; $1 / $2" | bc; }
min() { echo "if ($1 < $2) $1 else $2" | bc; }
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

echo "== corpus"
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
print("%d files, %.1f MB" % (n + 1, (total + len(rnd)) / 1048576))
PY

echo "== Wine start-up (subtracted from our times)"
printf 'x' >"$work/tiny.txt"
tar -cf "$work/tiny.tar" -C "$work" tiny.txt
call TAR32.DLL Tar count "$(win "$work/tiny.tar")" >/dev/null  # warm the server
startup=$(seconds call TAR32.DLL Tar count "$(win "$work/tiny.tar")")
echo "start-up ${startup}s"

echo "== listing 100,000 entries"
python3 - "$work/many.tar" <<'PY'
import sys, tarfile, io
with tarfile.open(sys.argv[1], "w", format=tarfile.USTAR_FORMAT) as t:
    for i in range(100000):
        info = tarfile.TarInfo("dir%03d/file%06d.txt" % (i % 500, i))
        info.size = 0
        t.addfile(info, io.BytesIO(b""))
PY
ours=$(seconds call TAR32.DLL Tar count "$(win "$work/many.tar")")
ours=$(echo "$ours - $startup" | bc)
bsd=$(seconds bsdtar -tf "$work/many.tar")
sz=$(seconds 7zz l "$work/many.tar")
echo "TAR32 FindFirst/FindNext ${ours}s  bsdtar ${bsd}s  7zz ${sz}s  ratio vs bsdtar $(ratio "$ours" "$bsd")  vs 7zz $(ratio "$ours" "$sz")"

echo "== extracting ${small} small files (best of ${runs})"
# What each file costs beyond its bytes: the native tools pay the file
# system's price per file too, so the ratio shows our overhead on top.
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
(cd "$work/small" && zip -q -r -6 -X "$work/small.zip" . && tar -cf "$work/small.tar" .)
call UNLHA32.DLL Unlha cmd "a -r2 -x1 -jm2 \"$(win "$work/small.lzh")\" \"$(win "$work/small")\\\" *.*" >/dev/null
fresh='rm -rf "$work/x"; mkdir -p "$work/x"'
for kind in zip lzh tar; do
  case $kind in
    zip) best "$fresh" 'call UNZIP32.DLL UnZip cmd "-x -o \"$(win "$work/small.zip")\" \"$(win "$work/x")\\\""' \
           'unzip -q -o "$work/small.zip" -d "$work/x"'; native=unzip ;;
    lzh) best "$fresh" 'call UNLHA32.DLL Unlha cmd "x -x1 \"$(win "$work/small.lzh")\" \"$(win "$work/x")\\\" *.*"' \
           '(cd "$work/x" && lhasa -xq "$work/small.lzh")'; native=lhasa ;;
    tar) best "$fresh" 'call TAR32.DLL Tar cmd "x -f \"$(win "$work/small.tar")\" -o \"$(win "$work/x")\\\""' \
           'tar -xf "$work/small.tar" -C "$work/x"'; native=tar ;;
  esac
  [ "$(find "$work/x" -type f | wc -l)" = "$small" ] || echo "warning: $(find "$work/x" -type f | wc -l) files extracted" >&2
  echo "${kind}: ours ${o}s  ${native} ${n}s  ratio $(ratio "$o" "$n")  per file: ours $(echo "scale=3; $o * 1000 / $small" | bc) ms, ${native} $(echo "scale=3; $n * 1000 / $small" | bc) ms"
done
rm -rf "$work/x" "$work/small"

echo "== LZH create against jlha (best of ${runs})"
lhsrc=$work/lhsrc
mkdir -p "$lhsrc"
# jlha is slow; a 20 MB slice of the corpus is enough.
python3 - "$work/corpus" "$lhsrc" <<'PY'
import os, shutil, sys
src, dst = sys.argv[1], sys.argv[2]
total = 0
for dirpath, _, files in sorted(os.walk(src)):
    for f in sorted(files):
        if f == "random.bin":
            continue
        p = os.path.join(dirpath, f)
        if total > 20 * 1048576:
            break
        shutil.copy(p, dst); total += os.path.getsize(p)
PY
for m in 5:2 6:3 7:4; do
  IFS=: read -r lh jm <<<"$m"
  best true \
    'rm -f "$work/ours.lzh"; call UNLHA32.DLL Unlha cmd "a -jm$jm -x0 \"$(win "$work/ours.lzh")\" \"$(win "$lhsrc")\\\" *.*"' \
    'rm -f "$work/jlha.lzh"; (cd "$lhsrc" && java -jar /usr/share/java/jlhafrontend.jar co$lh "$work/jlha.lzh" *)'
  s_ours=$(stat -c %s "$work/ours.lzh")
  s_jlha=$(stat -c %s "$work/jlha.lzh")
  echo "-lh${lh}-: UNLHA32 ${o}s ${s_ours} bytes  jlha ${n}s ${s_jlha} bytes  time ratio $(ratio "$o" "$n")  size ratio $(ratio "$s_ours" "$s_jlha")"
done

for kind in "tgz:-z6:z:gzip -6:gzip" "tbz:-B9:j:bzip2 -9:bzip2"; do
  IFS=: read -r ext switch tarflag label filter <<<"$kind"
  echo "== ${ext} (${label}, best of ${runs})"
  best true \
    'rm -f "$work/ours.$ext"; call TAR32.DLL Tar cmd "c $switch -f \"$(win "$work/ours.$ext")\" -o \"$(win "$work/corpus")\\\" \"*.*\""' \
    'rm -f "$work/native.$ext"; tar -cf - -C "$work/corpus" . | $label >"$work/native.$ext"'
  echo "create: TAR32 ${o}s  tar ${n}s  ratio $(ratio "$o" "$n")   sizes $(stat -c %s "$work/ours.$ext") / $(stat -c %s "$work/native.$ext")"
  best 'rm -rf "$work/x"; mkdir -p "$work/x"' \
    'call TAR32.DLL Tar cmd "x -f \"$(win "$work/native.$ext")\" -o \"$(win "$work/x")\\\""' \
    'tar -x${tarflag}f "$work/native.$ext" -C "$work/x"'
  echo "extract: TAR32 ${o}s  tar ${n}s  ratio $(ratio "$o" "$n")"
  rm -rf "$work/x"
done
rm -rf "$work/corpus" "$work/lhsrc"

# The engine's and the window's own figures (targets: collector under 1 s,
# each sort under 0.5 s for 100,000).
echo "== collector, 100,000 files"
BENCH_SIZES=100000 bash "$root/bench/collector.sh" "$build"
echo "== reading and sorting 100,000 entries"
BENCH_SIZES=100000 TAVIX_BUILD_DIR="$build" bash "$root/bench/list.sh"
