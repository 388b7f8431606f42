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
# A compiler cache where there is one: a second build of the same sources,
# here or by CI on the same machine, compiles only what changed.
if command -v ccache >/dev/null; then
  options+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD" CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-include_file_mtime,include_file_ctime}"
fi
cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE="$type" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" "${options[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
