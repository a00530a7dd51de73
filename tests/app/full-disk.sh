#!/bin/sh
# Runs a test program with a small file system of its own at $small: a user
# namespace gives the mount without the machine's root, and the test's Wine
# gets a server of its own (a private socket folder), since the server is the
# one that opens files and must see the mount.
# Usage: full-disk.sh RUNNER PROGRAM SMALL-FOLDER
set -eu
runner=$1 program=$2 small=$3
mkdir -p "$small"
exec unshare -rm sh -c '
  set -eu
  runner=$1 program=$2 small=$3
  mount -t tmpfs -o size=4m tmpfs "$small"
  sockets=/tmp/.wine-$(id -u)
  mkdir -p "$sockets"
  mount -t tmpfs tmpfs "$sockets"
  export TAVIX_SMALL_DISK="$small"
  status=0
  "$runner" "$program" || status=$?
  . "$(dirname "$runner")/wine-env.sh"
  wineserver -k 2>/dev/null || true
  exit $status
' full-disk "$runner" "$program" "$small"
