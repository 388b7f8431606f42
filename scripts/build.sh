#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh [plain|asan|tsan|release|package]   (default: plain)
# Build trees: build/, build-asan/, build-tsan/, build-release/ (optimised
# without debug information, what the benchmarks are measured on) and
# build-package/ (the same without the tests, what scripts/package.sh packs).
set -euo pipefail
cd "$(dirname "$0")/.."
flavour="${1:-plain}"
options=()
type=RelWithDebInfo
case "$flavour" in
  plain) dir=build; flags="" ;;
  release) dir=build-release; flags=""; type=Release ;;
  package) dir=build-package; flags=""; type=Release; options=(-DBUILD_TESTING=OFF) ;;
  asan)  dir=build-asan; flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
         options=(-DTARNWICK_BENCHMARKS=OFF) ;;
  tsan)  dir=build-tsan; flags="-fsanitize=thread"; options=(-DTARNWICK_TSAN_PROBE=ON -DTARNWICK_BENCHMARKS=OFF) ;;
  *) echo "unknown flavour '$flavour' (plain, asan, tsan, release or package)" >&2; exit 2 ;;
esac
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
. scripts/compiler-cache.sh
cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE="$type" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" "${options[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
