#!/usr/bin/env bash
# Sourced by the scripts that run Windows programs: a headless X display, one fresh private Wine
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

# The property page tests need windows, and Wine's desktop takes its display
# when the prefix boots: every later program of the run draws there. So the
# run gets its own headless X server (24-bit, like the pages' screenshots)
# before anything of Wine starts, stopped again on exit.
ovl_xvfb_pid=""
if command -v Xvfb >/dev/null 2>&1; then
  ovl_display_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ovl_display_file" >/dev/null 2>&1 &
  ovl_xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$ovl_display_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(tr -d '[:space:]' <"$ovl_display_file")"
  rm -f "$ovl_display_file"
fi
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
echo "== preparing the Wine prefix $WINEPREFIX"
/usr/lib/wine/wineserver -p
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true; [ -z "$ovl_xvfb_pid" ] || kill "$ovl_xvfb_pid" 2>/dev/null || true' EXIT
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null || true
