#!/usr/bin/env python3
"""A mutation sample in slices: the workplace's mutation tool (../shared/tools/mutants.py) draws a
sample of mutants by --n and --seed; a large sample with --attribute takes hours on two cores. This
runs one slice of that same sample, so that the sample can be tried over several sittings, and then
puts the slices' results together as one run of the whole sample would print them.

  mutation-slices.py run FROM TO [mutants.py options]   mutants FROM..TO-1 of the sample (0-based)
  mutation-slices.py run-some I,J,... [options]         those mutants of the sample, again
  mutation-slices.py combine SLICE.json ... [--again RERUN.json ...]
                                                        the score, the survivors and the tests; the
                                                        mutants of a re-run replace the slices' own

Give `run` the tool's options as for a whole run, --json FILE among them (one file a slice), and
--keep-work outside /tmp. `combine` checks that the slices do not overlap and counts what they
hold. A slice cut short leaves what it tried in JSON.partial, which `combine` takes too, as it takes
a slice's log (status and number of killers only).

Run as root, a mutant of the output file's code may replace a device the tests write to
(/dev/full) with a regular file; every later mutant then fails that test. A run says so at its
end when /dev/full is no longer a character device: restore it (mknod -m 666 /dev/full c 1 7) and
run the mutants that only that test killed again (run-some, then combine --again).

A slice stopped in the middle of a mutant leaves its scratch build compiled from the mutated line
(the copy of the project that the next run makes keeps the files' times): remove the build folder
under --keep-work before the next slice, or its baseline fails.
"""
import importlib.util
import json
import os
import re
import stat
import sys

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "tools", "mutants.py")


def dev_full_intact():
    try:
        return stat.S_ISCHR(os.stat("/dev/full").st_mode)
    except OSError:
        return False


def run_slice(first, last, options, picks=None):
    spec = importlib.util.spec_from_file_location("mutants", TOOL)
    tool = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(tool)
    whole = tool.pick

    def sliced(muts, n, seed):
        sample = whole(muts, n, seed)
        if picks is not None:
            print(f"mutants {', '.join(map(str, picks))} of a sample of {len(sample)} mutants", flush=True)
            return [sample[i] for i in picks]
        print(f"slice {first}..{last - 1} of a sample of {len(sample)} mutants", flush=True)
        return sample[first:last]

    tool.pick = sliced
    # The tool writes its JSON only at the end: what each mutant gave goes to JSON.partial as it
    # comes, so that a sitting cut short keeps its results (`combine` takes the partial file too).
    partial = options[options.index("--json") + 1] + ".partial" if "--json" in options else None
    tried = []

    def sliced_and_kept(muts, n, seed):
        tried[:] = [sliced(muts, n, seed)]
        return tried[0]

    def print_and_keep(*args, **kwargs):
        print(*args, **kwargs)
        if partial and tried and args and str(args[0]).startswith("["):
            with open(partial, "w") as fh:
                json.dump({"mutants": [m for m in tried[0] if "status" in m], "tests": []}, fh, indent=1)

    tool.pick = sliced_and_kept
    tool.print = print_and_keep
    sys.argv = [TOOL] + options
    intact = dev_full_intact()
    status = tool.main()
    if intact and not dev_full_intact():
        print("WARNING: /dev/full is no longer a character device: a mutant replaced it, and every mutant "
              "after it failed e2e.driver-output-device-full; restore it and run those again", flush=True)
    return status


LOG_LINE = re.compile(r"^\[\d+/\d+\] (killed  |SURVIVED|no build) (\S+):(\d+) (\S+): (.*?)(  <- (\d+) test\(s\))?$")


def read_slice(name):
    """A slice's JSON, or the log of a slice that ended before its JSON (which tells each
    mutant's status and how many tests killed it, not which)."""
    if not name.endswith(".log"):
        with open(name) as fh:
            return json.load(fh)
    status = {"killed  ": "killed", "SURVIVED": "survived", "no build": "unbuildable"}
    muts = []
    for line in open(name):
        found = LOG_LINE.match(line.rstrip("\n"))
        if found:
            killers = ["(a test)"] * int(found.group(7) or 0)
            muts.append({"file": found.group(2), "line": int(found.group(3)), "op": found.group(4),
                         "after": found.group(5), "status": status[found.group(1)], "killers": killers})
    return {"mutants": muts, "tests": []}


def combine(files):
    again = []
    if "--again" in files:
        at = files.index("--again")
        files, again = files[:at], files[at + 1:]
    replaced = {}
    for name in again:
        for m in read_slice(name)["mutants"]:
            replaced[(m["file"], m["line"], m["op"], m["after"].strip())] = m
    muts, tests, seen = [], [], set()
    for name in files:
        part = read_slice(name)
        for m in part["mutants"]:
            key = (m["file"], m["line"], m["op"], m["after"].strip())
            if key in seen:
                sys.exit(f"{name}: {m['file']}:{m['line']} {m['op']} is in an earlier slice too")
            seen.add(key)
            muts.append(replaced.pop(key, m))
        tests += [t for t in part["tests"] if t not in tests]
    if replaced:
        sys.exit("--again holds mutants that no slice holds: " + ", ".join(f"{k[0]}:{k[1]}" for k in replaced))
    built = [m for m in muts if m["status"] != "unbuildable"]
    killed = [m for m in built if m["status"] == "killed"]
    survived = [m for m in built if m["status"] == "survived"]
    kills, alone = {t: 0 for t in tests}, {t: 0 for t in tests}
    for m in killed:
        if "(a test)" in m["killers"]:
            continue  # from a log: which tests, unknown
        for t in m["killers"]:
            kills[t] = kills.get(t, 0) + 1
        if len(m["killers"]) == 1:
            alone[m["killers"][0]] = alone.get(m["killers"][0], 0) + 1
    print("survivors:")
    for m in survived:
        print(f"  {m['file']}:{m['line']} {m['op']}: {m['after'].strip()}")
    print("\ntests that alone catch some mutant:")
    for t, k in sorted(alone.items(), key=lambda kv: -kv[1]):
        if k:
            print(f"  {t}: {k} alone, {kills[t]} in all")
    idle = sorted(t for t in tests if not alone.get(t))
    print(f"\ntests that caught no mutant alone ({len(idle)} of {len(tests)})")
    pct = 100.0 * len(killed) / len(built) if built else 0.0
    print(f"score: {len(killed)} killed of {len(built)} mutants ({pct:.0f}%), "
          f"{len(survived)} survived, {len(muts) - len(built)} did not build ({len(files)} slices)")


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "run-some":
        sys.exit(run_slice(0, 0, sys.argv[3:], [int(i) for i in sys.argv[2].split(",")]))
    if len(sys.argv) >= 4 and sys.argv[1] == "run":
        sys.exit(run_slice(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]))
    if len(sys.argv) >= 3 and sys.argv[1] == "combine":
        sys.exit(combine(sys.argv[2:]))
    sys.exit(__doc__)
