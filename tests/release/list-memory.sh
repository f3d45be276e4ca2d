#!/usr/bin/env bash
# A list of large inputs converted side by side: peak memory within the inputs held at once (at
# most ListJobs of them, the largest at worst) plus 32 MiB for each, while each input's text, many
# times the input, waits for its turn beyond 8 MiB in a temporary file; the output, the summary
# lines and the status those of the inputs converted one after another.
#   list-memory.sh path/to/release/orvalis
set -euo pipefail
exec python3 - "$(realpath "$1")" "$(cd "$(dirname "$0")/../.." && pwd)" <<'PYTHON'
import gzip, hashlib, os, shutil, subprocess, sys, tempfile

orvalis, root = sys.argv[1], sys.argv[2]
MiB = 1 << 20
work = tempfile.mkdtemp()
failed = False
shutil.copy(os.path.join(root, "examples", "Tags.cfg"), work)
open(os.path.join(work, "Orvalis.cfg"), "wb").close()
calls = open(os.path.join(root, "examples", "calls.ber"), "rb").read()

def write(name, data):
    with open(os.path.join(work, name), "wb") as f:
        f.write(data)

# Whole copies of the example one after another: a billing file of about `mib` MiB.
def copies(mib):
    return calls * (mib * MiB // len(calls))

sizes = {"a.ber": 48, "b.ber": 24, "c.ber.gz": 40, "d.ber": 8, "e.ber": 32}
contents = {}
for name, mib in sizes.items():
    data = copies(mib)
    contents[name] = len(data)
    write(name, gzip.compress(data, 1, mtime=0) if name.endswith(".gz") else data)
write("day.list", "".join(name + "\n" for name in sizes).encode())

def run(jobs, fmt):
    out, rss = os.path.join(work, "out"), os.path.join(work, "rss")
    with open(os.path.join(work, "err"), "wb") as err:
        status = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", rss, orvalis, "-q", "-x", fmt,
                                  "--list-jobs", str(jobs), "-l", "day.list", "-o", out],
                                 cwd=work, stdout=subprocess.DEVNULL, stderr=err)
    digest = hashlib.sha256()
    with open(out, "rb") as f:
        for block in iter(lambda: f.read(MiB), b""):
            digest.update(block)
    os.remove(out)
    with open(rss) as f:
        peak = int(f.read().split()[-1])
    return peak, status, digest.hexdigest(), open(os.path.join(work, "err"), "rb").read()

for fmt in ("text", "csv"):
    one = run(1, fmt)
    for jobs in (2, 3):
        peak, status, digest, said = run(jobs, fmt)
        held = sorted(contents.values(), reverse=True)[:jobs]
        limit = sum(held) // 1024 + jobs * 32 * 1024
        if status != one[1] or digest != one[2] or said != one[3] or peak > limit:
            failed = True
            why = ("status %d, one after another %d" % (status, one[1]) if status != one[1] else
                   "output differs" if digest != one[2] else "summary lines differ" if said != one[3] else
                   "peak memory %d KiB above %d KiB" % (peak, limit))
            print("FAIL %s, %d at once: %s" % (fmt, jobs, why))
        else:
            print("ok %s, %d at once: peak memory %d KiB (limit %d KiB)" % (fmt, jobs, peak, limit))
shutil.rmtree(work)
sys.exit(1 if failed else 0)
PYTHON
