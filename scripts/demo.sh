#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole chain: the simulated controller on a
# pseudo-terminal, the gateway relaying to it, and the desktop program connected through the
# gateway. Without a display the program runs under Xvfb, the connection dialog is confirmed
# the way a user does, and a screenshot is written.
#
#   QVX_DEMO_SECONDS=N      end after N seconds (default: run until Ctrl+C or the window closes)
#   QVX_DEMO_SCREENSHOT=F   write a screenshot of the running program to F
#   QVX_DEMO_PORT=P         login port of the gateway (the data port is P+1; default 5100)
#   QVX_DEMO_LANG=de|en     the desktop program's language (default: the user's)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target qvx_sim qvx_gateway qvx_controller qvxctl
bin=$root/build/default

port=${QVX_DEMO_PORT:-5100}
work=$(mktemp -d /tmp/qvx-demo.XXXXXX)
pids=()
names=()
cleanup() {
  report_peak_memory
  # The last started ends first, each before the next: the desktop program while its display
  # is still there, the gateway before the controller it relays to.
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[$i]}" 2>/dev/null || true
    wait "${pids[$i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT

started() {  # started NAME: records the last background process under NAME
  pids+=($!)
  names+=("$1")
}

report_peak_memory() {  # the most resident memory each program needed (VmHWM)
  local i peak
  for i in "${!pids[@]}"; do
    peak=$(awk '/^VmHWM/ {print $2}' "/proc/${pids[$i]}/status" 2>/dev/null) || continue
    [ -n "$peak" ] && printf 'demo: peak memory of %-14s %8s kB\n' "${names[$i]}" "$peak"
  done
  return 0
}

wait_for() {  # wait_for SECONDS COMMAND...: polls until the command succeeds
  local until=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $until ] || { echo "demo: timed out waiting for: $*" >&2; return 1; }
    sleep 0.1
  done
}

echo "demo: working folder $work"
"$bin/sim/qvx_sim" --pty "$work/controller.tty" --eeprom "$work/controller.eeprom" >"$work/sim.log" 2>&1 &
started qvx_sim
wait_for 10 grep -q ready "$work/sim.log"

ln -s "$bin/gateway/qvx_gateway" "$work/qvx_gateway"
cat >"$work/qvx_gateway.ini" <<INI
[Globals]
BasePortAddress=$port
IPAddress=127.0.0.1
Ports=1
Secured=0
[Port1]
COMPort=$work/controller.tty
BaudRate=9600
ByteSize=8
Parity=NOPARITY
StopBits=ONESTOPBIT
INI
(cd "$work" && exec ./qvx_gateway -d >"$work/gateway.log" 2>&1) &
started qvx_gateway
wait_for 10 grep -q "Initialisierung OK" "$work/gateway.log"

cat >"$work/qvx.ini" <<INI
[Globals]
TCP_IP_ADDRESS=127.0.0.1
BasePort=$port
Port=$((port + 1))
Connectiontype=TCPIP
BaseUnit=MM
INI

echo "demo: controller values through the gateway:"
"$bin/tools/qvxctl" --port $((port + 1)) status | sed 's/^/  /' || true

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  Xvfb -displayfd 3 -screen 0 1280x800x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  started Xvfb
  wait_for 10 test -s "$work/display"
  export DISPLAY=":$(cat "$work/display")"
  echo "demo: no display; running under Xvfb $DISPLAY"
fi

geometry=()
# Without a window manager nothing maximises the window: give it the whole virtual screen.
[ "$headless" = 1 ] && geometry=(-qwindowgeometry 1280x800+0+0)
language=()
[ -n "${QVX_DEMO_LANG:-}" ] && language=(--lang "$QVX_DEMO_LANG")
# The connection dialog's title in German and in English.
dialog_title="^(Neue Verbindung|New connection)$"
(cd "$work" && exec "$bin/app/qvx_controller" "${language[@]}" "${geometry[@]}") &
controller=$!
started qvx_controller

if [ "$headless" = 1 ] || [ -n "${QVX_DEMO_SCREENSHOT:-}" ]; then
  # Confirm the connection dialog as a user would: Return on its OK button.
  wait_for 20 xdotool search --name "$dialog_title"
  xdotool key --window "$(xdotool search --name "$dialog_title" | head -n 1)" Return
  # Give the login (3 s) and the first polling results time to arrive.
  sleep 8
  if [ -n "${QVX_DEMO_SCREENSHOT:-}" ]; then
    import -window root "$QVX_DEMO_SCREENSHOT"
    echo "demo: screenshot written to $QVX_DEMO_SCREENSHOT"
  fi
fi

if [ -n "${QVX_DEMO_SECONDS:-}" ]; then
  sleep "$QVX_DEMO_SECONDS"
else
  echo "demo: running; close the window or press Ctrl+C to end"
  wait "$controller" || true
fi
