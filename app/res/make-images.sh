#!/usr/bin/env bash
# Builds the toolbar strips, the status images and the program's icons from
# the Tango icon theme (Debian package tango-icon-theme) into OUT.
set -euo pipefail
out=$1
tango=${TANGO_DIR:-/usr/share/icons/Tango}
[ -d "$tango/24x24" ] || { echo "make-images: $tango missing (install tango-icon-theme)" >&2; exit 1; }
mkdir -p "$out"

# Toolbar images in image-list order. Image 2 is the self-extractor button's
# picture while only the Win32M kind is offered.
toolbar=(
  actions/document-new actions/document-open apps/system-software-update actions/document-save-as
  actions/document-properties actions/edit-copy actions/edit-paste status/folder-open actions/list-add
  actions/edit-delete actions/document-print-preview actions/go-jump apps/system-installer
  mimetypes/application-x-executable categories/preferences-system actions/view-fullscreen
  apps/help-browser actions/system-search actions/system-log-out
)

strip() {  # size name [disabled]
  local size=$1 name=$2 mode=${3:-}
  local files=()
  for icon in "${toolbar[@]}"; do
    local file="$tango/${size}x${size}/$icon.png"
    [ -f "$file" ] || file="$tango/24x24/$icon.png"
    files+=("$file")
  done
  local extra=()
  [ "$mode" = disabled ] && extra=(-colorspace Gray -channel A -evaluate multiply 0.45 +channel)
  convert "${files[@]}" -background none -resize "${size}x${size}" -gravity center -extent "${size}x${size}" \
    "${extra[@]}" +append -define bmp:format=bmp4 -type TrueColorAlpha "BMP:$out/$name"
}
strip 24 toolbar24.bmp
strip 24 toolbar24-disabled.bmp disabled
strip 32 toolbar32.bmp
strip 32 toolbar32-disabled.bmp disabled

# Status images: 0 while an archive is being read, 1 after reading.
convert "$tango/16x16/actions/view-refresh.png" "$tango/16x16/mimetypes/package-x-generic.png" \
  -background none +append -define bmp:format=bmp4 -type TrueColorAlpha "BMP:$out/status16.bmp"

# Program icon and the archive icons the file associations use (indices 1, 2).
icon() {  # name label colour
  local name=$1 label=$2 colour=$3
  local layers=()
  for size in 16 24 32 48; do
    local src="$tango/32x32/mimetypes/package-x-generic.png"
    [ -f "$tango/${size}x${size}/mimetypes/package-x-generic.png" ] && src="$tango/${size}x${size}/mimetypes/package-x-generic.png"
    local layer="$out/icon-$name-$size.png"
    if [ -z "$label" ]; then
      convert "$src" -background none -resize "${size}x${size}" "PNG32:$layer"
    elif [ "$size" -lt 32 ]; then
      # Too small for letters: a coloured corner tells the kinds apart.
      convert "$src" -background none -resize "${size}x${size}" -fill "$colour" \
        -draw "rectangle $((size / 2)),$((size * 5 / 8)) $((size - 1)),$((size - 1))" "PNG32:$layer"
    else
      local points=$((size * 9 / 32))
      convert "$src" -background none -resize "${size}x${size}" \
        \( -size "${size}x$((points + 4))" xc:"$colour" -font DejaVu-Sans-Bold -pointsize "$points" -fill white \
           -gravity center -annotate +0+0 "$label" \) -gravity south -composite "PNG32:$layer"
    fi
    layers+=("$layer")
  done
  convert "${layers[@]}" "$out/$name.ico"
  rm -f "${layers[@]}"
}
icon Tavix "" ""
icon Lzh LZH "#204a87"
icon Zip ZIP "#a40000"
