#!/usr/bin/env bash
# The long soak: cycle after cycle of Start Network Access, Network Browse
# (Yes), the monitor window opened and closed, and Stop Network Access, with
# the application's own windows offscreen, against the gateway simulator on a
# private virtual bus. Prints each cycle's time, open descriptors, threads and
# resident memory, then the first cycle against the last; fails when
# descriptors or threads differ or memory grew beyond the test's allowance.
#   scripts/soak.sh [CYCLES] [BUILD-DIR]      (defaults: 200, build)
set -euo pipefail
cd "$(dirname "$0")/.."
cycles="${1:-200}"
dir="${2:-build}"
if ! [[ "$cycles" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/soak.sh [CYCLES] [BUILD-DIR]   (CYCLES: a whole number from 1)" >&2
  exit 2
fi
if [ ! -f "$dir/CMakeCache.txt" ]; then
  generator=()
  command -v ninja >/dev/null && generator=(-G Ninja)
  cmake -S . -B "$dir" "${generator[@]}" >/dev/null
fi
cmake --build "$dir" --target test_robustness_soak -j2 >/dev/null
echo "soak: $cycles cycles"
# Qt's virtual bus reports each connection on standard error; that is not news.
QT_QPA_PLATFORM=offscreen TARNWICK_SOAK_CYCLES="$cycles" "$dir/tests/bin/test_robustness_soak" 2>&1 |
  grep --line-buffered -v '^qt\.canbus\|^QStandardPaths'
