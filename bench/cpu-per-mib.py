#!/usr/bin/env python3
"""User CPU per MiB of input of two builds, in interleaved runs (old, new, then new, old, ...).

Usage (in a folder with the input, Tags.cfg and Orvalis.cfg):
  bench/cpu-per-mib.py OLD NEW [ROUNDS] [FORMATS] [INPUT]
FORMATS is a comma-separated list of text, jsonl, csv and debug (all four by default); INPUT is
calls-100M.ber by default (`make bench` generates it in build/bench/). Each line gives the
median of each build in ms/MiB, its spread ((max - min) / median) and the ratio new/old. The
time is the process's own user time (wait4), outputs go to /dev/null. On a shared virtual machine
the spread can exceed the difference being measured. The fastest run of each build is less
disturbed by the neighbours than the median: it is printed too (min), and with PIN=CPU every run
is kept to that one processor (taskset). Or count instructions with valgrind --tool=callgrind.
A record range from 1 in Orvalis.cfg keeps the walk to one thread.
"""
import os, statistics, subprocess, sys

old, new = sys.argv[1], sys.argv[2]
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 9
formats = sys.argv[4].split(",") if len(sys.argv) > 4 else ["text", "jsonl", "csv", "debug"]
source = sys.argv[5] if len(sys.argv) > 5 else "calls-100M.ber"
size = os.path.getsize(source) / (1 << 20)


def user_ms_per_mib(binary, fmt):
    args = ["-d"] if fmt == "debug" else ["-x", fmt]
    pin = ["taskset", "-c", os.environ["PIN"]] if os.environ.get("PIN") else []
    run = subprocess.Popen(pin + [binary, "-q", "-i", source, "-o", os.devnull] + args,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(run.pid, 0)
    if status != 0:
        sys.exit(f"{binary} {' '.join(args)}: exit status {status}")
    return usage.ru_utime * 1000 / size


for fmt in formats:
    times = {old: [], new: []}
    for k in range(rounds):
        for binary in ((old, new) if k % 2 == 0 else (new, old)):
            times[binary].append(user_ms_per_mib(binary, fmt))
    medians = {b: statistics.median(t) for b, t in times.items()}
    spreads = {b: (max(t) - min(t)) / medians[b] * 100 for b, t in times.items()}
    print(f"{fmt}: old {medians[old]:.3f} ms/MiB (spread {spreads[old]:.1f}%), "
          f"new {medians[new]:.3f} ms/MiB (spread {spreads[new]:.1f}%), new/old {medians[new] / medians[old]:.4f}; "
          f"min new/old {min(times[new]) / min(times[old]):.4f}", flush=True)
