#!/usr/bin/env bash
# A listed name sent back selects exactly the entry it was listed for, in
# every family, in archives written by the native tools. A name holding
# characters the code page lacks (¥, ₩, emoji, Chinese-only characters) is
# listed with '?' for each of them; each archive also holds a partner whose
# name differs only where the '?' stand ("a?b.txt" and "axb.txt"), which a
# '?' taken as a wildcard would select too. LZH and ARJ store names in the
# code page, so their partners pair with a literal '?' (Unix names may hold
# one). "*.txt" must still select everything.
# Usage: listed-names.sh BUILD_DIR   (runs arccall.exe under Wine)
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
export TAVIX_PATH=$build/bin/archivers
work=$build/listed-names-work
rm -rf "$work"
mkdir -p "$work"
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
call() { "$root/scripts/wine-run" "$build/bin/arccall.exe" "$@"; }
jlha() { java -Dlha.encoding=MS932 -jar /usr/share/java/jlhafrontend.jar "$@"; }
fail() { echo "FAILED: $*"; exit 1; }

unicode=("a¥b.txt" "won₩.txt" "e😀.txt" "们这说吗.txt" "c①.txt")
literal=("a?b.txt" "表?.txt")

# RAR has no writer among the native tools: a RAR 4 archive of stored
# entries, names in plain UTF-8 as Unix-made archives carry them.
rar4() {
  python3 - "$@" <<'EOF'
import struct, sys, zlib, os
out_path, folder, names = sys.argv[1], sys.argv[2], sys.argv[3:]
def block(body):
    return struct.pack('<H', zlib.crc32(body) & 0xFFFF) + body
out = b'Rar!\x1a\x07\x00' + block(bytes([0x73]) + struct.pack('<HH', 0, 13) + bytes(6))
for name in names:
    data = open(os.path.join(folder, name), 'rb').read()
    raw = name.encode('utf-8')
    body = bytes([0x74]) + struct.pack('<HHIIBIIBBHI', 0x8000, 32 + len(raw), len(data), len(data), 2,
                                       zlib.crc32(data), 0x5A8C6000, 20, 0x30, len(raw), 0x20) + raw
    out += block(body) + data
out += block(bytes([0x7B]) + struct.pack('<HH', 0x4000, 7))
open(out_path, 'wb').write(out)
EOF
}

# make FAMILY ARCHIVE FOLDER NAMES...: the archive of the named files, by the family's native tool.
make() {
  local family=$1 archive=$2 folder=$3
  shift 3
  rm -f "$archive"
  case $family in
    zip) python3 -c 'import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for n in sys.argv[3:]: z.write(sys.argv[2] + "/" + n, n)' "$archive" "$folder" "$@" ;;
    tar) bsdtar -cf "$archive" -C "$folder" "$@" ;;
    tgz) bsdtar -czf "$archive" -C "$folder" "$@" ;;
    tbz) bsdtar -cjf "$archive" -C "$folder" "$@" ;;
    cab) (cd "$folder" && gcab -c -z "$archive" "$@") ;;
    rar) rar4 "$archive" "$folder" "$@" ;;
    # These tools expand wildcards in the names they are given: each name is
    # added from a folder holding that file alone.
    lzh | arj)
      local name alone=$work/alone
      for name in "$@"; do
        rm -rf "$alone" && mkdir -p "$alone" && cp "$folder/$name" "$alone/"
        if [ "$family" = lzh ]; then
          (cd "$alone" && jlha a "$archive" "$name" >/dev/null 2>&1)
        else
          (cd "$alone" && arj a -y "$archive" "$name" >/dev/null)
        fi
      done ;;
  esac
  [ -s "$archive" ] || fail "$family: the native tool wrote no archive"
}

# extract FAMILY ARCHIVE DESTINATION NAME: the family's extraction command line, as Tavix sends it.
extract() {
  local a d
  a=$(win "$2") d="$(win "$3")\\"
  case $1 in
    zip) call UNZIP32.DLL UnZip cmd "-x -o \"$a\" \"$d\" \"$4\"" ;;
    tar | tgz | tbz) call TAR32.DLL Tar cmd "-x -f \"$a\" -o \"$d\" \"$4\"" ;;
    cab) call CAB32.DLL Cab cmd "-x -o \"$a\" \"$d\" \"$4\"" ;;
    rar) call UNRAR32.DLL Unrar cmd "-x -y \"$a\" \"$d\" \"$4\"" ;;
    lzh) call UNLHA32.DLL Unlha cmd "x -c1 \"$a\" \"$d\" \"$4\"" ;;
    arj) call UNARJ32.DLL Arj cmd "x -c1 \"$a\" \"$d\" \"$4\"" ;;
  esac
}
library() {
  case $1 in
    zip) echo "UNZIP32.DLL UnZip" ;;
    tar | tgz | tbz) echo "TAR32.DLL Tar" ;;
    cab) echo "CAB32.DLL Cab" ;;
    rar) echo "UNRAR32.DLL Unrar" ;;
    lzh) echo "UNLHA32.DLL Unlha" ;;
    arj) echo "UNARJ32.DLL Arj" ;;
  esac
}

