#!/usr/bin/env python3
"""Where the relays' round trips go: runs qvx_bench_relay under the kernel's scheduler trace
and splits every unpaced round trip into the four thread wake-ups it is made of.

A round trip through a relay wakes four threads in turn: the relay (the client's request has
arrived), the emulated device (the relay has written the request to the pty), the relay again
(the reply is there) and the client (the relay has sent the reply). Each of them either was
still running (no wake-up needed), is woken on the CPU of the thread that woke it, or on the
other CPU, which has to be woken from idle first. This prints, per relay, how often each
happened and what it cost from the wake-up to the thread running, and per round (each relay
process) the median round trip and the mean number of wake-ups on another CPU.

Needs root (the trace is taken through tracefs) and the benchmark of the nogui build
(scripts/bench-relay.sh builds it). Relays are told apart by their process
name, so the two gateways of --compare are counted together; a relay must write each request
and each reply in one call to be split (qvx_gateway and socat do, ser2net does not).

    scripts/relay-wakeups.py                  # 15 rounds of qvx_gateway and socat
    scripts/relay-wakeups.py --rounds 30 --only qvx_gateway --only socat
"""
import collections
import os
import re
import statistics
import subprocess
import sys

TRACING = "/sys/kernel/tracing"
BENCH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build", "nogui", "bench",
                     "qvx_bench_relay")
EVENTS = ["sched:sched_switch", "sched:sched_waking", "syscalls:sys_enter_write",
          "syscalls:sys_enter_sendto", "syscalls:sys_exit_read"]
REQUEST, REPLY = 8, 40  # the benchmark's unpaced exchange, in bytes

# The wake-ups of a round trip, in order: what is woken, the step after which it is woken, and
# the step whose thread it is.
STEPS = (("relay, by the client", "request", "to device"),
         ("device, by the relay", "to device", "reply"),
         ("relay, by the device", "reply", "to client"),
         ("client, by the relay", "to client", "request"))

LINE = re.compile(r"^\s*(.+?)-(\d+)\s+\[(\d+)\]\s+\S+\s+([\d.]+): (\w+)[:(]?\s*(.*)$")
SIZE = re.compile(r"(?:count|len): (0x[0-9a-f]+|\d+)")
NEXT_PID = re.compile(r"next_pid=(\d+)")
WAKEE_PID = re.compile(r" pid=(\d+)")


def write(name, text):
    with open(os.path.join(TRACING, name), "w") as f:
        f.write(text)


def traced_run(bench_args):
    if not os.path.isdir(os.path.join(TRACING, "events")):
        subprocess.run(["mount", "-t", "tracefs", "nodev", TRACING], check=True)
    write("tracing_on", "0")
    write("trace", "")
    write("buffer_size_kb", "131072")
    write("set_event", "\n".join(EVENTS) + "\n")
    write("tracing_on", "1")
    try:
        subprocess.run([BENCH] + bench_args, check=True, stderr=subprocess.DEVNULL)
    finally:
        write("tracing_on", "0")
        write("set_event", "")
    with open(os.path.join(TRACING, "trace")) as f:
        return f.read().splitlines()


def parse(lines):
    for line in lines:
        match = LINE.match(line)
        if match:
            comm, tid, cpu, stamp, name, rest = match.groups()
            yield float(stamp) * 1e6, comm, int(tid), int(cpu), name, rest


# The benchmark's relay names that are not the relay's process name (the kernel keeps 15
# characters of it).
PROCESS_NAMES = {"reference relay": "qvx_reference_r"}


def round_trips(events, relay):
    """Yields (markers, events between them) of each complete round trip through `relay`."""
    state, marks, between = None, {}, []
    process = PROCESS_NAMES.get(relay, relay)
    for event in events:
        stamp, comm, tid, cpu, name, rest = event
        bench, ours = comm.startswith("qvx_bench"), comm == process
        if name in ("sys_write", "sys_sendto"):
            match = SIZE.search(rest)
            size = int(match.group(1), 0) if match else None
            step = None
            if bench and size == REQUEST:
                state, marks, between, step = None, {}, [], "request"
            elif state == "request" and ours and size == REQUEST:
                step = "to device"
            elif state == "to device" and bench and size == REPLY:
                step = "reply"
            elif state == "reply" and ours and size == REPLY:
                step = "to client"
            if step:
                marks[step] = (stamp, tid)
                state = step
                continue
        if (name == "sys_read" and state == "to client" and tid == marks["request"][1]
                and rest.strip().endswith(hex(REPLY))):
            marks["received"] = (stamp, tid)
            yield marks, between
            state = None
        elif state:
            between.append(event)


def wake_up(between, after, wakee):
    """(kind, µs from the wake-up to running) of `wakee`'s first run after `after`."""
    woken = None
    for stamp, _, _, cpu, name, rest in between:
        if stamp < after:
            continue
        if name == "sched_waking" and int(WAKEE_PID.search(rest).group(1)) == wakee:
            woken = (stamp, cpu)
        elif name == "sched_switch" and int(NEXT_PID.search(rest).group(1)) == wakee:
            if woken is None:
                return "still running", 0.0
            return ("same CPU" if woken[1] == cpu else "other CPU"), stamp - woken[0]
    return None


def report(events, relay):
    wakes = collections.defaultdict(list)
    rounds = collections.defaultdict(list)
    totals = []
    for marks, between in round_trips(events, relay):
        found = [wake_up(between, marks[after][0], marks[whose][1])
                 for _, after, whose in STEPS]
        if None in found:
            continue
        for (label, _, _), (kind, micros) in zip(STEPS, found):
            wakes[(label, kind)].append(micros)
        total = marks["received"][0] - marks["request"][0]
        totals.append(total)
        other = sum(1 for kind, _ in found if kind == "other CPU")
        rounds[marks["to client"][1]].append((total, other))
    if not totals:
        print(f"{relay}: no round trip found (requests and replies not written in one call each)")
        return
    print(f"{relay}: {len(totals)} round trips, median {statistics.median(totals):.0f} µs")
    for label, _, _ in STEPS:
        for kind in ("still running", "same CPU", "other CPU"):
            times = wakes.get((label, kind), [])
            if times:
                share = 100 * len(times) / len(totals)
                print(f"  {label:22} {kind:13} {share:5.1f} %   to running: median "
                      f"{statistics.median(times):5.1f} µs")
    per_round = [f"{statistics.median(t for t, _ in v):.0f}/{statistics.mean(o for _, o in v):.1f}"
                 for _, v in sorted(rounds.items())]
    print("  per round, median µs / wake-ups on the other CPU:", " ".join(per_round))


def main():
    if not os.access(BENCH, os.X_OK):
        sys.exit(f"relay-wakeups: {BENCH} is missing (scripts/bench-relay.sh builds it)")
    args = sys.argv[1:] or ["--rounds", "15", "--only", "qvx_gateway", "--only", "socat"]
    args += ["--bulk-mib", "0", "--paced-round-trips", "0"]
    relays = [name for option, name in zip(args, args[1:])
              if option == "--only" and name != "direct pty"]
    events = list(parse(traced_run(args)))  # parsed once for all relays
    for relay in relays or ["qvx_gateway", "socat"]:
        report(events, relay)


if __name__ == "__main__":
    main()
