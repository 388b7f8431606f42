#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh [plain|asan|tsan|release]   (default: plain)
# Build trees: build/, build-asan/, build-tsan/, and build-release/ (optimised
# without debug information, what the benchmarks are measured on).
set -euo pipefail
cd "$(dirname "$0")/.."
flavour="${1:-plain}"
options=()
type=RelWithDebInfo
case "$flavour" in
  plain) dir=build; flags="" ;;
  release) dir=build-release; flags=""; type=Release ;;
  asan)  dir=build-asan; flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined" ;;
  tsan)  dir=build-tsan; flags="-fsanitize=thread"; options=(-DTARNWICK_TSAN_PROBE=ON) ;;
  *) echo "unknown flavour '$flavour' (plain, asan, tsan or release)" >&2; exit 2 ;;
esac
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE="$type" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" "${options[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
