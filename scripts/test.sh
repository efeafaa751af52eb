#!/usr/bin/env bash
# The whole test run: native tests, the same tests under AddressSanitizer and
# UBSan, then the module and its tests built for Windows and run under Wine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/install-deps.sh
start=$SECONDS
export OVL_WERROR=1  # a new warning fails the run

echo "== native build and tests"
scripts/build.sh native
ctest --test-dir build/native --output-on-failure -j2

echo "== sanitizer build (ASan + UBSan) and tests"
scripts/build.sh sanitize
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j2

echo "== Windows build and tests under Wine"
scripts/build.sh windows
source scripts/wine-session.sh
ctest --test-dir build/windows --output-on-failure

# The counts the robustness and stress tests print (ctest keeps the output
# of passing tests in its log only).
echo "== damaged input and stress counts"
grep -h -E "mutated image files|hand-made damaged files|damaged forms|damaged settings|boundary-value image files|hangs: " \
  build/native/Testing/Temporary/LastTest.log build/windows/Testing/Temporary/LastTest.log || true

echo "== all tests passed in $((SECONDS - start)) s"
