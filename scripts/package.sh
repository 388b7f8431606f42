#!/usr/bin/env bash
# Builds the Debian package build-package/tarnwick_VERSION_amd64.deb and
# checks it: lintian, the desktop entry and the AppStream metadata. Installs
# the checkers when they are missing (uses sudo when not root).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-package

scripts/apt-install-missing.sh lintian desktop-file-utils appstream

scripts/build.sh package
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
