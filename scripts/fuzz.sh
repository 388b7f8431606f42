#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [seconds-per-target]   (default 30; CI uses a short run)
# Crashes land in fuzz/crashes/; turn each into a test.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
options=()
. scripts/compiler-cache.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz "${generator[@]}" "${options[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_FUZZ=ON -DBUILD_TESTING=OFF -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
targets=$(sed -n 's/^tarnwick_fuzzer(\([a-z_]*\).*/\1/p' fuzz/CMakeLists.txt)
# shellcheck disable=SC2086
cmake --build build-fuzz --target $targets -j"$(nproc)"
mkdir -p fuzz/crashes
export ASAN_OPTIONS="detect_leaks=0"
export QT_QPA_PLATFORM=offscreen
# One target: its seed files (fuzz/seeds/TARGET) start its corpus, since a
# binary format is seldom reached from random bytes.
run_target() {
  local t=$1 corpus="build-fuzz/corpus/$1" log="build-fuzz/$1.log" seeds=()
  mkdir -p "$corpus"
  [ -d "fuzz/seeds/$t" ] && seeds=("fuzz/seeds/$t")
  "build-fuzz/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=fuzz/crashes/ \
    "$corpus" "${seeds[@]}" >"$log" 2>&1
}
# As many targets at once as there are cores, each with its own log.
batch=()
finish_batch() {
  local failed=0 t
  for t in "${batch[@]}"; do
    if ! wait "${pid[$t]}"; then
      tail -n 40 "build-fuzz/$t.log" >&2
      echo "$t found a crash: the input is in fuzz/crashes/" >&2
      failed=1
    fi
    echo "=== $t: ${seconds}s"
    grep -E '^stat::number_of_executed_units|^Done ' "build-fuzz/$t.log" || true
  done
  batch=()
  [ "$failed" -eq 0 ] || exit 1
}
declare -A pid
for t in $targets; do
  run_target "$t" &
  pid[$t]=$!
  batch+=("$t")
  [ "${#batch[@]}" -lt "$(nproc)" ] || finish_batch
done
[ "${#batch[@]}" -eq 0 ] || finish_batch
