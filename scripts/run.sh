#!/usr/bin/env bash
# Sets up, builds and starts Tavix under Wine with the archive named on the
# command line (default: the sample archive). With a display it simply runs.
# Without one it runs under Xvfb, waits for the main window listing the
# archive, saves a screenshot, prints its path and closes Tavix as a user
# would; it fails when the window did not appear or Tavix showed a message.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archive=${1:-$root/samples/sample.lzh}
archive=$(readlink -f "$archive")
[ -f "$archive" ] || { echo "run: no such archive: $archive" >&2; exit 1; }
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86_64
bin=$root/build/x86_64/bin
export TAVIX_PATH=$bin/archivers
winarchive="Z:${archive//\//\\}"
if [ -n "${DISPLAY:-}" ]; then
  exec "$root/scripts/wine-run" "$bin/Tavix.exe" "$winarchive"
fi
shot=$root/build/screenshot.png
rm -f "$shot"
xvfb-run -a -s "-screen 0 1024x768x24" bash "$root/scripts/show-window.sh" \
  "$bin/Tavix.exe" "$winarchive" "$shot"
echo "Screenshot: $shot"
