#!/usr/bin/env bash
# -jm1 must write real -lh1- (4 KiB window, adaptive Huffman), judged by
# lhasa and jlha: every file byte for byte, and the method really lh1 where
# the data shrinks (empty and incompressible files are stored as lh0). And
# our decoder must read lh1 that jLHA's own encoder wrote, not only ours.
# Usage: lh1-judges.sh BUILD_DIR   (runs arccall.exe under Wine)
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
export TAVIX_PATH=$build/bin/archivers
work=$build/lh1-judges-work
rm -rf "$work"
mkdir -p "$work/src"
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
call() { "$root/scripts/wine-run" "$build/bin/arccall.exe" "$@"; }
jlha() { java -Dlha.encoding=MS932 -jar /usr/share/java/jlhafrontend.jar "$@"; }
fail() { echo "FAILED: $*"; exit 1; }

src=$work/src
: >"$src/empty.bin"
printf 'A' >"$src/one.bin"
cp /usr/share/common-licenses/GPL-3 "$src/text.txt"
head -c 300000 "$(command -v bash)" >"$src/binary.bin"
head -c 50000 /dev/urandom >"$src/random.bin"
# One byte short of the window and the window exactly.
head -c 4095 /usr/share/common-licenses/GPL-3 >"$src/window-1.txt"
head -c 4096 /usr/share/common-licenses/GPL-3 >"$src/window.txt"
# Repetitive, past 64 KiB: long matches and many rebuilds of the tree.
for i in $(seq 1 4000); do printf 'line %d of a repetitive file\n' $((i % 7)); done >"$src/repeat.txt"
# A few MB of mixed data.
{ seq 1 300000; head -c 1000000 /dev/urandom; seq 1 200000 | rev; } >"$src/large.bin"
compressible=(one.bin text.txt binary.bin repeat.txt large.bin window-1.txt window.txt)

lzh=$work/lh1.lzh
call UNLHA32.DLL Unlha cmd "a -jm1 \"$(win "$lzh")\" \"$(win "$src")\\\" *.*" >"$work/out.txt" || {
  cat "$work/out.txt"; fail "writing with -jm1"; }

# The method of each entry as lhasa lists it.
lhasa v "$lzh" >"$work/list.txt" || fail "lhasa listing"
for name in "${compressible[@]}"; do
  if [ "$name" = one.bin ]; then continue; fi  # one byte cannot shrink
  grep -E " $name\$" "$work/list.txt" | grep -qF -- "-lh1-" || { cat "$work/list.txt"; fail "$name is not -lh1-"; }
done
if grep -qF -- "-lh5-" "$work/list.txt"; then cat "$work/list.txt"; fail "an entry was written as lh5"; fi

lhasa tq "$lzh" || fail "lhasa test"
mkdir -p "$work/lhasa" "$work/jlha"
(cd "$work/lhasa" && lhasa xq "$lzh") || fail "lhasa extraction"
diff -r "$src" "$work/lhasa" || fail "lhasa extracted something else"
echo "ok   lh1 read by lhasa"
(cd "$work/jlha" && jlha x "$lzh" >"$work/jlha.txt" 2>&1) || { cat "$work/jlha.txt"; fail "jlha extraction"; }
diff -r "$src" "$work/jlha" || fail "jlha extracted something else"
echo "ok   lh1 read by jlha"

# And by our own library, which decodes lh1 itself (libarchive cannot).
call UNLHA32.DLL Unlha cmd "t \"$(win "$lzh")\"" >"$work/out.txt" || { cat "$work/out.txt"; fail "our test of lh1"; }
call UNLHA32.DLL Unlha cmd "x -x1 \"$(win "$lzh")\" \"$(win "$work/ours")\\\" *.*" >"$work/out.txt" || {
  cat "$work/out.txt"; fail "our extraction of lh1"; }
diff -r "$src" "$work/ours" || fail "we extracted something else"
echo "ok   lh1 read back by us"

# lh1 written by jLHA's encoder (every entry, even where it does not shrink),
# read by lhasa as a check of the archive and then by us, byte for byte.
theirs=$work/theirs
mkdir -p "$theirs"
: >"$theirs/empty.bin"
printf 'A' >"$theirs/one.bin"
head -c 4095 /usr/share/common-licenses/GPL-3 >"$theirs/window-1.txt"
head -c 4096 /usr/share/common-licenses/GPL-3 >"$theirs/window.txt"
head -c 102400 /dev/urandom >"$theirs/random.bin"
cat /usr/share/common-licenses/{GPL-3,GPL-2,LGPL-2.1,Apache-2.0,MPL-2.0} | head -c 102400 >"$theirs/text.txt"
[ "$(stat -c %s "$theirs/text.txt")" = 102400 ] || fail "the text sample is short"
cp "$src/repeat.txt" "$src/large.bin" "$theirs/"
jlzh=$work/jlha-lh1.lzh
(cd "$theirs" && java -cp /usr/share/java/jlha.jar "$root/tests/archivers/Lh1Writer.java" "$jlzh" *) ||
  fail "jLHA writing lh1"
lhasa v "$jlzh" >"$work/list.txt" || fail "lhasa listing jLHA's archive"
for name in "$theirs"/*; do
  grep -E " ${name##*/}\$" "$work/list.txt" | grep -qF -- "-lh1-" || { cat "$work/list.txt"; fail "${name##*/} is not -lh1-"; }
done
mkdir -p "$work/theirs-lhasa"
(cd "$work/theirs-lhasa" && lhasa xq "$jlzh") || fail "lhasa extraction of jLHA's lh1"
diff -r "$theirs" "$work/theirs-lhasa" || fail "jLHA's lh1 archive is not what it was given"
call UNLHA32.DLL Unlha cmd "t \"$(win "$jlzh")\"" >"$work/out.txt" || { cat "$work/out.txt"; fail "our test of jLHA's lh1"; }
call UNLHA32.DLL Unlha cmd "x -x1 \"$(win "$jlzh")\" \"$(win "$work/theirs-ours")\\\" *.*" >"$work/out.txt" || {
  cat "$work/out.txt"; fail "our extraction of jLHA's lh1"; }
diff -r "$theirs" "$work/theirs-ours" || fail "we extracted jLHA's lh1 as something else"
echo "ok   lh1 written by jLHA read by us"
rm -rf "$work"
echo "lh1 judged sound"
