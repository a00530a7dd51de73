#!/usr/bin/env bash
# Fuzzes the decoders of our image plug-ins natively (clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer), each over the same Debian
# source of its library that the plug-ins are built from (scripts/build-deps.sh
# unpacks it), built here for the host with the same sanitizers. Seeds: the
# test pictures (tests/imageplugins/make-pictures.sh) and
# tests/imageplugins/corpus/FORMAT; what a run adds stays in
# build/picture-fuzz/corpus-FORMAT, faults in build/picture-fuzz/crash-FORMAT-*.
# Usage: scripts/fuzz-pictures.sh [seconds per format, default 120] [format...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
shift || true
formats=("$@")
[ ${#formats[@]} -gt 0 ] || formats=(jpeg png gif tiff mag pi)
out=${TAVIX_BUILD_DIR:-$root/build}/picture-fuzz
src=$root/build/deps/src
libs=$out/libs
mkdir -p "$libs/include" "$libs/lib"
jobs=$(nproc)
# The libraries: coverage for the fuzzer and both sanitizers; what UBSan
# finds there is reported in the log and counted, without stopping the run.
libflags="-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined,fuzzer-no-link"
one() { # the one unpacked source folder of a package
  local dirs=("$src/$1"-*/)
  [ -d "${dirs[0]}" ] || { echo "fuzz-pictures: no source of $1 in $src (run scripts/build-deps.sh)" >&2; exit 1; }
  echo "${dirs[-1]%/}"
}
host_cmake() { # source build [args...]
  local s=$1 b=$2; shift 2
  cmake -S "$s" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$libflags" -DCMAKE_INSTALL_PREFIX="$libs" "$@" >"$b.log" 2>&1 || { tail -30 "$b.log"; exit 1; }
}
stamped() { [ "$(cat "$libs/.$1" 2>/dev/null)" = "$2" ]; }
wanted() { # a library is built only for the formats asked for (TIFF needs JPEG)
  local f
  for f in "${formats[@]}"; do [ "$f" = "$1" ] || { [ "$1" = jpeg ] && [ "$f" = tiff ]; } && return 0; done
  return 1
}

if wanted jpeg && ! stamped jpeg "$(one libjpeg-turbo)"; then
  s=$(one libjpeg-turbo)
  host_cmake "$s" "$out/jpeg" -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF
  cmake --build "$out/jpeg" -j"$jobs" --target jpeg-static >>"$out/jpeg.log" 2>&1 || { tail -30 "$out/jpeg.log"; exit 1; }
  cp "$out/jpeg/libjpeg.a" "$libs/lib/"; cp "$s"/{jpeglib.h,jmorecfg.h,jerror.h} "$out/jpeg/jconfig.h" "$libs/include/"
  echo "$s" > "$libs/.jpeg"
fi
if wanted png && ! stamped png "$(one libpng1.6)"; then
  s=$(one libpng1.6)
  host_cmake "$s" "$out/png" -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF
  cmake --build "$out/png" -j"$jobs" --target png_static >>"$out/png.log" 2>&1 || { tail -30 "$out/png.log"; exit 1; }
  cp "$out/png/libpng16.a" "$libs/lib/"; cp "$s"/{png.h,pngconf.h} "$out/png/pnglibconf.h" "$libs/include/"
  echo "$s" > "$libs/.png"
fi
if wanted gif && ! stamped gif "$(one giflib)"; then
  s=$(one giflib)
  mkdir -p "$out/gif"
  for f in dgif_lib egif_lib gifalloc gif_err gif_hash openbsd-reallocarray; do
    clang $libflags -c "$s/$f.c" -o "$out/gif/$f.o"
  done
  rm -f "$libs/lib/libgif.a"; ar rcs "$libs/lib/libgif.a" "$out/gif"/*.o; cp "$s/gif_lib.h" "$libs/include/"
  echo "$s" > "$libs/.gif"
fi
if wanted tiff && ! stamped tiff "$(one tiff)"; then
  s=$(one tiff)
  host_cmake "$s" "$out/tiff" -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF \
    -Dtiff-docs=OFF -Dcxx=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Djbig=OFF \
    -Dlerc=OFF -Dlibdeflate=OFF -DJPEG_LIBRARY="$libs/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$libs/include"
  cmake --build "$out/tiff" -j"$jobs" --target tiff >>"$out/tiff.log" 2>&1 || { tail -30 "$out/tiff.log"; exit 1; }
  cp "$out/tiff/libtiff/libtiff.a" "$libs/lib/"
  cp "$s"/libtiff/{tiff.h,tiffio.h,tiffvers.h} "$out/tiff/libtiff/tiffconf.h" "$libs/include/"
  echo "$s" > "$libs/.tiff"
fi

# Seeds: the test pictures, made once; MAG and Pi by the tests' own encoders.
seeds=$out/pictures
[ -f "$seeds/ref.png" ] || bash "$root/tests/imageplugins/make-pictures.sh" "$seeds" >/dev/null
if [ ! -f "$seeds/seed.pi" ]; then
  clang++ -std=c++20 -O1 -I"$root/tests/imageplugins" "$root/tests/imageplugins/MakeRetroSeeds.cpp" -o "$out/make-retro-seeds"
  "$out/make-retro-seeds" "$seeds"
fi

flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined
       -I"$libs/include" -I"$root/imageplugins/core")
status=0
for format in "${formats[@]}"; do
  case $format in
    jpeg) codec=Jpeg lib=(-ljpeg) ext=jpg ;;
    png) codec=Png lib=(-lpng16 -lz) ext=png ;;
    gif) codec=Gif lib=(-lgif) ext=gif ;;
    tiff) codec=Tiff lib=(-ltiff -ljpeg -lz -lm) ext=tif ;;
    mag) codec=Mag lib=() ext=mag ;;  # our own decoders: nothing beneath them
    pi) codec=Pi lib=() ext=pi ;;
    *) echo "unknown format $format"; exit 2 ;;
  esac
  clang++ "${flags[@]}" -fsanitize=fuzzer -DFUZZ_FORMAT=imageplugin::k${codec}Format \
    "$root/tests/imageplugins/FuzzPicture.cpp" "$root/imageplugins/codecs/${codec}Codec.cpp" \
    "$root/imageplugins/core/Picture.cpp" -L"$libs/lib" "${lib[@]}" -o "$out/fuzz-$format"
  corpus=$out/corpus-$format
  mkdir -p "$corpus"
  cp "$seeds"/*."$ext" "$corpus/"
  log=$out/fuzz-$format.log
  if "$out/fuzz-$format" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2560 \
       -print_final_stats=1 -artifact_prefix="$out/crash-$format-" "$corpus" "$root/tests/imageplugins/corpus/$format" \
       >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    ub=$(grep -c 'runtime error' "$log" || true)
    printf '%-5s %5ss %10s runs  %s  no faults  (%s UBSan reports inside the library)\n' "$format" "$seconds" "$runs" "$cov" "$ub"
  else
    echo "$format: FAULT, see $log"; grep -m3 -E 'ERROR|SUMMARY|check failed' "$log" || true
    status=1
  fi
done
exit $status
