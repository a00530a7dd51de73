#!/usr/bin/env bash
# Reading the entry list: 10,000 and 100,000 entries from the spy library
# (which answers at once), record memory, and sorting by every column.
# Targets: 100,000 entries read in under 0.5 s, records under 40 MB, each sort under 0.5 s.
# BENCH_SIZES: the entry counts, default "10000 100000"; BENCH_RUNS: reads of each.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${TAVIX_BUILD_DIR:-$root/build/x86_64}
[ -f "$dir/bin/app_list_bench.exe" ] || TAVIX_BUILD_DIR=$dir bash "$root/scripts/build.sh" x86_64
run() {
  if [ -n "${DISPLAY:-}" ]; then "$root/scripts/wine-run" "$dir/bin/app_list_bench.exe" "$@"
  else xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-run" "$dir/bin/app_list_bench.exe" "$@"; fi
}
# Each size read BENCH_RUNS times (default 3) without and with the system
# file icons (the default), alternating which goes first; the sorts of the
# last run are shown, the reading times of every run and their best.
runs=${BENCH_RUNS:-3}
for n in ${BENCH_SIZES:-10000 100000}; do
  times0=() times1=()
  for ((i = 0; i < runs; i++)); do
    order="0 1"
    if ((i % 2)); then order="1 0"; fi
    for icons in $order; do
      out=$(run "$n" "$icons" | tr -d '\r')
      echo "icons $icons: $(head -1 <<<"$out")"
      t=$(sed -n 's/.*read \([0-9.]*\) s.*/\1/p' <<<"$out")
      if ((icons)); then last1=$out times1+=("$t"); else last0=$out times0+=("$t"); fi
    done
  done
  best0=$(printf '%s\n' "${times0[@]}" | sort -g | head -1)
  best1=$(printf '%s\n' "${times1[@]}" | sort -g | head -1)
  echo "== $n entries: best read $best0 s without icons, $best1 s with system file icons"
  echo "without icons:"; tail -n +2 <<<"$last0"
  echo "with system file icons:"; tail -n +2 <<<"$last1"
done
