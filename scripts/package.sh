#!/usr/bin/env bash
# Builds the Debian package build-package/tarnwick_VERSION_amd64.deb and
# checks it: lintian, the desktop entry and the AppStream metadata. Installs
# the checkers when they are missing (uses sudo when not root).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-package

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
missing=()
for p in lintian desktop-file-utils appstream; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)"
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/tarnwick_*_amd64.deb)

echo "=== desktop-file-validate"
desktop-file-validate packaging/tarnwick.desktop
echo "=== appstreamcli validate"
appstreamcli validate --no-net packaging/com.quelbrook.Tarnwick.metainfo.xml
echo "=== lintian $deb"
# Errors fail the package; warnings and notes are shown.
lintian --fail-on error "$deb"
echo "Package: $deb"
