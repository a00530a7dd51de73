#!/usr/bin/env bash
# Configures and builds one architecture (x86_64 or i686) into build/<arch>.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-x86_64}
dir=${TAVIX_BUILD_DIR:-$root/build/$arch}
launcher=()
# Several checkouts of the tree compile the same sources: a compiler cache,
# where there is one, shares the work between them.
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")} CCACHE_NOHASHDIR=1
fi
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch.cmake" "${launcher[@]}" >/dev/null
fi
cmake --build "$dir" -- -k 0 | grep -v -E '^\[[0-9]+/[0-9]+\] ' || true
cmake --build "$dir" >/dev/null  # fails loudly if anything did not build
