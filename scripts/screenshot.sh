#!/usr/bin/env bash
# Writes docs/screenshot.png and docs/screenshot_en.png: the desktop program in German and in
# English, connected to the simulated controller through the gateway, on a virtual screen.
set -euo pipefail
cd "$(dirname "$0")/.."
env -u DISPLAY QVX_DEMO_SECONDS=1 QVX_DEMO_LANG=de QVX_DEMO_SCREENSHOT="$PWD/docs/screenshot.png" scripts/demo.sh
env -u DISPLAY QVX_DEMO_SECONDS=1 QVX_DEMO_LANG=en QVX_DEMO_SCREENSHOT="$PWD/docs/screenshot_en.png" scripts/demo.sh
