#!/usr/bin/env bash
# Configures and builds one of the three trees under build/:
#   native    portable core, tests, benchmarks, tools (Release)
#   sanitize  portable core and tests with AddressSanitizer + UBSan
#   windows   KMVVOvLy2x.dll and the Windows tests (mingw-w64)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kind="$1"; shift || true
case "$kind" in
  native)   args=(-DCMAKE_BUILD_TYPE=Release) ;;
  sanitize) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVL_SANITIZE=ON) ;;
  windows)  args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake") ;;
  *) echo "usage: build.sh native|sanitize|windows [make targets]" >&2; exit 2 ;;
esac
dir="$root/build/$kind"
# OVL_WERROR=1 (the test command sets it) makes every warning an error.
args+=(-DOVL_WERROR="$([[ "${OVL_WERROR:-0}" == 1 ]] && echo ON || echo OFF)")
cmake -S "$root" -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" -- "$@"
