#!/usr/bin/env python3
"""A day's speed: a gzip file against its plain file, and a day's list side by side against one
input after another, in interleaved rounds of one build. `make bench` runs it after its table.

  bench/day-speed.py ORVALIS GEN [ROUNDS] [FORMATS]

GEN is the generator (build/release/bench/orvalis-gen); ROUNDS defaults to 7, FORMATS to
"text csv". The inputs, made once in build/bench/day/: the 100 MiB generated file of `make bench`
(seed 100) and its gzip, and a day of 28 files of 5 MiB (seeds 500 to 527), every other one
compressed with gzip. Each round runs every way once, in an order that turns round every other
round; outputs go to /dev/null, console to /dev/null. For each way: the median wall time and its
spread (lowest to highest), the median user and system CPU time per MiB of contents; then the
ratios that the targets are about, median of the rounds' own ratios with their spread:

  gzip / plain        wall time of the 100 MiB gzip file over its plain file (target at most 1.2)
  one / side by side  wall time of the day's list one after another (--list-jobs 1) over side by
                      side (--list-jobs 0, one per processor; target at least 1.7 on two cores)

Wall times mean something only on a quiet machine: on a shared one, read the CPU columns (the
work done, whoever waits) and run it again when the machine is quiet. It also checks once that the
gzip file gives the plain file's output and the list side by side the serial list's.
"""
import hashlib
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

orvalis, gen = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 7
formats = (sys.argv[4] if len(sys.argv) > 4 else "text csv").split()
root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
work = os.path.join(os.environ.get("BENCH_OUT_DIR", os.path.join(root, "build", "bench")), "day")
os.makedirs(work, exist_ok=True)
MiB = 1 << 20


def path(name):
    return os.path.join(work, name)


def make(name, size, seed, compress):
    """The generated file `name` (and `name`.gz when `compress`), made once; returns the listed name."""
    if not os.path.exists(path(name)):
        subprocess.run([gen, "-q", "--size", size, "--seed", str(seed), "--layout", "mixed", "-o", path(name)],
                       check=True)
    if not compress:
        return name
    if not os.path.exists(path(name + ".gz")):
        with open(path(name + ".gz"), "wb") as packed:  # as gzip(1) writes it, its default level
            subprocess.run(["gzip", "-n", "-c", path(name)], stdout=packed, check=True)
    return name + ".gz"


shutil.copy(os.path.join(root, "examples", "Tags.cfg"), path("Tags.cfg"))
open(path("Orvalis.cfg"), "w").close()
make("calls-100M.ber", "100M", 100, True)
listed = [make(f"day-{i:02d}.ber", "5M", 500 + i, i % 2 == 1) for i in range(28)]
with open(path("day.list"), "w") as f:
    f.write("".join(name + "\n" for name in listed))
whole_mib = os.path.getsize(path("calls-100M.ber")) / MiB
day_mib = sum(os.path.getsize(path(f"day-{i:02d}.ber")) for i in range(28)) / MiB


def timed(args):
    """One run in the work folder: (wall seconds, user seconds, system seconds)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    status = subprocess.call([orvalis, "-q"] + args, cwd=work, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if status != 0:
        sys.exit(f"orvalis {' '.join(args)}: exit status {status}")
    return wall, after.ru_utime - before.ru_utime, after.ru_stime - before.ru_stime


def digest(args):
    subprocess.run([orvalis, "-q", "-o", "check.out"] + args, cwd=work, check=True, stderr=subprocess.DEVNULL)
    h = hashlib.sha256()
    with open(path("check.out"), "rb") as f:
        for block in iter(lambda: f.read(MiB), b""):
            h.update(block)
    os.remove(path("check.out"))
    return h.hexdigest()


def spread(values, scale=1.0, fmt="%.3f"):
    return (fmt % (statistics.median(values) * scale), fmt % (min(values) * scale), fmt % (max(values) * scale))


for fmt in formats:
    x = ["-x", fmt]
    ways = {
        "plain 100 MiB": (["-i", "calls-100M.ber", "-o", os.devnull] + x, whole_mib),
        "gzip 100 MiB": (["-i", "calls-100M.ber.gz", "-o", os.devnull] + x, whole_mib),
        "day, one by one": (["--list-jobs", "1", "-l", "day.list", "-o", os.devnull] + x, day_mib),
        "day, side by side": (["--list-jobs", "0", "-l", "day.list", "-o", os.devnull] + x, day_mib),
    }
    seen = {name: [] for name in ways}
    names = list(ways)
    for r in range(rounds):
        for name in (names if r % 2 == 0 else names[::-1]):
            seen[name].append(timed(ways[name][0]))
    same_gzip = digest(["-i", "calls-100M.ber"] + x) == digest(["-i", "calls-100M.ber.gz"] + x)
    same_list = digest(["--list-jobs", "1", "-l", "day.list"] + x) == digest(["--list-jobs", "0", "-l", "day.list"] + x)
    print(f"--- {fmt}: {rounds} rounds, {os.cpu_count()} processors; the gzip file gives the plain file's output:"
          f" {same_gzip}; the list side by side gives the serial list's: {same_list}")
    print(f"{'way':18} {'wall s':>7} {'(lowest-highest)':>17} {'user ms/MiB':>12} {'(lowest-highest)':>17}"
          f" {'sys ms/MiB':>11}")
    for name in names:
        mib = ways[name][1]
        walls = [w for w, _, _ in seen[name]]
        users = [u / mib for _, u, _ in seen[name]]
        systems = [s / mib for _, _, s in seen[name]]
        w = spread(walls)
        u = spread(users, 1000, "%.2f")
        print(f"{name:18} {w[0]:>7} {w[1] + '-' + w[2]:>17} {u[0]:>12} {u[1] + '-' + u[2]:>17}"
              f" {statistics.median(systems) * 1000:11.2f}")
    for title, slow, fast in (("gzip / plain", "gzip 100 MiB", "plain 100 MiB"),
                              ("one / side by side", "day, one by one", "day, side by side")):
        ratios = [s[0] / f[0] for s, f in zip(seen[slow], seen[fast])]
        cpu = [(s[1] + s[2]) / (f[1] + f[2]) for s, f in zip(seen[slow], seen[fast])]
        r = spread(ratios, 1, "%.2f")
        c = spread(cpu, 1, "%.2f")
        print(f"{title:18} wall {r[0]} ({r[1]}-{r[2]}), CPU {c[0]} ({c[1]}-{c[2]})")
