#!/bin/sh
# Runs a test program with a small file system of its own at SMALL-FOLDER: a
# user namespace gives the mount without the machine's root. The Wine server
# is the one that opens files, so the test gets a server of its own inside the
# namespace: fresh /tmp and /dev/shm hide the running servers' sockets. What
# the test needs from the old /tmp comes back through a handle kept on it: the
# display's socket and authority, and the build tree when it lives there.
# Usage: full-disk.sh RUNNER PROGRAM SMALL-FOLDER
set -eu
runner=$1 program=$2 small=$3
mkdir -p "$small"
exec unshare -rm bash -c '
  set -eu
  runner=$1 program=$2 small=$3
  mount -t tmpfs -o size=4m tmpfs "$small"
  exec 3</tmp
  mount -t tmpfs tmpfs /tmp
  mount -t tmpfs tmpfs /dev/shm
  for path in /tmp/.X11-unix "${XAUTHORITY:-}" "$runner" "$program" "$small"; do
    case $path in /tmp/?*) ;; *) continue ;; esac
    top=${path#/tmp/}
    top=${top%%/*}
    [ -e "/tmp/$top" ] && continue
    if [ -d "/proc/$$/fd/3/$top" ]; then mkdir "/tmp/$top"; else touch "/tmp/$top"; fi
    mount --no-canonicalize --rbind "/proc/$$/fd/3/$top" "/tmp/$top"
  done
  export TAVIX_SMALL_DISK="$small"
  status=0
  "$runner" "$program" || status=$?
  . "$(dirname "$runner")/wine-env.sh"
  wineserver -k || echo "the Wine server of the test did not stop" >&2
  exit $status
' full-disk "$runner" "$program" "$small"
