#!/usr/bin/env bash
# Independent judges for our archiver libraries: archives we write must be
# read byte for byte by the native tools (lhasa, jlha, tar, bsdtar), and
# archives they write must be listed and extracted byte for byte by ours.
# Usage: judges.sh BUILD_DIR   (runs arccall.exe under Wine)
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
export TAVIX_PATH=$build/bin/archivers
work=$build/judges-work
rm -rf "$work"
mkdir -p "$work"
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
call() { "$root/scripts/wine-run" "$build/bin/arccall.exe" "$@"; }
lhacmd() { call UNLHA32.DLL Unlha cmd "$1" >"$work/last.txt" || { cat "$work/last.txt"; echo "FAILED: $1"; exit 1; }; }
tarcmd() { call TAR32.DLL Tar cmd "$1" >"$work/last.txt" || { cat "$work/last.txt"; echo "FAILED: $1"; exit 1; }; }
jlha() { java -Dlha.encoding=MS932 -jar /usr/share/java/jlhafrontend.jar "$@"; }
# lhasa writes stored Shift-JIS names byte for byte: renamed to UTF-8 for comparing.
from_sjis() {
  python3 - "$1" <<'PY'
import os, sys
for dirpath, dirs, files in os.walk(os.fsencode(sys.argv[1]), topdown=False):
    for name in dirs + files:
        new = name.decode("cp932").encode("utf-8")
        if new != name:
            os.rename(os.path.join(dirpath, name), os.path.join(dirpath, new))
PY
}
same() { diff -r "$1" "$2" >/dev/null || { diff -r "$1" "$2" | head; echo "FAILED: $3"; exit 1; }; echo "ok   $3"; }

# The corpus: text, incompressible bytes, an empty file, Japanese names.
src=$work/src
mkdir -p "$src/sub/資料"
seq 1 40000 >"$src/numbers.txt"
head -c 200000 /dev/urandom >"$src/noise.bin"
cp /usr/share/common-licenses/GPL-3 "$src/sub/gpl.txt"
: >"$src/empty.txt"
printf '表示のテスト\n' >"$src/sub/資料/表示.txt"

# LZH written by us, every method, read by lhasa and jlha.
for jm in 0 2 3 4; do
  lzh=$work/ours$jm.lzh
  lhacmd "a -r2 -x1 -jm$jm \"$(win "$lzh")\" \"$(win "$src")\\\" *.*"
  lhasa tq "$lzh" >/dev/null || { echo "FAILED: lhasa test of -jm$jm"; exit 1; }
  mkdir -p "$work/lhasa$jm" "$work/jlha$jm"
  (cd "$work/lhasa$jm"; lhasa xq "$lzh")
  from_sjis "$work/lhasa$jm"
  same "$src" "$work/lhasa$jm" "LZH -jm$jm written by us, read by lhasa"
  (cd "$work/jlha$jm"; jlha x "$lzh" >/dev/null 2>&1)
  same "$src" "$work/jlha$jm" "LZH -jm$jm written by us, read by jlha"
done

# Write times survive to the second (lhasa sets them from the header).
for f in numbers.txt noise.bin sub/gpl.txt "sub/資料/表示.txt"; do
  [ "$(stat -c %Y "$src/$f")" = "$(stat -c %Y "$work/lhasa4/$f")" ] ||
    { echo "FAILED: time of $f read by lhasa"; exit 1; }
done
echo "ok   LZH write times read by lhasa"

# Tiny files: our headers are no larger than jlha's, and still read by both.
tiny=$work/tiny
mkdir -p "$tiny/資料"
for i in $(seq 1 40); do printf 'x%d' "$i" >"$tiny/資料/f$i.txt"; done
lhacmd "a -r1 -x1 \"$(win "$work/tiny-ours.lzh")\" \"$(win "$tiny")\\\" *.txt"
(cd "$tiny"; jlha c "$work/tiny-jlha.lzh" 資料/*.txt >/dev/null 2>&1)
ours=$(stat -c %s "$work/tiny-ours.lzh") theirs=$(stat -c %s "$work/tiny-jlha.lzh")
[ "$ours" -le "$theirs" ] || { echo "FAILED: 40 tiny files take $ours bytes, jlha's archive $theirs"; exit 1; }
mkdir -p "$work/tiny-lhasa" "$work/tiny-jlha"
(cd "$work/tiny-lhasa"; lhasa xq "$work/tiny-ours.lzh")
from_sjis "$work/tiny-lhasa"
same "$tiny" "$work/tiny-lhasa" "LZH tiny files ($ours bytes, jlha $theirs) read by lhasa"
(cd "$work/tiny-jlha"; jlha x "$work/tiny-ours.lzh" >/dev/null 2>&1)
same "$tiny" "$work/tiny-jlha" "LZH tiny files read by jlha"

# LZH written by jlha (Shift-JIS names), read by us.
(cd "$src"; jlha c "$work/theirs.lzh" numbers.txt noise.bin empty.txt sub/gpl.txt sub/資料/表示.txt >/dev/null 2>&1)
lhacmd "x -x1 \"$(win "$work/theirs.lzh")\" \"$(win "$work/fromjlha")\\\" *.*"
same "$src" "$work/fromjlha" "LZH written by jlha, read by us"
count=$(call UNLHA32.DLL Unlha count "$(win "$work/theirs.lzh")")
[ "${count//[^0-9]/}" = 5 ] || { echo "FAILED: listing jlha's archive gave $count"; exit 1; }

# TAR, TGZ, TBZ written by us, read by tar and bsdtar.
for kind in "tar:" "tgz:-z9" "tbz:-B"; do
  ext=${kind%%:*} switch=${kind#*:}
  arc=$work/ours.$ext
  tarcmd "c $switch -f \"$(win "$arc")\" -o \"$(win "$src")\\\" \"*.*\""
  mkdir -p "$work/tar-$ext" "$work/bsdtar-$ext"
  tar -xf "$arc" -C "$work/tar-$ext"
  bsdtar -xf "$arc" -C "$work/bsdtar-$ext"
  same "$src" "$work/tar-$ext" "$ext written by us, read by tar"
  same "$src" "$work/bsdtar-$ext" "$ext written by us, read by bsdtar"
done

# Written by tar and bsdtar, read by us (tar, tgz, tbz, taz, single gz/bz2/Z).
tar -cf "$work/theirs.tar" -C "$src" .
tar -czf "$work/theirs.tgz" -C "$src" .
tar -cjf "$work/theirs.tar.bz2" -C "$src" .
bsdtar -cZf "$work/theirs.taz" -C "$src" .
for arc in theirs.tar theirs.tgz theirs.tar.bz2 theirs.taz; do
  tarcmd "x -f \"$(win "$work/$arc")\" -o \"$(win "$work/x-$arc")\\\""
  same "$src" "$work/x-$arc" "$arc written by tar/bsdtar, read by us"
done
gzip -9c "$src/numbers.txt" >"$work/numbers.txt.gz"
bzip2 -9c "$src/numbers.txt" >"$work/numbers.txt.bz2"
bsdtar -cZ --format raw -f "$work/numbers.txt.Z" -C "$src" numbers.txt
for single in numbers.txt.gz numbers.txt.bz2 numbers.txt.Z; do
  tarcmd "x -f \"$(win "$work/$single")\" -o \"$(win "$work/s-$single")\\\""
  cmp "$src/numbers.txt" "$work/s-$single/numbers.txt" || { echo "FAILED: $single"; exit 1; }
  echo "ok   $single read by us"
done
rm -rf "$work"
echo "all judges agree"
