#!/usr/bin/env bash
# Cross-builds the dependencies from Debian source packages for one target
# triplet into build/deps/<triplet>. Each is rebuilt only when its pinned
# version changes (a stamp file records the version built).
set -euo pipefail
triplet=$1
root=$(cd "$(dirname "$0")/.." && pwd)
deps=$root/build/deps
prefix=$deps/$triplet
src=$deps/src
mkdir -p "$prefix/lib" "$prefix/include" "$src"

declare -A pin=(
  [libjpeg-turbo]=1:2.1.5-2
  [bzip2]=1.0.8-5
  [pcre2]=10.42-1
  [libarchive]=3.6.2-1+deb12u5
)
jobs=$(nproc)
case $triplet in
  x86_64-*) emulator=$root/scripts/wine-run; proc=AMD64 ;;
  *) emulator=$root/scripts/no-run; proc=x86 ;;
esac

fetch() { # name -> prints the unpacked source folder
  local name=$1 ver=${pin[$1]} dir=$src/$1-${pin[$1]//:/_}
  if [ ! -f "$dir/.unpacked" ]; then
    rm -rf "$dir" "$dir.dl"; mkdir -p "$dir.dl"
    (cd "$dir.dl" && apt-get source --download-only -qq "$name=$ver" >/dev/null 2>&1 && dpkg-source --no-check -x ./*.dsc unpacked >/dev/null)
    mv "$dir.dl/unpacked" "$dir"; rm -rf "$dir.dl"; touch "$dir/.unpacked"
  fi
  echo "$dir"
}
up_to_date() { [ "$(cat "$prefix/.$1.stamp" 2>/dev/null)" = "${pin[$1]}" ]; }
stamp() { echo "${pin[$1]}" > "$prefix/.$1.stamp"; }
cmake_cross() { # source build [args...]
  local s=$1 b=$2; shift 2
  cmake -S "$s" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=$proc \
    -DCMAKE_C_COMPILER=$triplet-gcc-posix -DCMAKE_CXX_COMPILER=$triplet-g++-posix \
    -DCMAKE_RC_COMPILER=$triplet-windres \
    -DCMAKE_FIND_ROOT_PATH="$prefix;/usr/$triplet" \
    -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$b.log" 2>&1 || { tail -40 "$b.log"; exit 1; }
}

if ! up_to_date bzip2; then
  s=$(fetch bzip2); b=$deps/build-$triplet/bzip2; rm -rf "$b"; mkdir -p "$b"
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    $triplet-gcc -O2 -D_FILE_OFFSET_BITS=64 -c "$s/$f.c" -o "$b/$f.o"
  done
  rm -f "$prefix/lib/libbz2.a"; $triplet-ar rcs "$prefix/lib/libbz2.a" "$b"/*.o
  cp "$s/bzlib.h" "$prefix/include/"; stamp bzip2
fi

if ! up_to_date libjpeg-turbo; then
  s=$(fetch libjpeg-turbo); b=$deps/build-$triplet/jpeg; rm -rf "$b"
  cmake_cross "$s" "$b" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON
  cmake --build "$b" -j$jobs >>"$b.log" 2>&1 && cmake --install "$b" >>"$b.log" 2>&1 || { tail -40 "$b.log"; exit 1; }
  stamp libjpeg-turbo
fi

if ! up_to_date pcre2; then
  s=$(fetch pcre2); b=$deps/build-$triplet/pcre2; rm -rf "$b"
  cmake_cross "$s" "$b" -DBUILD_SHARED_LIBS=OFF -DPCRE2_BUILD_PCRE2_8=ON -DPCRE2_BUILD_PCRE2_16=ON \
    -DPCRE2_SUPPORT_UNICODE=ON -DPCRE2_SUPPORT_JIT=ON -DPCRE2_BUILD_TESTS=OFF -DPCRE2_BUILD_PCRE2GREP=OFF
  cmake --build "$b" -j$jobs >>"$b.log" 2>&1 && cmake --install "$b" >>"$b.log" 2>&1 || { tail -40 "$b.log"; exit 1; }
  stamp pcre2
fi

if ! up_to_date libarchive; then
  s=$(fetch libarchive); b=$deps/build-$triplet/libarchive; rm -rf "$b"
  # The CNG check includes <Bcrypt.h>; mingw ships it in lower case.
  mkdir -p "$b-shim"; echo '#include <bcrypt.h>' > "$b-shim/Bcrypt.h"
  cmake_cross "$s" "$b" -DCMAKE_C_FLAGS="-I$b-shim" \
    -DENABLE_ZLIB=ON -DZLIB_LIBRARY=/usr/$triplet/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$triplet/include \
    -DENABLE_BZip2=ON -DBZIP2_LIBRARIES="$prefix/lib/libbz2.a" -DBZIP2_INCLUDE_DIR="$prefix/include" \
    -DENABLE_CNG=ON -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_LIBB2=OFF \
    -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF \
    -DENABLE_PCREPOSIX=OFF -DENABLE_PCRE2POSIX=OFF -DENABLE_LIBGCC=OFF -DPOSIX_REGEX_LIB=NONE \
    -DENABLE_ICONV=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF \
    -DENABLE_TEST=OFF -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_INSTALL=OFF
  cmake --build "$b" -j$jobs --target archive_static >>"$b.log" 2>&1 || { tail -40 "$b.log"; exit 1; }
  cp "$b/libarchive/libarchive_static.a" "$prefix/lib/libarchive.a"
  cp "$s/libarchive/archive.h" "$s/libarchive/archive_entry.h" "$prefix/include/"
  stamp libarchive
fi
