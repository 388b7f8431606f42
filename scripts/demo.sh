#!/usr/bin/env bash
# Runs the application from the plain build.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found. Run it in a virtual one instead:"
  echo "  xvfb-run -a -s '-screen 0 1280x800x24' scripts/demo.sh"
  exit 1
fi
exec build/bin/tarnwick
