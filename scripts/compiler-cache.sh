# Sourced by the build scripts: a compiler cache where there is one, so that
# a second build of the same sources, here or by CI on the same machine,
# compiles only what changed. Adds to the array `options`.
if command -v ccache >/dev/null; then
  options+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD" CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-include_file_mtime,include_file_ctime}"
fi
