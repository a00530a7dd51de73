#!/usr/bin/env bash
# Decodes a 24-megapixel JPEG and PNG through our image plug-ins and through
# the picture control to its first paint (under Wine), beside ImageMagick's
# convert decoding the same files natively; prints the times and the ratios.
# Usage: bench/pictures.sh [repeats, default 3]
set -euo pipefail
# The control paints in a window: a display of its own when there is none.
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"; fi
root=$(cd "$(dirname "$0")/.." && pwd)
repeats=${1:-3}
build=${TAVIX_BUILD_DIR:-$root/build/x86_64}
out=$build/picture-bench
mkdir -p "$out"
cmake --build "$build" --target picture_bench >/dev/null
if [ ! -f "$out/big.png" ]; then
  # A photo-like 6000 x 4000: a plasma, enlarged, with a little grain.
  convert -size 1500x1000 -seed 3 plasma:fractal -resize 6000x4000! -attenuate 0.3 +noise Gaussian "$out/big.png"
  convert "$out/big.png" -quality 90 "$out/big.jpg"
fi
best_convert() { # file -> milliseconds, the best of the repeats
  local best=
  for _ in $(seq "$repeats"); do
    local start end ms
    start=$(date +%s%N)
    convert "$1" -depth 8 rgb:- >/dev/null
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}
printf '%-8s %10s %10s %10s %8s %8s\n' file convert plug-in control plug/cv ctrl/cv
for pair in big.jpg:ifjpeg big.png:ifpng; do
  file=${pair%%:*} stem=${pair##*:}
  cv=$(best_convert "$out/$file")
  result=$("$root/scripts/wine-run" "$build/bin/picture_bench.exe" "Z:${out//\//\\}\\$file" "$stem" "$repeats" | tr -d '\r')
  plugin=$(echo "$result" | awk '/^plugin/ {print $2}')
  control=$(echo "$result" | awk '/^control/ {print $2}')
  awk -v f="$file" -v c="$cv" -v p="$plugin" -v t="$control" \
    'BEGIN { printf "%-8s %8d ms %7.0f ms %7.0f ms %8.2f %8.2f\n", f, c, p, t, p / c, t / c }'
done
