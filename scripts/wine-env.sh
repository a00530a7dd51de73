# Sourced: the Wine environment Tavix runs and is tested in (project-local
# prefix, Japanese locale for code page 932, no Mono/Gecko prompts).
TAVIX_ROOT=${TAVIX_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${TAVIX_WINEPREFIX:-$TAVIX_ROOT/build/wine}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
TAVIX_WINE64=/usr/lib/wine/wine64
[ -x "$TAVIX_WINE64" ] || TAVIX_WINE64=$(command -v wine64 || command -v wine)
