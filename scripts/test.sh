#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, and runs the whole test suite.
# With CI=true it also builds and runs the suite under AddressSanitizer + UndefinedBehaviorSanitizer,
# requires FUSE for the end-to-end tests (ORVANE_REQUIRE_FUSE=1), and builds the fuzz targets with
# clang and runs each for 30 seconds (scripts/fuzz.sh), after its seeds and past crash inputs, and
# builds and checks the Debian package (scripts/package.sh). The acceptance suite (tests/acceptance,
# a real X server) is one of the ctest tests; its screenshots land in build/acceptance/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" --test

if [ "${CI:-}" = true ]; then
  export ORVANE_REQUIRE_FUSE=1
fi
jobs=$(nproc)

run_suite() {
  local build=$1
  shift
  echo "== build: $build"
  "$top/scripts/build.sh" "$build"
  echo "== test: $build"
  (cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 900 "$@")
}

run_suite "$top/build"
if [ "${CI:-}" = true ]; then
  # The package a user installs: built, linted, its metainfo validated.
  "$top/scripts/package.sh" "$top/build"
  # Leaks inside system libraries (fontconfig, Qt's platform plugins) are not ours to fix.
  if [ -f "$top/scripts/lsan.supp" ]; then
    export LSAN_OPTIONS="suppressions=$top/scripts/lsan.supp:print_suppressions=0"
  fi
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  # The acceptance suite ran against the ordinary build; under the sanitizers its real-time
  # waits would measure the sanitizers.
  ORVANE_SANITIZE=1 run_suite "$top/build-sanitize" -LE acceptance
  "$top/scripts/fuzz.sh" 30
fi
