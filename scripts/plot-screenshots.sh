#!/usr/bin/env bash
# Writes docs/plot_operating_state_cursors.png and docs/plot_recording_overlay.png: the main
# window against the simulated controller, the operating-state view with cursors on output
# edges and the switch points as reference lines, the recording view with a second recording
# laid over the first. Runs on a virtual screen; takes about a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target qvx_plot_screenshots
work=$(mktemp -d /tmp/qvx-plots.XXXXXX)
Xvfb -displayfd 3 -screen 0 1280x800x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "plot-screenshots: Xvfb did not start" >&2; exit 1; }
DISPLAY=":$(cat "$work/display")" build/default/app/gallery/qvx_plot_screenshots "$PWD/docs"
