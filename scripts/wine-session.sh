#!/usr/bin/env bash
# Sourced by the scripts that run Windows programs: one fresh private Wine
# prefix under build/ and one persistent wineserver for the whole run,
# stopped again on exit.
#
# The server starts first, then wineboot brings up the prefix and Wine's
# background services under it. Those services outlive the programs that
# start them and keep their standard handles open, so they must be started
# here (with output sent to /dev/null) and not by the first test: ctest
# would otherwise wait on the test's output pipe until its timeout.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${OVL_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
echo "== preparing the Wine prefix $WINEPREFIX"
/usr/lib/wine/wineserver -p
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true' EXIT
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null || true
