#!/usr/bin/env bash
# Makes this Debian 12 machine ready to build, run and test Tavix: packages,
# the cross-built dependencies for both architectures, the Wine prefix.
# Idempotent; a second run takes seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" = 0 ]; then
  bash "$root/scripts/setup-packages.sh"
else
  sudo bash "$root/scripts/setup-packages.sh"
fi
for triplet in x86_64-w64-mingw32 i686-w64-mingw32; do
  bash "$root/scripts/build-deps.sh" "$triplet"
done
# Creates the prefix once (fonts, locale) and checks that Wine runs at all.
"$root/scripts/wine-run" cmd /c exit 0
