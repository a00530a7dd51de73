#!/usr/bin/env bash
# Extraction through Tavix's main window (progress reports on) against the
# LZH library alone on the same command line, for an archive of many small
# files and one of a single large file. Target: Tavix adds under 3 %.
# The many-file archive is also extracted by name, every entry but one
# chosen in the list (as a user extracting almost everything would).
# Usage: bench/extract.sh   (BENCH_FILES: small files, default 10000;
#   BENCH_BIG_MB: size of the large file, default 1024; BENCH_NAME_ROUNDS:
#   rounds of the by-name road, default 4; TMPDIR: where the corpus goes,
#   default /dev/shm, a file system that does not slow down after deletions)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVIX_BUILD_DIR:-$root/build/x86_64}
[ -f "$build/bin/app_extract_bench.exe" ] || TAVIX_BUILD_DIR=$build bash "$root/scripts/build.sh" x86_64
files=${BENCH_FILES:-10000}
big_mb=${BENCH_BIG_MB:-1024}
export TAVIX_PATH=$build/bin/archivers
scratch=${TMPDIR:-/dev/shm}
[ -d "$scratch" ] || scratch=/tmp
work=$(mktemp -d "$scratch/bench-extract.XXXXXX")
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
call() { "$root/scripts/wine-run" "$build/bin/arccall.exe" "$@" >/dev/null; }
bench() {
  if [ -n "${DISPLAY:-}" ]; then "$root/scripts/wine-run" "$build/bin/app_extract_bench.exe" "$@"
  else xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-run" "$build/bin/app_extract_bench.exe" "$@"; fi
}

mkdir -p "$work/small" "$work/big"
python3 - "$work/small" "$files" <<'PY'
import os, sys
out, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    d = os.path.join(out, "d%02d" % (i % 50))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "file%05d.txt" % i), "w") as f:
        f.write(("line %d of a small text file\n" % i) * (1 + i % 40))
PY
# Text-like, compressible but not trivially: the system's license texts.
find /usr/share/common-licenses -type f -exec cat {} + > "$work/seed"
: > "$work/chunk"
while [ "$(stat -c %s "$work/chunk")" -lt 16777216 ]; do cat "$work/seed" >> "$work/chunk"; done
: > "$work/big/big.dat"
while [ "$(stat -c %s "$work/big/big.dat")" -lt $((big_mb * 1048576)) ]; do cat "$work/chunk" >> "$work/big/big.dat"; done
truncate -s $((big_mb * 1048576)) "$work/big/big.dat"
echo "== making the archives"
call UNLHA32.DLL Unlha cmd "a -r2 -x1 \"$(win "$work/small.lzh")\" \"$(win "$work/small")\\\" *.*"
call UNLHA32.DLL Unlha cmd "a -x1 \"$(win "$work/big.lzh")\" \"$(win "$work/big")\\\" *.*"
rm -rf "$work/small" "$work/big" "$work/seed" "$work/chunk"
echo "== $files small files"
bench "$(win "$work/small.lzh")" "$(win "$work/scratch-small")" "${BENCH_NAME_ROUNDS:-4}" | tr -d '\r'
echo "== one file of $big_mb MB"
bench "$(win "$work/big.lzh")" "$(win "$work/scratch-big")" | tr -d '\r'
