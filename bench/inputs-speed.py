#!/usr/bin/env python3
"""What compressed and listed inputs cost: interleaved runs of one build over a generated file of
SIZE MiB, converted as it is (-i FILE), compressed with gzip (-i FILE.gz), compressed through a pipe
(zcat FILE.gz | orvalis -q -i -), and cut into ten files converted by one run (-l LIST) and by ten
runs; in each format asked for. Prints for each way the median wall time and the median CPU time
(user and system, the pipe's zcat included) per MiB of contents, with the spread (lowest to
highest), and checks that every way gives the same output (the ten files: the same records; each
file's own numbering starts at 1, so their text is compared with the parts converted alone).

  bench/inputs-speed.py ORVALIS GEN [SIZE_MIB] [ROUNDS] [FORMATS]

GEN is the generator (build/release/bench/orvalis-gen); SIZE_MIB defaults to 100, ROUNDS to 7,
FORMATS to "text csv". The work folder is a temporary one under build/.
"""
import hashlib
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

orvalis, gen = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
size_mib = int(sys.argv[3]) if len(sys.argv) > 3 else 100
rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 7
formats = (sys.argv[5] if len(sys.argv) > 5 else "text csv").split()
root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.makedirs(os.path.join(root, "build"), exist_ok=True)
work = tempfile.mkdtemp(dir=os.path.join(root, "build"), prefix="inputs-speed-")


def path(name):
    return os.path.join(work, name)


def sha(name):
    digest = hashlib.sha256()
    with open(path(name), "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def timed(command, stdin=None):
    """Runs a shell command in the work folder: (wall seconds, CPU seconds of its children)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, shell=True, cwd=work, check=False, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, stdin=stdin)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


shutil.copy(os.path.join(root, "examples", "Tags.cfg"), path("Tags.cfg"))
open(path("Orvalis.cfg"), "w").close()
subprocess.run([gen, "-q", "--size", f"{size_mib}M", "-o", path("whole.ber")], check=True)
subprocess.run(f"gzip -c whole.ber > whole.ber.gz", shell=True, cwd=work, check=True)
# Ten parts cut at record boundaries: the generator makes each part on its own.
parts = []
for i in range(10):
    name = f"part{i}.ber"
    subprocess.run([gen, "-q", "--seed", str(100 + i), "--size", f"{max(size_mib // 10, 1)}M", "-o", path(name)],
                   check=True)
    parts.append(name)
with open(path("parts.list"), "w") as f:
    f.write("".join(p + "\n" for p in parts))
contents_mib = os.path.getsize(path("whole.ber")) / (1 << 20)
parts_mib = sum(os.path.getsize(path(p)) for p in parts) / (1 << 20)

for fmt in formats:
    x = f"-x {fmt}"
    ways = {
        "file": (f"{orvalis} -q {x} -i whole.ber -o out.file", contents_mib),
        "gzip file": (f"{orvalis} -q {x} -i whole.ber.gz -o out.gz", contents_mib),
        "zcat pipe": (f"zcat whole.ber.gz | {orvalis} -q {x} -i - -o out.pipe", contents_mib),
        "-l ten parts": (f"{orvalis} -q {x} -l parts.list -o out.list", parts_mib),
        "ten runs": (" && ".join(f"{orvalis} -q {x} -i {p} -o out.{p}" for p in parts), parts_mib),
    }
    results = {name: ([], []) for name in ways}
    names = list(ways)
    for r in range(rounds):
        order = names if r % 2 == 0 else names[::-1]
        for name in order:
            wall, cpu = timed(ways[name][0])
            results[name][0].append(wall / ways[name][1])
            results[name][1].append(cpu / ways[name][1])
    same = sha("out.file") == sha("out.gz") == sha("out.pipe")
    # The list's output is the ten runs' outputs one after another (one CSV header).
    joined = hashlib.sha256()
    for i, p in enumerate(parts):
        with open(path(f"out.{p}"), "rb") as f:
            data = f.read()
        if fmt == "csv" and i > 0:
            data = data[data.index(b"\r\n") + 2:]
        joined.update(data)
    same_list = joined.hexdigest() == sha("out.list")
    print(f"--- {fmt}: {contents_mib:.1f} MiB ({parts_mib:.1f} MiB in ten parts), {rounds} rounds;"
          f" gzip file, zcat pipe and file give the same output: {same}; -l gives the ten runs' outputs: {same_list}")
    print(f"{'way':14} {'wall ms/MiB':>12} {'spread':>15} {'CPU ms/MiB':>11} {'spread':>15}")
    for name in names:
        walls, cpus = results[name]
        print(f"{name:14} {statistics.median(walls) * 1000:12.2f} {min(walls) * 1000:7.2f}-{max(walls) * 1000:<7.2f}"
              f" {statistics.median(cpus) * 1000:11.2f} {min(cpus) * 1000:7.2f}-{max(cpus) * 1000:<7.2f}")
shutil.rmtree(work)