# The files: the i-th special name holds i+1 bytes and its partner 100+i,
# so that a size in a listing or on disk tells which file it is.
check() {
  local family=$1
  shift
  local specials=("$@") dir=$work/$family i
  mkdir -p "$dir/src"
  for i in "${!specials[@]}"; do head -c $((i + 1)) /dev/zero | tr '\0' 's' >"$dir/src/${specials[$i]}"; done
  local archive=$dir/first.$family
  make "$family" "$archive" "$dir/src" "${specials[@]}"
  # How the library lists each special name.
  local -a lib
  read -r -a lib <<<"$(library "$family")"
  call "${lib[@]}" list "$(win "$archive")" >"$dir/first.txt" || { cat "$dir/first.txt"; fail "$family: listing"; }
  local -A listed
  local name size rest
  while IFS=$'\t' read -r name size rest; do listed[$size]=$name; done <"$dir/first.txt"
  [ "${#listed[@]}" = "${#specials[@]}" ] || { cat "$dir/first.txt"; fail "$family: listing has ${#listed[@]} names"; }
  # Partners: the listed name with 'x' for each '?'; for ① (in the code
  # page) the best-fit look-alike "1".
  local partners=() all=("${specials[@]}")
  for i in "${!specials[@]}"; do
    name=${listed[$((i + 1))]:?"$family: no listed name of ${specials[$i]}"}
    [[ $name != *\\* ]] || fail "$family: ${specials[$i]} listed as a path: $name"
    local partner=${name//\?/x}
    partner=${partner//①/1}
    if [ "$partner" != "$name" ] && [ "$partner" != "${specials[$i]}" ]; then
      head -c $((100 + i)) /dev/zero | tr '\0' 'p' >"$dir/src/$partner"
      partners+=("$partner")
    fi
  done
  [ "${#partners[@]}" -gt 0 ] || fail "$family: no name was listed with '?'"
  all+=("${partners[@]}")
  archive=$dir/both.$family
  make "$family" "$archive" "$dir/src" "${specials[@]}" "${partners[@]}"
  call "${lib[@]}" count "$(win "$archive")" >"$dir/count.txt"
  [ "$(tr -dc 0-9 <"$dir/count.txt")" = "${#all[@]}" ] || fail "$family: $(cat "$dir/count.txt") entries, not ${#all[@]}"
  for i in "${!specials[@]}"; do
    name=${listed[$((i + 1))]}
    local out=$dir/out$i
    extract "$family" "$archive" "$out" "$name" >"$dir/x.txt" || { cat "$dir/x.txt"; fail "$family: extracting $name"; }
    local files
    files=$(find "$out" -type f -printf '%s\n')
    [ "$files" = "$((i + 1))" ] || {
      find "$out" -type f -printf '%P %s\n'; fail "$family: the listed name $name extracted the above, not ${specials[$i]} alone"; }
    # The listing asked for the listed name finds that entry alone too.
    call "${lib[@]}" list "$(win "$archive")" "$name" >"$dir/one.txt" || fail "$family: listing $name"
    [ "$(cut -f2 "$dir/one.txt" | tr '\n' ' ')" = "$((i + 1)) " ] || {
      cat "$dir/one.txt"; fail "$family: listing by $name gave the above"; }
  done
  extract "$family" "$archive" "$dir/every" "*.txt" >"$dir/x.txt" || { cat "$dir/x.txt"; fail "$family: extracting *.txt"; }
  [ "$(find "$dir/every" -type f | wc -l)" = "${#all[@]}" ] || {
    find "$dir/every" -type f; fail "$family: *.txt did not extract all ${#all[@]} files"; }
  echo "ok   $family: ${#specials[@]} listed names select only their own entries beside ${#partners[@]} partners"
}

for family in zip tar tgz tbz cab rar; do check "$family" "${unicode[@]}"; done
for family in lzh arj; do check "$family" "${literal[@]}"; done
rm -rf "$work"
echo "listed names select exactly their entries"
