#!/usr/bin/env bash
# Installs what is missing, builds, and runs the most complete chain the project has.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
bin=build/default

echo
echo "The device link's frames and messages, checked against the known frames byte for byte:"
"$bin/tests/link/qvx_link_tests" --gtest_brief=0 --gtest_filter='LinkMessage*:FrameAssembler*'
