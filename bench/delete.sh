#!/usr/bin/env bash
# Deletes every tenth entry of an LZH archive of many small files through the
# main window, the delete question answered "All": one library command, its
# time printed, against the library's own delete of the same names. The
# archive lives on tmpfs where there is one; the one the window left is then
# listed by lhasa. Exits non-zero when the window ran more than one command.
# Usage: bench/delete.sh   (BENCH_FILES: entries, default 10000; BENCH_ROUNDS: 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVIX_BUILD_DIR:-$root/build/x86_64}
cmake --build "$build" --target delete_bench arccall unlha32 >/dev/null
files=${BENCH_FILES:-10000}
export TAVIX_PATH=$build/bin/archivers
. "$root/bench/windowed.sh"
scratch_on_tmpfs delete
bench() { run_windowed delete_bench.exe "$@"; }
mkdir -p "$work/src"
python3 - "$work/src" "$files" <<'PY'
import os, sys
out, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    d = os.path.join(out, "d%02d" % (i % 50))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "file%05d.txt" % i), "w") as f:
        f.write(("line %d of a small text file\n" % i) * (1 + i % 40))
PY
"$root/scripts/wine-run" "$build/bin/arccall.exe" UNLHA32.DLL Unlha cmd \
  "a -r2 -x1 \"$(win "$work/many.lzh")\" \"$(win "$work/src")\\\" *.*" >/dev/null
rm -rf "$work/src"
echo "== deleting every tenth of $files entries with All (load: $(cut -d' ' -f1-3 /proc/loadavg))"
status=0
bench "$(win "$work/many.lzh")" "$(win "$work/scratch")" "${BENCH_ROUNDS:-3}" "$(win "$work/left.lzh")" \
  | tr -d '\r' || status=$?
echo "lhasa lists $(lhasa -l "$work/left.lzh" | grep -c 'file[0-9]*\.txt') files in what the window left"
( . "$root/scripts/wine-env.sh" && wineserver -k >/dev/null 2>&1 ) || true
exit $status
