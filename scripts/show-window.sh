#!/usr/bin/env bash
# Inside an X server: starts Tavix with an archive in a Wine desktop window
# (which draws the window frames that a bare X server lacks), waits until its
# main window shows the archive ("<KIND>: <name>") and the screen has
# settled, takes a screenshot, and closes Tavix with Ctrl+Q. Fails, with the
# reason, when the window does not appear, when Tavix shows a message box, or
# when the window does not close after Ctrl+Q.
#   show-window.sh <Tavix.exe> <archive as a Windows path> <screenshot.png>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$1 archive=$2 shot=$3
size=800x600
name=${archive##*\\}
log=$(mktemp)
trap 'rm -f "$log" "$shot.tmp"' EXIT
visible() { { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; } | head -1; }
screen() { import -window root -crop "$size+0+0" +repage "png:$shot.tmp"; }
# Message boxes carry the program's title: "Tavix", or the archive's name
# once an archive is chosen.
message_box() { visible "^(Tavix|${name//./\\.})\$"; }
main_window() { visible "^[A-Z0-9?]{3}: ${name//./\\.}\$"; }
fail() {
  echo "run: $1" >&2
  sed -n '1,20p' "$log" >&2
  if [ -f "$shot.tmp" ]; then mv "$shot.tmp" "$shot"; echo "run: the screen is in $shot" >&2; fi
  "$root/scripts/wine-run" taskkill /f /im Tavix.exe >/dev/null 2>&1 || true
  exit 1
}

# A desktop of the same name left in a persistent Wine server by an earlier,
# ended X server would swallow the program: each run names its own.
"$root/scripts/wine-run" explorer "/desktop=Tavix$$,$size" "$exe" "$archive" >"$log" 2>&1 &
# The first Wine program on a new X server can take many seconds.
window=
for _ in $(seq 1 240); do
  window=$(main_window)
  [ -n "$window" ] && break
  if [ -n "$(message_box)" ]; then screen; fail "Tavix showed a message instead of the archive"; fi
  sleep 0.5
done
[ -n "$window" ] || { screen; fail "no window listing $name appeared within 120 s"; }

# Listing and painting are done when two screenshots a moment apart agree.
previous=
for _ in $(seq 1 60); do
  sleep 0.5
  screen
  sum=$(md5sum <"$shot.tmp")
  [ "$sum" = "$previous" ] && break
  previous=$sum
done
[ -z "$(message_box)" ] || fail "Tavix showed a message box"
mv "$shot.tmp" "$shot"

# Closed as a user would, so it writes its settings and gives back its
# instance number: a click on the caption makes it the active window, then
# Ctrl+Q.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH / 2)) 8 click 1
xdotool key ctrl+q
for _ in $(seq 1 60); do
  [ -z "$(main_window)" ] && exit 0
  sleep 0.5
done
fail "the window did not close after Ctrl+Q"
