#!/usr/bin/env bash
# Builds and runs every test: the plain build, the AddressSanitizer +
# UndefinedBehaviorSanitizer build, the ThreadSanitizer build, and a short
# run of each fuzzer.
#   scripts/run-tests.sh [plain] [asan] [tsan] [fuzz]   (default: all four)
set -euo pipefail
cd "$(dirname "$0")/.."
flavours=("$@")
[ ${#flavours[@]} -gt 0 ] || flavours=(plain asan tsan fuzz)
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
for flavour in "${flavours[@]}"; do
  if [ "$flavour" = fuzz ]; then
    echo "=== fuzz: short run"
    scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
    continue
  fi
  echo "=== $flavour: build"
  scripts/build.sh "$flavour"
  case "$flavour" in plain) dir=build ;; *) dir=build-$flavour ;; esac
  echo "=== $flavour: test"
  (cd "$dir" && ctest --output-on-failure -j"$(nproc)")
done
