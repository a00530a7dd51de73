#!/usr/bin/env bash
# Drags 1,000 entries (BENCH_ENTRIES) out of Tavix's list into another
# program's window with the mouse moved by xdotool, several runs (BENCH_RUNS),
# and prints the times from the move to the drop target holding the list.
set -euo pipefail
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVIX_BUILD_DIR:-$root/build/x86_64}
[ -f "$build/bin/drag_out_bench.exe" ] || cmake --build "$build" --target drag_out_bench >/dev/null
entries=${BENCH_ENTRIES:-1000}
runs=${BENCH_RUNS:-5}
export TAVIX_PATH=$build/bin/archivers
work=$(mktemp -d "$build/bench-drag.XXXXXX")
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
python3 - "$work/many.zip" "$entries" <<'PY'
import sys, zipfile
out, n = sys.argv[1], int(sys.argv[2])
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(n):
        z.writestr("d%02d/file%05d.txt" % (i % 20, i), ("line %d of a small text file\n" % i) * (1 + i % 40))
PY
echo "== dragging $entries entries out, $runs runs"
"$root/scripts/wine-run" "$build/bin/drag_out_bench.exe" "$(win "$work/many.zip")" "$(win "$work/scratch")" "$runs" | tr -d '\r'
