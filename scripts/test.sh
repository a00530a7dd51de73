#!/usr/bin/env bash
# Sets up, builds both architectures and runs every test (unit, integration
# with the stand-in archivers, GUI under Xvfb). Ends with CTest's summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" i686
bash "$root/scripts/build.sh" x86_64
. "$root/scripts/wine-env.sh"
cd "$root/build/x86_64"
status=0
if [ -n "${DISPLAY:-}" ]; then
  ctest --output-on-failure -j2 "$@" || status=$?
else
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 "$@" || status=$?
fi
wineserver -k >/dev/null 2>&1 || true
exit $status
