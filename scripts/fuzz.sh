#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz") and runs each one for a bounded time over its
# seed corpus and its regression inputs, one target at a time. Fails if any target finds a
# crash, a hang, a leak, a sanitizer report or a broken property.
#
# Usage: scripts/fuzz.sh [SECONDS | --runs N] [TARGET...]
#   SECONDS   fuzzing time per target (default 20)
#   --runs N  a fixed number of executions per target instead
#   TARGET    only these targets (default: all below)
#
# New inputs that add coverage collect in fuzz/corpus-work/<target>/ (not kept in git) and
# are reused by the next run. A finding is saved under build/fuzz/artifacts/; once the fault
# is fixed, keep the input in fuzz/regressions/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

# One line per target: the name of fuzz/<name>_fuzz.cpp (also listed in fuzz/CMakeLists.txt).
TARGETS=(
  link_message
  frame_assembler
  frame_channel
  ini_document
  request_handler
  sim_session
  ctl_options
  login_line
  programming_file
  device_backup
)

# The byte-stream targets take inputs of at most 1024 bytes: every limit of their parsers (a
# frame of 263 bytes, a text or modem command line of about 200) lies well within, and their
# cost grows with the length, so longer inputs would only slow the runs down.
declare -A MAX_LEN=([frame_assembler]=1024 [frame_channel]=1024 [request_handler]=1024
                    [sim_session]=1024)

limit=(-max_total_time=20)
if [[ $# -gt 0 && $1 == --runs ]]; then
  [[ $# -ge 2 && $2 =~ ^[0-9]+$ ]] || { echo "usage: $0 [SECONDS | --runs N] [TARGET...]" >&2; exit 2; }
  limit=(-runs="$2")
  shift 2
elif [[ $# -gt 0 && $1 =~ ^[0-9]+$ ]]; then
  limit=(-max_total_time="$1")
  shift
fi
if [[ $# -gt 0 ]]; then
  TARGETS=("$@")
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build=build/fuzz
mkdir -p "$build/artifacts" "$build/logs"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# Per input: 10 s before it counts as a hang, 1 GiB before it counts as running out of memory.
common=(-timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=1024 -detect_leaks=1
        -print_final_stats=1)

failed=()
printf '%-16s %12s %10s %8s %8s  %s\n' target executions "exec/s" seconds corpus result
for target in "${TARGETS[@]}"; do
  binary=$build/fuzz/fuzz_$target
  seeds=fuzz/corpus/$target
  regressions=fuzz/regressions/$target
  work=fuzz/corpus-work/$target
  log=$build/logs/$target.log
  if [[ ! -x $binary || ! -d $seeds ]]; then
    echo "$target: no such fuzz target (binary $binary, seeds $seeds)" >&2
    failed+=("$target")
    continue
  fi
  mkdir -p "$work"

  options=("${common[@]}" -artifact_prefix="$build/artifacts/$target-")
  [[ -f fuzz/dict/$target.dict ]] && options+=(-dict="fuzz/dict/$target.dict")
  [[ -n ${MAX_LEN[$target]:-} ]] && options+=(-max_len="${MAX_LEN[$target]}")

  # Every kept regression input on its own first, so a returning fault names its input.
  : >"$log"
  status=0
  if compgen -G "$regressions/*" >/dev/null; then
    "$binary" "${options[@]}" "$regressions"/* >>"$log" 2>&1 || status=$?
  fi
  if [[ $status -eq 0 ]]; then
    dirs=("$work" "$seeds")
    [[ -d $regressions ]] && dirs+=("$regressions")
    start=$SECONDS
    "$binary" "${options[@]}" "${limit[@]}" "${dirs[@]}" >>"$log" 2>&1 || status=$?
    elapsed=$((SECONDS - start))
  else
    elapsed=0
  fi

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1 || true)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n1 || true)
  corpus=$(grep -o 'corp: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2 || true)
  if [[ $status -eq 0 ]]; then
    result=ok
  else
    result="FAILED (exit $status, log $log)"
    failed+=("$target")
  fi
  printf '%-16s %12s %10s %8s %8s  %s\n' "$target" "${runs:--}" "${speed:--}" "$elapsed" \
    "${corpus:--}" "$result"
  if [[ $status -ne 0 ]]; then
    tail -n 60 "$log" >&2
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzzing found problems in: ${failed[*]} (inputs in $build/artifacts/)" >&2
  exit 1
fi
