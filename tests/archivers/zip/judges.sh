#!/usr/bin/env bash
# Independent judges for our ZIP libraries. Archives our ZIP32J writes must
# pass Info-ZIP unzip, 7zz and Python's zipfile; archives that zip, 7zz and
# Python write must come out of our UNZIP32 byte for byte. Our libraries run
# under Wine through zipcall.exe; the judges run natively on the same files.
# usage: judges.sh BUILD_DIR
set -u
build=$1
root=$(cd "$(dirname "$0")/../../.." && pwd)
run="$root/scripts/wine-run"
call="$build/bin/zipcall.exe"
lib="$build/bin/archivers"
work=$(mktemp -d /tmp/zipjudge.XXXXXX)
trap 'rm -rf "$work"' EXIT
fails=0

win() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
zipdll() { "$run" "$call" "$(win "$lib/ZIP32J.DLL")" Zip "$1"; }
unzipdll() { "$run" "$call" "$(win "$lib/UNZIP32.DLL")" UnZip "$1"; }
qxzip() { "$run" "$call" "$(win "$lib/QXZIP32.DLL")" Zip "$1"; }
export run call lib
export -f win zipdll unzipdll qxzip
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
same_tree() { diff -r "$1" "$2"; }

# The corpus: text, random data, an empty file, a file named with brackets,
# Japanese names (all in CP932) in a sub-folder, and a file bigger than one block.
src=$work/src
mkdir -p "$src/sub/日本語" "$src/deep/a/b"
seq 1 20000 > "$src/numbers.txt"
head -c 300000 /dev/urandom > "$src/sub/random.bin"
: > "$src/empty.txt"
echo bracket > "$src/sub/[x].txt"
echo 表示 > "$src/sub/日本語/表.txt"
yes 'compressible line of text' | head -c 3000000 > "$src/deep/a/b/big.txt"

# ---- archives we write, read by the native tools
check "ZIP32J creates a recursive archive" zipdll "-r -9 -D $(win "$work/ours.zip") $(win "$src")\\ *.*"
check "unzip tests it" unzip -tq "$work/ours.zip"
check "7zz tests it" 7zz t "$work/ours.zip"
mkdir "$work/out-unzip"
check "unzip extracts it byte for byte (names from the unicode path field)" \
  bash -c "unzip -q '$work/ours.zip' -d '$work/out-unzip' && diff -r '$src' '$work/out-unzip'"
check "Python extracts it byte for byte, reading the names as CP932" bash -c "python3 -c \"import sys, zipfile; zipfile.ZipFile(sys.argv[1], metadata_encoding='cp932').extractall(sys.argv[2])\" '$work/ours.zip' '$work/out-py932' && diff -r '$src' '$work/out-py932'"
check "names are stored in CP932 without the UTF-8 flag" python3 - "$work/ours.zip" <<'EOF'
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = {}
for i in z.infolist():
    assert not i.flag_bits & 0x800, i.filename
    names[i.filename.encode('cp437').decode('cp932')] = i
assert 'sub/日本語/表.txt' in names, sorted(names)
assert names['sub/random.bin'].compress_type == zipfile.ZIP_STORED  # deflate could not shrink it
assert names['deep/a/b/big.txt'].compress_type == zipfile.ZIP_DEFLATED
assert not any(n.endswith('/') for n in names)  # -D: no folder entries
EOF

