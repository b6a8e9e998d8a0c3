#!/usr/bin/env bash
# Round trips of the device backup with the built qvxctl against the built qvx_sim, checked
# only by exit codes and output: backup, changes, verify, refusal without --yes, restore,
# verify, a second controller with another serial number, a controller that falls silent in
# the middle of a restore, a damaged file, offline diff.
#
#   scripts/backup-roundtrip.sh [BUILD_DIR]      (default build/default)
set -u

build=${1:-build/default}
sim=$build/sim/qvx_sim
ctl=$build/tools/qvxctl
work=$(mktemp -d)
export XDG_DATA_HOME=$work/data
sims=()
failures=0

cleanup() {
    for pid in "${sims[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

# start_sim ARGS...: a simulator on a free port; sets AT to qvxctl's connection options.
start_sim() {
    local out=$work/sim${#sims[@]}.out
    "$sim" --tcp 0 --seed 11 "$@" >"$out" 2>&1 &
    sims+=($!)
    for _ in $(seq 200); do
        grep -q listening "$out" && break
        sleep 0.05
    done
    AT="--port $(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$out") --timeout 1000 --retries 2"
}

stop_sims() {
    for pid in "${sims[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    sims=()
}

# expect CODE TEXT COMMAND...: the command exits with CODE and its output holds TEXT.
expect() {
    local code=$1 text=$2
    shift 2
    "$@" >"$work/out" 2>&1
    local got=$?
    if [ "$got" -ne "$code" ] || ! grep -qF -- "$text" "$work/out"; then
        echo "FAIL: $* -> exit $got (wanted $code, output with '$text'):"
        sed 's/^/    /' "$work/out"
        failures=$((failures + 1))
    else
        echo "ok:   $* -> $got"
    fi
}

change() {
    "$ctl" $AT input-record 0x9000 0x8000 0x7000 0x6000 0x5000 >/dev/null &&
        "$ctl" $AT write-eeprom 352 F0 0F &&
        "$ctl" $AT write-eeprom 108 A0 0F 4E 20
}

a=$work/a.qvx
start_sim --eeprom "$work/eeprom.bin"
expect 0 "serial number: 42" "$ctl" $AT backup "$a"
expect 0 "differences: 0" "$ctl" $AT verify "$a"
change
expect 1 "differences: 7" "$ctl" $AT verify "$a"
expect 1 "give --yes" "$ctl" $AT restore "$a"
expect 1 "differences: 7" "$ctl" $AT verify "$a"
expect 0 "every item matches" "$ctl" $AT restore --yes "$a"
expect 0 "differences: 0" "$ctl" $AT verify "$a"
expect 0 "nothing to restore" "$ctl" $AT restore "$a"

# Another controller with another serial number takes the same settings.
change
b=$work/b.qvx
expect 0 "file: $b" "$ctl" $AT backup "$b"
start_sim
"$ctl" $AT write-eeprom 24 2B
expect 0 "note: serial number 43 (controller) and 42 (file)" "$ctl" $AT restore --yes "$b"
expect 0 "differences: 0" "$ctl" $AT verify "$b"
expect 0 "serial number: 43" "$ctl" $AT service
stop_sims

# A controller that stops answering after the three changes: the restore's first write fails
# and nothing after it reaches the controller.
start_sim --eeprom "$work/eeprom.bin" --silent-after-writes 3
change
expect 2 "Schaltschwellen: not written" "$ctl" $AT restore --yes "$a"
stop_sims
start_sim --eeprom "$work/eeprom.bin"
expect 1 "differences: 7" "$ctl" $AT verify "$a"

# Damaged files and offline comparison.
sed 's/^Woche=23/Woche=24/' "$a" >"$work/damaged.qvx"
expect 2 "checksum does not match" "$ctl" $AT verify "$work/damaged.qvx"
expect 2 "checksum does not match" "$ctl" $AT restore --yes "$work/damaged.qvx"
expect 1 "differences: 7" "$ctl" $AT --ignore-checksum verify "$work/damaged.qvx"
expect 1 "differences: 7" "$ctl" diff "$a" "$b"
expect 0 "differences: 0" "$ctl" diff "$a" "$a"
expect 2 "cannot read" "$ctl" diff "$a" "$work/missing.qvx"
copies=$(ls "$XDG_DATA_HOME/qvx" | wc -l)
if [ "$copies" -ne 3 ]; then
    echo "FAIL: $copies safety copies, wanted 3 (one per restore that was let through)"
    failures=$((failures + 1))
fi

echo "$failures failed"
[ "$failures" -eq 0 ]
