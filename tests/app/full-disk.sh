#!/bin/sh
# Runs a test program with a small file system of its own at SMALL-FOLDER: a
# user namespace gives the mount without the machine's root. The Wine server
# is the one that opens files, so the test gets a server of its own inside the
# namespace: fresh /tmp and /dev/shm hide the running servers' sockets (the X
# display's socket and authority are carried over).
# Usage: full-disk.sh RUNNER PROGRAM SMALL-FOLDER
set -eu
runner=$1 program=$2 small=$3
mkdir -p "$small" "$small.x11"
if [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
  cp "$XAUTHORITY" "$small.xauth"
  export XAUTHORITY="$small.xauth"
fi
exec unshare -rm bash -c '
  set -eu
  runner=$1 program=$2 small=$3
  mount -t tmpfs -o size=4m tmpfs "$small"
  mount --bind /tmp/.X11-unix "$small.x11"
  mount -t tmpfs tmpfs /tmp
  mount -t tmpfs tmpfs /dev/shm
  mkdir /tmp/.X11-unix
  mount --bind "$small.x11" /tmp/.X11-unix
  export TAVIX_SMALL_DISK="$small"
  status=0
  "$runner" "$program" || status=$?
  . "$(dirname "$runner")/wine-env.sh"
  wineserver -k || echo "the Wine server of the test did not stop" >&2
  exit $status
' full-disk "$runner" "$program" "$small"
