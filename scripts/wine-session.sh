#!/usr/bin/env bash
# Sourced by the scripts that run Windows programs: one fresh private Wine
# prefix under build/ and one persistent wineserver for the whole run,
# stopped again on exit.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
echo "== preparing the Wine prefix $WINEPREFIX"
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -p
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true' EXIT
