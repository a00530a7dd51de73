#!/usr/bin/env bash
# Cross-builds the dependencies from Debian source packages for one target
# triplet into build/deps/<triplet>. Each takes the version the archive has
# now, within the major version we build against, and is rebuilt only when
# that version changes (a stamp file records the version built).
set -euo pipefail
triplet=$1
root=$(cd "$(dirname "$0")/.." && pwd)
deps=$root/build/deps
prefix=$deps/$triplet
src=$deps/src
mkdir -p "$prefix/lib" "$prefix/include" "$src"

# Upstream major versions (the Debian version without epoch starts so).
declare -A major=(
  [libjpeg-turbo]=2.
  [bzip2]=1.0.
  [zlib]=1.2.
  [pcre2]=10.
  [libarchive]=3.
  [libpng1.6]=1.6.
  [giflib]=5.
  [tiff]=4.
)
# Each name's candidate versions, newest first; a mirror can list a version
# it no longer serves, so fetching falls back to the next one.
declare -A candidates=() pin=()
for name in "${!major[@]}"; do
  list=$(apt-cache showsrc "$name" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -uVr |
    while read -r v; do case ${v#*:} in "${major[$name]}"*) echo "$v" ;; esac; done | tr '\n' ' ')
  if [ -z "$list" ]; then
    echo "build-deps: no source package '$name' of version ${major[$name]}x in the package lists (deb-src entry missing? run scripts/setup-packages.sh)" >&2
    exit 1
  fi
  candidates[$name]=$list
done
src_dir() { echo "$src/$1-${2//:/_}"; }
# The version to build: one already unpacked, else the first that downloads.
for name in "${!major[@]}"; do
  for v in ${candidates[$name]}; do
    [ -f "$(src_dir "$name" "$v")/.unpacked" ] && { pin[$name]=$v; break; }
  done
  [ -n "${pin[$name]:-}" ] && continue
  for v in ${candidates[$name]}; do
    dir=$(src_dir "$name" "$v")
    rm -rf "$dir" "$dir.dl"; mkdir -p "$dir.dl"
    if (cd "$dir.dl" && apt-get source --download-only -qq "$name=$v" >"$dir.dl/log" 2>&1); then
      (cd "$dir.dl" && dpkg-source --no-check -x ./*.dsc unpacked >/dev/null)
      mv "$dir.dl/unpacked" "$dir"; rm -rf "$dir.dl"; touch "$dir/.unpacked"
      pin[$name]=$v; break
    fi
    echo "build-deps: $name $v is listed but could not be fetched; trying the next version" >&2
    errors=$(grep -E '^E:' "$dir.dl/log" || true)
    rm -rf "$dir.dl"
  done
  if [ -z "${pin[$name]:-}" ]; then
    echo "$errors" >&2
    echo "build-deps: no version of $name could be fetched (tried ${candidates[$name]})" >&2
    exit 1
  fi
done
jobs=$(nproc)
case $triplet in
  x86_64-*) emulator=$root/scripts/wine-run; proc=AMD64 ;;
  *) emulator=$root/scripts/no-run; proc=x86 ;;
esac

fetch() { src_dir "$1" "${pin[$1]}"; }
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

# zlib from source as well: mingw's packaged libz.a deflates about 20 per cent
# slower under Wine than the same version built plainly (same output).
if ! up_to_date zlib; then
  s=$(fetch zlib); b=$deps/build-$triplet/zlib; rm -rf "$b"; mkdir -p "$b"
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil; do
    $triplet-gcc -O2 -D_FILE_OFFSET_BITS=64 -c "$s/$f.c" -o "$b/$f.o"
  done
  rm -f "$prefix/lib/libz.a"; $triplet-ar rcs "$prefix/lib/libz.a" "$b"/*.o
  mkdir -p "$prefix/include/zlib"; cp "$s/zlib.h" "$s/zconf.h" "$prefix/include/zlib/"; stamp zlib
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

if ! up_to_date libpng1.6; then
  s=$(fetch libpng1.6); b=$deps/build-$triplet/png; rm -rf "$b"
  cmake_cross "$s" "$b" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY=/usr/$triplet/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$triplet/include
  cmake --build "$b" -j$jobs --target png_static >>"$b.log" 2>&1 || { tail -40 "$b.log"; exit 1; }
  cp "$b/libpng16.a" "$prefix/lib/libpng16.a"
  cp "$s/png.h" "$s/pngconf.h" "$b/pnglibconf.h" "$prefix/include/"
  stamp libpng1.6
fi

if ! up_to_date giflib; then
  # Upstream builds with a Makefile for the host; the decoder is six plain C files.
  s=$(fetch giflib); b=$deps/build-$triplet/gif; rm -rf "$b"; mkdir -p "$b"
  for f in dgif_lib egif_lib gifalloc gif_err gif_hash openbsd-reallocarray; do
    $triplet-gcc -O2 -c "$s/$f.c" -o "$b/$f.o"
  done
  rm -f "$prefix/lib/libgif.a"; $triplet-ar rcs "$prefix/lib/libgif.a" "$b"/*.o
  cp "$s/gif_lib.h" "$prefix/include/"; stamp giflib
fi

if ! up_to_date tiff; then
  s=$(fetch tiff); b=$deps/build-$triplet/tiff; rm -rf "$b"
  cmake_cross "$s" "$b" -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF \
    -Dtiff-docs=OFF -Dcxx=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
    -Djbig=OFF -Dlerc=OFF -Dlibdeflate=OFF -Dpixarlog=ON \
    -DZLIB_LIBRARY=/usr/$triplet/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$triplet/include \
    -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$prefix/include"
  cmake --build "$b" -j$jobs --target tiff >>"$b.log" 2>&1 || { tail -40 "$b.log"; exit 1; }
  cp "$b/libtiff/libtiff.a" "$prefix/lib/libtiff.a"
  cp "$s/libtiff/tiff.h" "$s/libtiff/tiffio.h" "$s/libtiff/tiffvers.h" "$b/libtiff/tiffconf.h" "$prefix/include/"
  stamp tiff
fi
