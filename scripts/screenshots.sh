#!/usr/bin/env bash
# Screenshots of the main window for docs/: the sample archive in the report
# view, the three other view styles side by side, and the Edit menu open, all
# at the window's first-start size.
# Runs Tavix under Xvfb in Wine's virtual desktop and types the menu keys with
# xdotool, as a user would; the window is closed normally afterwards.
#   scripts/screenshots.sh [archive] [output folder, default build/screenshots]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archive=$(readlink -f "${1:-$root/samples/sample.lzh}")
out=$(mkdir -p "${2:-$root/build/screenshots}" && cd "${2:-$root/build/screenshots}" && pwd)
dir=${TAVIX_BUILD_DIR:-$root/build/x86_64}
TAVIX_BUILD_DIR=$dir bash "$root/scripts/build.sh" x86_64
bin=$dir/bin
export TAVIX_PATH=$bin/archivers
ini=$bin/Tavix.ini
# The window's place and size come from the settings file beside the program;
# the user's own file is put back at the end.
saved=$(mktemp)
had_ini=0
if [ -f "$ini" ]; then cp "$ini" "$saved"; had_ini=1; fi
restore() {
  if [ "$had_ini" = 1 ]; then cp "$saved" "$ini"; else rm -f "$ini"; fi
  rm -f "$saved"
}
trap restore EXIT
rm -f "$ini"
printf '[DeskTop]\r\nMainLeft=8\r\nMainTop=8\r\nMainWidth=432\r\nMainHeight=340\r\nIconStyle=3\r\n' > "$ini"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -u
  wine=$1 exe=$2 archive=$3 out=$4
  # Its own desktop name: one left in the persistent Wine server by an
  # earlier X server would swallow the program.
  "$wine" explorer "/desktop=Tavix$$,448x356" "$exe" "$archive" >/dev/null 2>&1 &
  name=${archive##*\\}
  for _ in $(seq 1 240); do
    xdotool search --onlyvisible --name "^[A-Z0-9?]{3}: ${name//./\\.}\$" >/dev/null 2>&1 && break
    sleep 0.5
  done
  xdotool search --onlyvisible --name "^[A-Z0-9?]{3}: ${name//./\\.}\$" >/dev/null 2>&1 ||
    { echo "screenshots: the window listing $name did not appear" >&2; exit 1; }
  sleep 1
  desktop=$(xdotool search --name "Wine desktop" | head -1)
  # Wine takes the keys only while the pointer is over the window.
  xdotool mousemove 300 300
  xdotool windowfocus --sync "$desktop"
  shot() { sleep 1.5; import -window root -crop 448x356+0+0 +repage "$out/$1.png"; }
  shot report
  # 表示(&V): 大きなｱｲｺﾝ(&G), 小さなｱｲｺﾝ(&M), 一覧(&L), 詳細(&D)
  for view in g:large m:small l:list d:details; do
    xdotool key alt+v; sleep 0.7; xdotool key "${view%%:*}"
    shot "${view##*:}"
  done
  # 編集(&E) opened over the report view.
  xdotool key alt+e
  shot edit-menu
  xdotool key Escape; sleep 0.3; xdotool key Escape
  # A normal close: the settings are written and the instance count drops.
  xdotool key ctrl+q; sleep 3
  "$wine" taskkill /f /im Tavix.exe >/dev/null 2>&1 || true
' shots "$root/scripts/wine-run" "$bin/Tavix.exe" "Z:${archive//\//\\}" "$out" 2>&1 | grep -v -i fixme || true

for name in report large small list edit-menu; do
  [ -f "$out/$name.png" ] || { echo "screenshots: $name.png was not taken" >&2; exit 1; }
done
# The three other view styles side by side.
convert "$out/large.png" "$out/small.png" "$out/list.png" -bordercolor white -border 4 +append \
  -strip "$out/view-styles.png"
echo "Screenshots: $out"