# ---- many files at once: most are compressed on worker threads ahead of the
# writer, the largest in the calling thread; every entry must still hold what
# zlib writes at that level (Python's zlib judges), and bsdtar must agree.
mix=$work/mix
mkdir -p "$mix/small/a" "$mix/small/b" "$mix/noise" "$mix/日本語" "$mix/empty folder"
python3 - "$mix" <<'EOF'
import os, random, sys
root, rng = sys.argv[1], random.Random(7)
words = [''.join(rng.choice('abcdefghij') for _ in range(rng.randint(2, 8))) for _ in range(500)]
def text(n):
    return ' '.join(rng.choice(words) for _ in range(n // 5)).encode()[:n]
for i in range(40):
    open(f'{root}/small/{"ab"[i % 2]}/t{i}.txt', 'wb').write(text(rng.randint(1, 300000)))
for i in range(4):
    open(f'{root}/noise/n{i}.bin', 'wb').write(rng.randbytes(rng.randint(1000, 1500000)))
open(f'{root}/empty.txt', 'wb').close()
open(f'{root}/日本語/表.txt', 'wb').write('表示\n'.encode('cp932'))
EOF
yes 'a line that repeats, and one that does not quite: 0123456789' | head -c 40000000 > "$mix/large.txt"
same_deflate() { # zip level
  python3 - "$1" "$mix" "$2" <<'EOF'
import os, sys, zipfile, zlib
path, src, level = sys.argv[1], sys.argv[2], int(sys.argv[3])
z, raw_file, files = zipfile.ZipFile(path, metadata_encoding='cp932'), open(path, 'rb'), 0
for i in z.infolist():
    if i.is_dir():
        assert os.path.isdir(os.path.join(src, i.filename)), i.filename
        continue
    data = open(os.path.join(src, i.filename), 'rb').read()
    raw_file.seek(i.header_offset)
    h = raw_file.read(30)
    assert h[:4] == b'PK\x03\x04', i.filename
    raw_file.seek(i.header_offset + 30 + int.from_bytes(h[26:28], 'little') + int.from_bytes(h[28:30], 'little'))
    raw = raw_file.read(i.compress_size)
    c = zlib.compressobj(level, zlib.DEFLATED, -15)
    deflated = c.compress(data) + c.flush()
    if i.compress_type == zipfile.ZIP_DEFLATED:
        assert raw == deflated, i.filename
    else:  # stored only when deflate could not shrink it
        assert i.compress_type == zipfile.ZIP_STORED and raw == data and len(deflated) > len(data), i.filename
    files += 1
assert files == 47, files
assert z.testzip() is None
EOF
}
for level in 1 6 9; do
  check "ZIP32J adds 47 files and the folders at -$level" zipdll "-r -$level $(win "$work/mix$level.zip") $(win "$mix")\\ *.*"
  check "every entry at -$level is zlib's deflate of the file" same_deflate "$work/mix$level.zip" "$level"
done
check "unzip tests it" unzip -tq "$work/mix6.zip"
check "bsdtar extracts it byte for byte, Japanese names, empty folder and empty file included" bash -c \
  "mkdir '$work/out-bsdtar' && LC_ALL=C.UTF-8 bsdtar -xf '$work/mix6.zip' -C '$work/out-bsdtar' && diff -r '$mix' '$work/out-bsdtar'"

check "ZIP32J encrypts with -P" zipdll "-P secret $(win "$work/secret.zip") $(win "$src")\\ numbers.txt sub\\random.bin"
check "unzip decrypts it" unzip -tq -P secret "$work/secret.zip"
check "7zz decrypts it" 7zz t -psecret "$work/secret.zip"
check "unzip refuses a wrong password" bash -c "! unzip -tq -P wrong '$work/secret.zip'"

check "ZIP32J stores folder entries without -D" zipdll "-r -0 $(win "$work/folders.zip") $(win "$src")\\ deep"
check "unzip sees the folders and stored data" bash -c "unzip -Z1 '$work/folders.zip' | grep -qx 'deep/a/' && unzip -v '$work/folders.zip' | grep -q Stored"

cp "$work/ours.zip" "$work/del.zip"
check "ZIP32J deletes an entry" zipdll "-d $(win "$work/del.zip") numbers.txt"
check "the rest stays valid" bash -c "unzip -tq '$work/del.zip' && ! unzip -Z1 '$work/del.zip' | grep -q numbers.txt"

cp "$work/ours.zip" "$work/upd.zip"
cp -a "$src" "$work/src2"
echo changed > "$work/src2/numbers.txt"
# Newer by more than the 2-second DOS time step, without waiting for it.
touch -d "@$(( $(date +%s) + 10 ))" "$work/src2/numbers.txt"
check "ZIP32J freshens a changed file" zipdll "-f $(win "$work/upd.zip") $(win "$work/src2")\\ numbers.txt sub\\random.bin"
check "the new content is in" bash -c "[ \"\$(unzip -p '$work/upd.zip' numbers.txt)\" = changed ] && unzip -tq '$work/upd.zip'"
check "QXZIP32 -ru adds to an existing archive" qxzip "-ru $(win "$work/upd.zip") $(win "$src/empty.txt")"
check "the entry count grows by one" bash -c "[ \$(unzip -Z1 '$work/upd.zip' | wc -l) -eq \$(( \$(unzip -Z1 '$work/ours.zip' | wc -l) + 1 )) ]"

# ---- a self-extractor: our -A makes the offsets right for every reader
head -c 5000 /dev/urandom > "$work/stub.bin"
cat "$work/stub.bin" "$work/ours.zip" > "$work/sfx.exe"
check "UNZIP32 extracts from behind a stub" bash -c "unzipdll '-x -o $(win "$work/sfx.exe") $(win "$work/out-sfx")\\' >/dev/null && diff -r '$src' '$work/out-sfx'"
check "ZIP32J -A adjusts the offsets" zipdll "-A $(win "$work/sfx.exe")"
check "unzip reads it without complaint" unzip -tq "$work/sfx.exe"
check "the stub is still in front" cmp -n 5000 "$work/stub.bin" "$work/sfx.exe"
check "ZIP32J -J removes the stub" bash -c "zipdll '-J -u $(win "$work/sfx.exe") $(win "$src")\\ empty.txt' >/dev/null && head -c 4 '$work/sfx.exe' | od -An -tx1 | grep -q '50 4b 03 04' && unzip -tq '$work/sfx.exe'"

# ---- archives the native tools write, read by us
(cd "$src" && zip -qr -X "$work/native.zip" .)
check "UNZIP32 extracts Info-ZIP's archive" bash -c "unzipdll '-x -o $(win "$work/native.zip") $(win "$work/out-native")\\' >/dev/null && diff -r '$src' '$work/out-native'"
(cd "$src" && zip -qr -X -P secret "$work/native-secret.zip" .)
check "UNZIP32 decrypts Info-ZIP's encryption" bash -c "unzipdll '-x -o -Psecret $(win "$work/native-secret.zip") $(win "$work/out-native-secret")\\' >/dev/null && diff -r '$src' '$work/out-native-secret'"
# A fixed encrypted archive and a wrong password that passes the one-byte
# check of both entries (found by the generator): the data entry must fail on
# its CRC, and the empty entry, which has nothing to check, must not stay.
python3 "$root/tests/archivers/zip/wrong_password.py" "$work/fixed-secret.zip" "$work/wrong-password"
wrong=$(cat "$work/wrong-password")
check "the fixed archive opens with the right password (unzip)" unzip -tq -P right "$work/fixed-secret.zip"
check "the wrong password passes unzip's header check too (the case is real)" bash -c "unzip -t -P '$wrong' '$work/fixed-secret.zip' | grep -q 'bad CRC'"
check "UNZIP32 fails on a wrong password that passes the check and writes nothing" bash -c "! unzipdll '-x -o -P$wrong $(win "$work/fixed-secret.zip") $(win "$work/out-wrong")\\' >/dev/null && [ -z \"\$(find '$work/out-wrong' -type f 2>/dev/null)\" ]"
check "UNZIP32 extracts both entries with the right password" bash -c "unzipdll '-x -o -Pright $(win "$work/fixed-secret.zip") $(win "$work/out-right")\\' >/dev/null && [ -f '$work/out-right/empty.txt' ] && unzip -p -P right '$work/fixed-secret.zip' data.txt | cmp - '$work/out-right/data.txt'"
check "UNZIP32 fails on a wrong password and writes nothing" bash -c "! unzipdll '-x -o -Pwrong $(win "$work/native-secret.zip") $(win "$work/out-wrong2")\\' >/dev/null && [ -z \"\$(find '$work/out-wrong2' -type f 2>/dev/null)\" ]"
# The right password and one entry damaged: the entry that passes its CRC
# is kept, the damaged one is not, and the command reports the failure.
mkdir -p "$work/damaged-src"
seq 1 3000 > "$work/damaged-src/good.txt"
seq 5000 9000 > "$work/damaged-src/bad.txt"
(cd "$work/damaged-src" && zip -q -X -P right "$work/damaged-secret.zip" good.txt bad.txt)
python3 - "$work/damaged-secret.zip" <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
at = data.find(b'PK\x03\x04', 1)  # the second entry, bad.txt
name_length, extra_length = struct.unpack_from('<HH', data, at + 26)
size = struct.unpack_from('<I', data, at + 18)[0]
start = at + 30 + name_length + extra_length + 12  # after the encryption header
data[start + (size - 12) // 2] ^= 0x55
open(sys.argv[1], 'wb').write(data)
EOF
check "UNZIP32 keeps the entry that passed its CRC when another is damaged, and fails" bash -c "! unzipdll '-x -o -Pright $(win "$work/damaged-secret.zip") $(win "$work/out-damaged")\\' >/dev/null && cmp '$work/damaged-src/good.txt' '$work/out-damaged/good.txt' && [ ! -e '$work/out-damaged/bad.txt' ]"
(cd "$src" && zip -qr -X -fz "$work/native64.zip" .)
check "UNZIP32 extracts a zip64 archive" bash -c "unzipdll '-x -o $(win "$work/native64.zip") $(win "$work/out-native64")\\' >/dev/null && diff -r '$src' '$work/out-native64'"
(cd "$src" && 7zz a -tzip -mx=5 "$work/7z.zip" . >/dev/null)
check "UNZIP32 extracts 7zz's archive (UTF-8 names)" bash -c "unzipdll '-x -o $(win "$work/7z.zip") $(win "$work/out-7z")\\' >/dev/null && diff -r '$src' '$work/out-7z'"
(cd "$src" && 7zz a -tzip -mm=BZip2 "$work/7z-bzip2.zip" . >/dev/null)
check "UNZIP32 extracts bzip2 entries (through libarchive)" bash -c "unzipdll '-x -o $(win "$work/7z-bzip2.zip") $(win "$work/out-bz")\\' >/dev/null && diff -r '$src' '$work/out-bz'"
python3 - "$src" "$work/py932.zip" <<'EOF'
import os, sys, zipfile
class Cp932Info(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode('cp932'), self.flag_bits & ~0x800
root, out = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
    for folder, dirs, files in os.walk(root):
        for f in files:
            path = os.path.join(folder, f)
            info = Cp932Info(os.path.relpath(path, root), zipfile.ZipInfo.from_file(path).date_time)
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, open(path, 'rb').read())
EOF
check "UNZIP32 extracts CP932 names without the flag (Python)" bash -c "unzipdll '-x -o $(win "$work/py932.zip") $(win "$work/out-py")\\' >/dev/null && diff -r '$src' '$work/out-py'"

echo "$fails failed"
[ "$fails" -eq 0 ]
