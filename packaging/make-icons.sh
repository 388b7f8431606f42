#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG (needs rsvg-convert,
# Debian package librsvg2-bin). The PNGs are kept in the tree, so that a
# build needs no renderer; run this again after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/icons"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2; exit 1; }
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" tarnwick.svg -o "tarnwick-$size.png"
done
