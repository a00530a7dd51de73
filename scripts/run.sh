#!/usr/bin/env bash
# Sets up, builds and starts Tavix under Wine with the archive named on the
# command line (default: the sample archive). Without a display it runs under
# Xvfb in Wine's virtual desktop, saves a screenshot and prints its path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archive=${1:-$root/samples/sample.lzh}
archive=$(readlink -f "$archive")
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86_64
bin=$root/build/x86_64/bin
export TAVIX_PATH=$bin/archivers
winarchive="Z:${archive//\//\\}"
if [ -n "${DISPLAY:-}" ]; then
  exec "$root/scripts/wine-run" "$bin/Tavix.exe" "$winarchive"
fi
shot=$root/build/screenshot.png
seconds=${TAVIX_SHOT_DELAY:-6}
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" explorer /desktop=Tavix,1024x768 "$2" "$3" &
  sleep "$4"
  import -window root "$5"
  # Closed as a user would (Ctrl+Q), so it writes its settings and gives back
  # its instance number and work folder; Wine takes the keys only while the
  # pointer is over the window (here where it first starts). Forced only when
  # it does not end; only our program ends: the Wine server may serve others.
  xdotool mousemove 300 300
  xdotool windowfocus --sync "$(xdotool search --name "Wine desktop" | head -1)"
  xdotool key ctrl+q
  sleep 3
  "$1" taskkill /f /im Tavix.exe
' run "$root/scripts/wine-run" "$bin/Tavix.exe" "$winarchive" "$seconds" "$shot" >/dev/null 2>&1 || true
[ -f "$shot" ] || { echo "run: no screenshot was taken" >&2; exit 1; }
echo "Screenshot: $shot"
