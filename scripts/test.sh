#!/usr/bin/env bash
# Sets up, builds both architectures and runs every test (unit, integration
# with the stand-in archivers, GUI under Xvfb). The 32-bit suite runs where
# Wine can execute 32-bit programs; the 64-bit one always. Ends with CTest's
# summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = --suites ]; then
  # Second stage, on a display: the suites themselves.
  shift
  . "$root/scripts/wine-env.sh"
  status=0
  if "$root/scripts/wine-run32" --check; then
    echo "== tests of the i686 build =="
    (cd "$root/build/i686" && ctest --output-on-failure --no-tests=error -j2 "$@") || status=$?
  else
    echo "== tests of the i686 build: not run: this machine cannot execute 32-bit programs (no 32-bit Wine loader) =="
  fi
  echo "== tests of the x86_64 build =="
  (cd "$root/build/x86_64" && ctest --output-on-failure --no-tests=error -j2 "$@") || status=$?
  exit $status
fi

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" i686
bash "$root/scripts/build.sh" x86_64
status=0
if [ -n "${DISPLAY:-}" ]; then
  bash "$0" --suites "$@" || status=$?
else
  xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --suites "$@" || status=$?
fi
. "$root/scripts/wine-env.sh"
wineserver -k >/dev/null 2>&1 || true
exit $status
