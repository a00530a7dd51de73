#!/usr/bin/env bash
# Reading the entry list: 10,000 and 100,000 entries from the spy library
# (which answers at once), record memory, and sorting by every column.
# Targets: 100,000 entries read in under 0.5 s, records under 40 MB, each sort under 0.5 s.
# BENCH_SIZES: the entry counts, default "10000 100000".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${TAVIX_BUILD_DIR:-$root/build/x86_64}
[ -f "$dir/bin/app_list_bench.exe" ] || TAVIX_BUILD_DIR=$dir bash "$root/scripts/build.sh" x86_64
run() {
  if [ -n "${DISPLAY:-}" ]; then "$root/scripts/wine-run" "$dir/bin/app_list_bench.exe" "$@"
  else xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-run" "$dir/bin/app_list_bench.exe" "$@"; fi
}
for n in ${BENCH_SIZES:-10000 100000}; do
  run "$n" 0 | tr -d '\r'
done
echo "with system file icons (the default):"
for n in ${BENCH_SIZES:-10000 100000}; do
  run "$n" 1 | tr -d '\r'
done
