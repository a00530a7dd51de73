#!/usr/bin/env bash
# Independent judges for CAB32, UNRAR32 and UNARJ32. Cabinets our CAB32 writes
# must pass gcab, cabextract and bsdtar; cabinets gcab writes, RAR archives
# unar reads and ARJ archives Debian's arj writes must come out of our
# libraries byte for byte. Our libraries run under Wine through arccall.exe
# (tests/archivers); the judges run natively on the same files.
# usage: judges.sh BUILD_DIR
set -u
build=$1
root=$(cd "$(dirname "$0")/../../.." && pwd)
fixtures="$root/tests/archivers/cab/fixtures"
run="$root/scripts/wine-run"
call="$build/bin/arccall.exe"
lib="$build/bin/archivers"
work=$(mktemp -d /tmp/cabjudge.XXXXXX)
trap 'rm -rf "$work"' EXIT
fails=0

win() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
cab() { "$run" "$call" "$(win "$lib/CAB32.DLL")" Cab cmd "$1"; }
rar() { "$run" "$call" "$(win "$lib/UNRAR32.DLL")" Unrar cmd "$1"; }
arjdll() { "$run" "$call" "$(win "$lib/UNARJ32.DLL")" Arj cmd "$1"; }
# A symbolic link in an archive is skipped with 0x8023; that is no failure here.
rar_extract() { rar "-x -y \"$(win "$1")\" \"$(win "$2")\\\"" | grep -q -E 'result=0x(0|8023)$'; }
export run call lib
export -f win cab rar arjdll rar_extract
check() {
  local what=$1
  shift
  if "$@" >"$work/log" 2>&1; then
    echo "ok   $what"
  else
    echo "FAIL $what"
    sed 's/^/     /' "$work/log"
    fails=$((fails + 1))
  fi
}

# The corpus: text over many blocks, random data, an empty file, a Japanese
# name in a sub-folder.
src=$work/src
mkdir -p "$src/sub/日本語" "$src/deep/a"
seq 1 40000 > "$src/numbers.txt"
head -c 200000 /dev/urandom > "$src/sub/random.bin"
: > "$src/empty.txt"
echo 表示 > "$src/sub/日本語/表.txt"
yes 'compressible line of text' | head -c 1000000 > "$src/deep/a/big.txt"

# ---- cabinets we write, read by the native tools
check "CAB32 creates a recursive cabinet" cab "-a -r \"$(win "$work/ours.cab")\" \"$(win "$src")\\\" *.*"
check "gcab lists it" gcab -l "$work/ours.cab"
check "cabextract tests it (checksums)" cabextract -t "$work/ours.cab"
mkdir -p "$work/by-cabextract" "$work/by-bsdtar" "$work/by-gcab"
check "cabextract extracts it byte for byte" bash -c "cabextract -q -d '$work/by-cabextract' '$work/ours.cab' && diff -r '$src' '$work/by-cabextract'"
check "bsdtar extracts it byte for byte" bash -c "cd '$work/by-bsdtar' && bsdtar -xf '$work/ours.cab' && diff -r '$src' ."
check "gcab extracts it byte for byte" bash -c "cd '$work/by-gcab' && gcab -x '$work/ours.cab' && diff -r '$src' ."

echo changed > "$src/numbers.txt"
echo new > "$src/added.txt"
check "CAB32 adds to it (rebuilt)" cab "-a \"$(win "$work/ours.cab")\" \"$(win "$src")\\\" numbers.txt added.txt"
check "cabextract tests the rebuilt cabinet" cabextract -t "$work/ours.cab"
mkdir -p "$work/rebuilt"
check "the rebuilt cabinet holds old and new files" bash -c "cabextract -q -d '$work/rebuilt' '$work/ours.cab' && diff -r '$src' '$work/rebuilt'"

# ---- cabinets gcab writes, read by ours
check "gcab writes the cabinet for us to read" bash -c "cd '$src' && gcab -c -z '$work/gcab.cab' numbers.txt sub/random.bin empty.txt deep/a/big.txt >/dev/null"
mkdir -p "$work/from-gcab"
check "CAB32 extracts gcab's MSZIP cabinet" cab "-x \"$(win "$work/gcab.cab")\" \"$(win "$work/from-gcab")\\\""
for f in numbers.txt sub/random.bin empty.txt deep/a/big.txt; do
  check "  $f byte for byte" cmp "$src/$f" "$work/from-gcab/$f"
done

# ---- a self-extractor: CAB32 -f joins the GUI stub, which is built with the
# libraries (a missing stub is a failure), and the stub, run silently,
# extracts the cabinet
mkdir -p "$work/sfx" "$work/sfx-out"
check "the GUI stub is beside the libraries" test -f "$lib/sfx32gui.dat"
check "CAB32 makes a self-extractor" cab "-f \"$(win "$work/gcab.cab")\" \"$(win "$work/sfx")\\\""
check "  which extracts silently, byte for byte" bash -c "'$run' '$work/sfx/gcab.exe' /s /d '$(win "$work/sfx-out")' && cmp '$src/deep/a/big.txt' '$work/sfx-out/deep/a/big.txt' && cmp '$src/sub/random.bin' '$work/sfx-out/sub/random.bin'"

# ---- RAR: ours against unar on libarchive's samples (unar cannot read
# rar5_solid, whose CRCs libarchive's own tests check)
for f in rar5_compressed rar5_multiple_files rar5_stored rar_unicode; do
  mkdir -p "$work/rar-ours/$f" "$work/rar-unar/$f"
  check "UNRAR32 extracts $f.rar" rar_extract "$fixtures/$f.rar" "$work/rar-ours/$f"
  unar -q -f -D -o "$work/rar-unar/$f" "$fixtures/$f.rar" >/dev/null 2>&1
  # unar keeps the symbolic link our libraries skip.
  find "$work/rar-unar/$f" -type l -delete
  check "  same files as unar" diff -r "$work/rar-unar/$f" "$work/rar-ours/$f"
done

# ---- ARJ: archives Debian's arj writes now, every method
arjsrc=$work/arjsrc
mkdir -p "$arjsrc/sub"
cp "$src/numbers.txt" "$src/empty.txt" "$arjsrc/"
cp "$src/sub/random.bin" "$arjsrc/sub/"
cp "$src/deep/a/big.txt" "$arjsrc/sub/"
for m in 0 1 2 3 4; do
  check "arj -m$m writes an archive for us to read" bash -c "cd '$arjsrc' && arj a -m$m -r -y '$work/m$m.arj' '*' >/dev/null"
  mkdir -p "$work/arj-ours/$m"
  check "UNARJ32 extracts arj -m$m" arjdll "x -+ -a1 -c1 -n1 -x1 -jf1 -y1  \"$(win "$work/m$m.arj")\" \"$(win "$work/arj-ours/$m")\\\""
  check "  same files as packed" diff -r "$arjsrc" "$work/arj-ours/$m"
done

echo "judges: $fails failed"
[ "$fails" -eq 0 ]
