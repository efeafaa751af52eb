#!/usr/bin/env bash
# Runs a Windows program under Wine in the test run's private prefix.
# WINEPREFIX defaults to <repo>/build/wineprefix; the test script starts one
# persistent wineserver for the whole run so each program starts quickly.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  # Used on its own (outside scripts/wine-session.sh): create the prefix first,
  # with Wine's background services detached from our output.
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null || true
fi
exec /usr/lib/wine/wine64 "$@"
