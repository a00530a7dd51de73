#!/usr/bin/env bash
# Copies every entry of an archive of many small files in folders to the
# clipboard and pastes them into a new archive, through the main window.
# Usage: bench/clipboard.sh   (BENCH_FILES: entries, default 10000)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVIX_BUILD_DIR:-$root/build/x86_64}
[ -f "$build/bin/app_clipboard_bench.exe" ] || cmake --build "$build" --target app_clipboard_bench arccall >/dev/null
files=${BENCH_FILES:-10000}
export TAVIX_PATH=$build/bin/archivers
work=$(mktemp -d "$build/bench-clipboard.XXXXXX")
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
call() { "$root/scripts/wine-run" "$build/bin/arccall.exe" "$@" >/dev/null; }
bench() {
  if [ -n "${DISPLAY:-}" ]; then "$root/scripts/wine-run" "$build/bin/app_clipboard_bench.exe" "$@"
  else xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-run" "$build/bin/app_clipboard_bench.exe" "$@"; fi
}
mkdir -p "$work/src"
python3 - "$work/src" "$files" <<'PY'
import os, sys
out, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    d = os.path.join(out, "folder%02d" % (i % 50))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "file%05d.txt" % i), "w") as f:
        f.write(("line %d of a small text file\n" % i) * (1 + i % 20))
PY
echo "== making an archive of $files files in 50 folders"
call UNLHA32.DLL Unlha cmd "a -r2 -x1 \"$(win "$work/many.lzh")\" \"$(win "$work/src")\\\" *.*"
rm -rf "$work/src"
echo "== copy and paste"
bench "$(win "$work/many.lzh")" "$(win "$work/scratch")" | tr -d '\r'
( . "$root/scripts/wine-env.sh" && wineserver -k >/dev/null 2>&1 ) || true
