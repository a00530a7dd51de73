#!/usr/bin/env bash
# Makes the test pictures with ImageMagick's convert from one reference
# picture, and convert's own decoding of each as raw 8-bit RGB (name.rgb),
# the judge the plug-ins' pixels are compared with. Then the bad inputs.
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
command -v convert >/dev/null || { echo "make-pictures: ImageMagick's convert is missing (scripts/setup-packages.sh installs it)" >&2; exit 1; }
rm -rf "$out"; mkdir -p "$out"; cd "$out"

# 97 x 61: odd sizes, so every row of every depth needs padding.
convert -size 97x61 -seed 7 plasma:fractal -depth 8 ref.png
convert ref.png -fill '#ff2000' -draw 'rectangle 5,5 30,20' -fill '#00c0ff' -draw 'circle 70,40 80,50' -depth 8 ref.png

mk() { # name convert-args... (the output is name)
  local name=$1; shift
  convert ref.png "$@" "$name"
}
mk png24.png -define png:color-type=2 -depth 8
mk png24i.png -define png:color-type=2 -depth 8 -interlace PNG
mk png32.png -alpha set -channel A -fx 'i/w' +channel -define png:color-type=6 -depth 8
convert ref.png -evaluate Multiply 0.77 -depth 16 PNG48:png48.png
convert ref.png -colors 200 PNG8:png8.png
convert ref.png -colors 16 -define png:bit-depth=4 -define png:color-type=3 png4.png
convert ref.png -monochrome -define png:bit-depth=1 -define png:color-type=3 png1.png
mk grey8.png -colorspace gray -define png:color-type=0 -depth 8
mk grey1.png -monochrome -define png:color-type=0 -define png:bit-depth=1

mk gif8.gif -colors 200
mk gif8i.gif -colors 200 -interlace GIF
mk gif4.gif -colors 16
mk gif1.gif -monochrome

mk tif24.tif -depth 8 -compress LZW
mk tif48.tif -evaluate Multiply 0.77 -depth 16 -compress Zip
mk tif8p.tif -colors 100 -type Palette -compress None
mk tif8g.tif -colorspace gray -depth 8 -compress RLE
mk tif1.tif -monochrome -compress Group4
mk tif32.tif -alpha set -channel A -fx 'i/w' +channel -depth 8 -compress LZW

mk jpeg.jpg -quality 92
mk jpegp.jpg -quality 92 -interlace JPEG
mk jpegg.jpg -colorspace gray -quality 92
mk jpegc.jpg -colorspace CMYK -quality 95
# A camera's turned photo: the same JPEG with an EXIF orientation block.
for o in 3 6 8; do python3 "$here/make-bad.py" exif jpeg.jpg "jpeg-o$o.jpg" "$o"; done
# Windows' own formats for the picture control's built-in loader.
convert ref.png bmp3:native.bmp
convert ref.png -resize 32x32! native.ico
# 1001 x 1001 for the quarter-size preview.
convert -size 1001x1001 gradient:red-blue -quality 90 big1001.jpg

for f in *.png *.gif *.tif *.jpg *.bmp; do
  [ "$f" = ref.png ] && continue
  convert "$f[0]" -auto-orient -colorspace sRGB -background white -alpha remove -alpha off -depth 8 "rgb:${f%.*}.rgb"
done

python3 "$here/make-bad.py" bad .
