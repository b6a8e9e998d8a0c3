#!/usr/bin/env bash
# Writes docs/screenshot.png: the desktop program connected to the simulated controller
# through the gateway, on a virtual screen.
set -euo pipefail
cd "$(dirname "$0")/.."
env -u DISPLAY QVX_DEMO_SECONDS=1 QVX_DEMO_SCREENSHOT="$PWD/docs/screenshot.png" scripts/demo.sh
