#!/usr/bin/env bash
# Relay benchmark: builds qvx_gateway and qvx_bench_relay (release build, preset nogui) and
# runs the relays side by side: the direct pty path, qvx_gateway, the reference relay, ser2net
# and socat.
# Extra arguments go to qvx_bench_relay, e.g. --rounds 5 --bulk-mib 32 --only qvx_gateway.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in ser2net socat; do
  command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] || {
    echo "bench-relay: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
  }
done
cmake --preset nogui >/dev/null
cmake --build --preset nogui --target qvx_gateway qvx_reference_relay qvx_bench_relay
# The machine may be shared: the load on both sides of the run goes with its figures.
echo "load before the run: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
status=0
build/nogui/bench/qvx_bench_relay "$@" || status=$?
echo "load after the run: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
exit "$status"
