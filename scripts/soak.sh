#!/usr/bin/env bash
# Soak run: the desktop program's polling (qvxctl poll) through qvx_gateway to qvx_sim with
# faults injected on the controller's side, for a bounded time. Reports failed cycles and, for
# every process, resident memory and open descriptors at the start and at the end, and its
# peak resident memory.
#
#   scripts/soak.sh [SECONDS]        default 180; checking of received checksums is on
#   QVX_SOAK_FAULTS="--drop 0.02 --corrupt 0.02 --status-every 500"   the simulator's faults
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180}
faults=${QVX_SOAK_FAULTS:---drop 0.02 --corrupt 0.02 --status-every 500}
cmake --preset default >/dev/null
cmake --build --preset default --target qvx_sim qvx_gateway qvxctl >/dev/null
bin=$PWD/build/default
work=$(mktemp -d /tmp/qvx-soak.XXXXXX)
port=$((20000 + RANDOM % 20000))
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# shellcheck disable=SC2086
"$bin/sim/qvx_sim" --pty "$work/tty" $faults >"$work/sim.log" 2>&1 &
sim=$!; pids+=($sim)
until grep -q ready "$work/sim.log"; do sleep 0.1; done
ln -s "$bin/gateway/qvx_gateway" "$work/qvx_gateway"
printf '[Globals]\nBasePortAddress=%d\nPorts=1\n[Port1]\nCOMPort=%s\n' "$port" "$work/tty" >"$work/qvx_gateway.ini"
(cd "$work" && exec ./qvx_gateway -f) &
gateway=$!; pids+=($gateway)
until (exec 3<>"/dev/tcp/127.0.0.1/$((port + 1))") 2>/dev/null; do sleep 0.1; done

"$bin/tools/qvxctl" --port $((port + 1)) --crc-check --timeout 300 poll --seconds "$seconds" --interval 10 \
  >"$work/poll.out" 2>"$work/poll.err" &
client=$!; pids+=($client)

sample() {  # sample PID: "rss_kb fds peak_rss_kb"
  local rss fds peak
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0)
  fds=$(ls "/proc/$1/fd" 2>/dev/null | wc -l)
  peak=$(awk '/VmHWM/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0)
  echo "$rss $fds $peak"
}
sleep 2
declare -A first
for name in sim gateway client; do first[$name]=$(sample "${!name}"); done
sleep $((seconds - 4 > 0 ? seconds - 4 : 1))
declare -A last
for name in sim gateway client; do last[$name]=$(sample "${!name}"); done
status=0
wait "$client" || status=$?

echo "soak: $seconds s, simulator faults: $faults"
sed 's/^/  /' "$work/poll.out"
printf '  %-8s %12s %12s %12s %8s %8s\n' process "rss start kB" "rss end kB" "peak kB" "fd start" \
  "fd end"
for name in sim gateway client; do
  read -r r1 f1 _ <<<"${first[$name]}"; read -r r2 f2 p2 <<<"${last[$name]}"
  printf '  %-8s %12s %12s %12s %8s %8s\n' "$name" "$r1" "$r2" "$p2" "$f1" "$f2"
done
[ -s "$work/poll.err" ] && sed 's/^/  /' "$work/poll.err"
exit $status
