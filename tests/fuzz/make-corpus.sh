#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into tests/fuzz/corpus/TARGET
# with the judges' tools (jlha, arj, zip, gcab) and small generators. Small on
# purpose: the fuzzers grow them. Files named crash-* are regression inputs
# the fuzzers found; this script leaves them alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/tests/fuzz/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in lzh lha_encoder lh1_decoder arj cab mszip bga zip names commandline; do
  mkdir -p "$out/$target"
  find "$out/$target" -name 'seed-*' -delete
done

# Small inputs shared by the archive makers.
src=$work/src
mkdir -p "$src/sub"
printf 'hello, world\n' >"$src/a.txt"
seq 1 300 >"$src/sub/numbers.txt"
head -c 200 /dev/urandom >"$src/noise.bin"
: >"$src/empty.txt"
files=(a.txt sub/numbers.txt noise.bin empty.txt)

# LZH: jlha's archives, and level 0, 1 and 3 headers from the generator.
jlha() { java -Dlha.encoding=MS932 -jar /usr/share/java/jlhafrontend.jar "$@"; }
(cd "$src" && jlha c "$work/jlha.lzh" "${files[@]}" >/dev/null 2>&1)
cp "$work/jlha.lzh" "$out/lzh/seed-jlha.lzh"
python3 "$root/tests/fuzz/make-seeds.py" lzh "$out/lzh"
# An archive after a program, as in a self-extractor.
{ head -c 1000 /dev/zero; cat "$work/jlha.lzh"; } >"$out/lzh/seed-sfx.bin"

# ARJ: every method.
for m in 0 1 2 3 4; do
  (cd "$src" && arj a -m$m -y "$work/m$m.arj" "${files[@]}" >/dev/null)
  cp "$work/m$m.arj" "$out/arj/seed-m$m.arj"
done

# CAB: stored and MSZIP.
(cd "$src" && gcab -c "$work/stored.cab" "${files[@]}" && gcab -c -z "$work/mszip.cab" "${files[@]}")
cp "$work/stored.cab" "$out/cab/seed-stored.cab"
cp "$work/mszip.cab" "$out/cab/seed-mszip.cab"

# ZIP: stored, deflated, encrypted (password "secret", as the harness uses).
(cd "$src" && zip -q -0 "$work/stored.zip" "${files[@]}" && zip -q -9 "$work/deflated.zip" "${files[@]}" &&
  zip -q -P secret "$work/encrypted.zip" "${files[@]}")
cp "$work/stored.zip" "$work/deflated.zip" "$work/encrypted.zip" "$out/zip/"
for f in stored deflated encrypted; do mv "$out/zip/$f.zip" "$out/zip/seed-$f.zip"; done

# BGA, MSZIP writer, encoder, names and command lines.
python3 "$root/tests/fuzz/make-seeds.py" bga "$out/bga"
python3 "$root/tests/fuzz/make-seeds.py" mszip "$out/mszip"
python3 "$root/tests/fuzz/make-seeds.py" lha-encoder "$out/lha_encoder"
python3 "$root/tests/fuzz/make-seeds.py" lh1_decoder "$out/lh1_decoder"
python3 "$root/tests/fuzz/make-seeds.py" names "$out/names"
python3 "$root/tests/fuzz/make-seeds.py" commandline "$out/commandline"
du -sh "$out"
