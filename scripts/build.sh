#!/usr/bin/env bash
# Configures and builds one architecture (x86_64 or i686) into build/<arch>.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-x86_64}
dir=${TAVIX_BUILD_DIR:-$root/build/$arch}
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch.cmake" >/dev/null
fi
cmake --build "$dir" -- -k 0 | grep -v -E '^\[[0-9]+/[0-9]+\] ' || true
cmake --build "$dir" >/dev/null  # fails loudly if anything did not build
