#!/usr/bin/env bash
# Benchmark of the file collector behind Add: a folder tree of N files (10 per
# cent of them *.bak, excluded by one pattern), collected with unlimited
# sub-folder recursion. Prints files, time and peak memory for 10,000 and
# 100,000 files (BENCH_SIZES). Target: under 1 s for 100,000 files, growing linearly.
# Usage: bench/collector.sh [build folder]   (default build/x86_64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${TAVIX_BUILD_DIR:-$root/build/x86_64}}
bench=$build/bin/collector_bench.exe
[ -f "$bench" ] || { echo "build first: $bench missing" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tavix-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# N files: 10 top folders, each with 10 sub-folders of N/100 files.
make_tree() {
  python3 - "$1" "$2" <<'PY'
import os, sys
top, n = sys.argv[1], int(sys.argv[2])
per = n // 100
for a in range(10):
    for b in range(10):
        d = os.path.join(top, "dir%02d" % a, "sub%02d" % b)
        os.makedirs(d)
        for i in range(per):
            name = "file%05d.%s" % (i, "bak" if i % 10 == 0 else "txt")
            with open(os.path.join(d, name), "w") as f:
                f.write("x")
PY
}

for n in ${BENCH_SIZES:-10000 100000}; do
  make_tree "$work/t$n" "$n"
  # A warm-up run fills the host's directory cache; the second one counts.
  "$root/scripts/wine-run" "$bench" "Z:${work//\//\\}\\t$n" >/dev/null
  printf '%7d files: ' "$n"
  "$root/scripts/wine-run" "$bench" "Z:${work//\//\\}\\t$n"
done
