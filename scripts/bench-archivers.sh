#!/usr/bin/env bash
# Figures for our archiver libraries against the native tools, side by side:
#   listing 100,000 entries through FindFirst/FindNext vs bsdtar and 7zz,
#   extracting many small files from ZIP, LZH and TAR vs unzip, lhasa and tar,
#   -lh5- size vs jlha, TGZ and BZ2 create/extract vs tar+gzip / tar+bzip2.
# Prints figures and ratios (target: listing within 2x of bsdtar, TGZ/BZ2
# within 1.5x, -lh5- no larger than jlha); it never fails on a target.
# Usage: scripts/bench-archivers.sh [BUILD_DIR]   (BENCH_MB: corpus size, default 200;
#   BENCH_SMALL: number of small files, default 5000; BENCH_RUNS: best of, default 3)
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
# best_of COMMAND...: the shortest of $runs runs, each into an empty $work/x.
best_of() {
  local best=999999 t i
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/x"; mkdir -p "$work/x"; sync
    t=$(seconds "$@")
    best=$(echo "if ($t < $best) $t else $best" | bc)
  done
  [ "$(find "$work/x" -type f | wc -l)" = "$small" ] || echo "warning: $(find "$work/x" -type f | wc -l) files extracted" >&2
  echo "$best"
}
for kind in zip lzh tar; do
  case $kind in
    zip) o=$(best_of call UNZIP32.DLL UnZip cmd "-x -o \"$(win "$work/small.zip")\" \"$(win "$work/x")\\\"")
         n=$(best_of unzip -q -o "$work/small.zip" -d "$work/x"); native=unzip ;;
    lzh) o=$(best_of call UNLHA32.DLL Unlha cmd "x -x1 \"$(win "$work/small.lzh")\" \"$(win "$work/x")\\\" *.*")
         n=$(best_of bash -c "cd '$work/x' && lhasa -xq '$work/small.lzh'"); native=lhasa ;;
    tar) o=$(best_of call TAR32.DLL Tar cmd "x -f \"$(win "$work/small.tar")\" -o \"$(win "$work/x")\\\"")
         n=$(best_of tar -xf "$work/small.tar" -C "$work/x"); native=tar ;;
  esac
  o=$(echo "$o - $startup" | bc)
  echo "${kind}: ours ${o}s  ${native} ${n}s  ratio $(ratio "$o" "$n")  per file: ours $(echo "scale=3; $o * 1000 / $small" | bc) ms, ${native} $(echo "scale=3; $n * 1000 / $small" | bc) ms"
done
rm -rf "$work/x" "$work/small"

echo "== -lh5- size against jlha"
lhsrc=$work/lhsrc
mkdir -p "$lhsrc"
# jlha is slow; a 20 MB slice of the corpus is enough for the size figure.
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
t_ours=$(seconds call UNLHA32.DLL Unlha cmd "a -jm2 -x0 \"$(win "$work/ours.lzh")\" \"$(win "$lhsrc")\\\" *.*")
t_ours=$(echo "$t_ours - $startup" | bc)
t_jlha=$(seconds bash -c "cd '$lhsrc' && java -jar /usr/share/java/jlhafrontend.jar c '$work/jlha.lzh' *")
s_ours=$(stat -c %s "$work/ours.lzh")
s_jlha=$(stat -c %s "$work/jlha.lzh")
echo "UNLHA32 -lh5- ${s_ours} bytes (${t_ours}s)  jlha ${s_jlha} bytes (${t_jlha}s)  size ratio $(ratio "$s_ours" "$s_jlha")"

for kind in "tgz:-z6:z:gzip -6" "tbz:-B9:j:bzip2 -9"; do
  IFS=: read -r ext switch tarflag label <<<"$kind"
  echo "== ${ext} (${label})"
  c_ours=$(seconds call TAR32.DLL Tar cmd "c $switch -f \"$(win "$work/ours.$ext")\" -o \"$(win "$work/corpus")\\\" \"*.*\"")
  c_ours=$(echo "$c_ours - $startup" | bc)
  if [ "$ext" = tgz ]; then
    c_tar=$(seconds bash -c "tar -cf - -C '$work/corpus' . | gzip -6 >'$work/native.$ext'")
  else
    c_tar=$(seconds bash -c "tar -cf - -C '$work/corpus' . | bzip2 -9 >'$work/native.$ext'")
  fi
  mkdir -p "$work/x-ours" "$work/x-tar"
  x_ours=$(seconds call TAR32.DLL Tar cmd "x -f \"$(win "$work/native.$ext")\" -o \"$(win "$work/x-ours")\\\"")
  x_ours=$(echo "$x_ours - $startup" | bc)
  x_tar=$(seconds tar -x${tarflag}f "$work/native.$ext" -C "$work/x-tar")
  echo "create: TAR32 ${c_ours}s  tar ${c_tar}s  ratio $(ratio "$c_ours" "$c_tar")   sizes $(stat -c %s "$work/ours.$ext") / $(stat -c %s "$work/native.$ext")"
  echo "extract: TAR32 ${x_ours}s  tar ${x_tar}s  ratio $(ratio "$x_ours" "$x_tar")"
  rm -rf "$work/x-ours" "$work/x-tar"
done
