#!/usr/bin/env bash
# Sets up, builds both architectures and runs every test (unit, integration
# with the stand-in archivers, GUI under Xvfb). The 32-bit suite runs where
# Wine can execute 32-bit programs; the 64-bit one always. Ends with CTest's
# summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" i686
bash "$root/scripts/build.sh" x86_64
. "$root/scripts/wine-env.sh"

suite() { # arch [ctest args...]
  local arch=$1; shift
  echo "== tests of the $arch build =="
  (cd "$root/build/$arch" && ctest --output-on-failure --no-tests=error -j2 "$@")
}
run() {
  local status=0
  if "$root/scripts/wine-run32" --check; then
    suite i686 "$@" || status=$?
  else
    echo "== tests of the i686 build: not run: this machine cannot execute 32-bit programs (no 32-bit Wine loader) =="
  fi
  suite x86_64 "$@" || status=$?
  return $status
}

status=0
if [ -n "${DISPLAY:-}" ]; then
  run "$@" || status=$?
else
  export -f suite run
  export root
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c 'run "$@"' run "$@" || status=$?
fi
wineserver -k >/dev/null 2>&1 || true
exit $status
