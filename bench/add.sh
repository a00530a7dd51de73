#!/usr/bin/env bash
# Adding to a new LZH archive through Tavix's main window (new archive, add
# step, progress on) against the LZH library's own command alone, for a
# folder of many small files and for one large file; also the library alone
# with the very command line the window sent, which tells the window's share
# from the library's. Best of runs whose order turns each round; target:
# Tavix adds under 10 %. The corpus and the archives live on tmpfs where
# there is one (many small files would otherwise measure the disk). The
# large file's archive made through the window is then judged by lhasa, and
# a CAB of the same file made by our CAB32 by cabextract and gcab, byte for
# byte. Run it with the machine as quiet as it gets: the load is printed.
# Usage: bench/add.sh   (BENCH_FILES: small files, default 10000;
#   BENCH_BIG_MB: size of the large file, default 1024; BENCH_ROUNDS: 4,
#   BENCH_BIG_ROUNDS: 2; BENCH_ONLY=small or big)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVIX_BUILD_DIR:-$root/build/x86_64}
cmake --build "$build" --target add_bench unlha32 CAB32 arccall >/dev/null
files=${BENCH_FILES:-10000}
big_mb=${BENCH_BIG_MB:-1024}
export TAVIX_PATH=$build/bin/archivers
# The corpus goes at the end.
. "$root/bench/windowed.sh"
scratch_on_tmpfs add
bench() { run_windowed add_bench.exe "$@"; }

only=${BENCH_ONLY:-}
load() { echo "(load average: $(cut -d' ' -f1-3 /proc/loadavg))"; }
if [ "$only" != big ]; then
  mkdir -p "$work/small"
  python3 - "$work/small" "$files" <<'PY'
import os, sys
out, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    d = os.path.join(out, "d%02d" % (i % 50))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "file%05d.txt" % i), "w") as f:
        f.write(("line %d of a small text file\n" % i) * (1 + i % 40))
PY
  echo "== $files small files $(load)"
  bench "$(win "$work/small")" "$(win "$work/scratch-small")" "${BENCH_ROUNDS:-4}" | tr -d '\r'
  load
  rm -rf "$work/small" "$work/scratch-small"
fi
[ "$only" = small ] && exit 0
mkdir -p "$work/big"
# Text-like, compressible but not trivially: the system's license texts.
find /usr/share/common-licenses -type f -exec cat {} + > "$work/seed"
: > "$work/chunk"
while [ "$(stat -c %s "$work/chunk")" -lt 16777216 ]; do cat "$work/seed" >> "$work/chunk"; done
: > "$work/big/big.dat"
while [ "$(stat -c %s "$work/big/big.dat")" -lt $((big_mb * 1048576)) ]; do cat "$work/chunk" >> "$work/big/big.dat"; done
truncate -s $((big_mb * 1048576)) "$work/big/big.dat"
rm -f "$work/seed" "$work/chunk"
echo "== one file of $big_mb MB $(load)"
bench "$(win "$work/big")" "$(win "$work/scratch-big")" "${BENCH_BIG_ROUNDS:-2}" "$(win "$work/big.lzh")" | tr -d '\r'
load
rm -rf "$work/scratch-big"
expected=$(md5sum < "$work/big/big.dat")
echo "== judging the $big_mb MB file"
lhasa -t "$work/big.lzh" >/dev/null && echo "lhasa -t: ok"
[ "$(lhasa -pq "$work/big.lzh" big/big.dat 2>/dev/null | md5sum)" = "$expected" ] \
  && echo "lhasa: byte for byte" || echo "lhasa: DIFFERENT"
rm -f "$work/big.lzh"
start=$(date +%s.%N)
"$root/scripts/wine-run" "$build/bin/arccall.exe" CAB32.DLL Cab cmd "-a \"$(win "$work/big.cab")\" \"$(win "$work/big")\\\" big.dat" >/dev/null
echo "CAB32 alone: $(python3 -c "import sys; print(round(float(sys.argv[2]) - float(sys.argv[1]), 3))" "$start" "$(date +%s.%N)") s"
cabextract -t "$work/big.cab" >/dev/null && echo "cabextract -t: ok"
[ "$(cabextract -p "$work/big.cab" | md5sum)" = "$expected" ] && echo "cabextract: byte for byte" || echo "cabextract: DIFFERENT"
mkdir "$work/gcab"
gcab -x -C "$work/gcab" "$work/big.cab" && [ "$(md5sum < "$work/gcab/big.dat")" = "$expected" ] \
  && echo "gcab: byte for byte" || echo "gcab: DIFFERENT"

