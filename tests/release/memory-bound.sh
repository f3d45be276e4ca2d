#!/usr/bin/env bash
# Peak memory within the input's size plus 32 MiB where the text is many times the input, and the
# same output as a run known to be right:
#
#   declared   the bundled dictionary with a top-level tag 0 declared, 50 MiB of zero octets
#              (elements that start no record) in text and CSV: the two-thread walk, checked
#              against the walk in order (a record range from 1 makes it)
#   blocks     8 MiB of blocks that hold no record, in JSON Lines: the same
#   filtered   50 MiB of those elements before the records, under a filter, in text (1 MiB in the
#              dump, whose text is fifty times larger): the text before the first record, dropped
#              (checked against the filter on the records alone) or written (checked against what
#              the run without a filter writes before the record's line)
#   value      one value of 50 MiB in text and CSV, 8 MiB in JSON Lines and the dump: checked
#              against a value of two octets, its hexadecimal (and in the dump its length) put
#              in the size of the large one; a value of 32 MiB that cannot be decoded, told with its
#              octets in JSON Lines of either schema and CSV: the same against one of four octets;
#              the contents of 50 MiB of a constructed element kept whole (Type=Opaque), of
#              indefinite length, in text and CSV: the same against contents of a few octets
#   messages   a main configuration file of 10 MiB of bad lines, whose messages (many times the
#              file's size) are held until the file's turn: the output of the file without them
#   gzip       50 MiB of those elements compressed, in one gzip member and in five (whose last
#              trailer gives a fifth of the size, so the contents outgrow their first room): the
#              limit is the contents' size plus 32 MiB, the output that of the contents
#
# Undeclared elements before any record are held-text-memory.sh's. Outputs are compared by
# SHA-256 and deleted as they are checked. Peak memory means nothing under the sanitizers, so
# this runs against the release build.
#   memory-bound.sh path/to/release/orvalis
set -euo pipefail
exec python3 - "$(realpath "$1")" "$(cd "$(dirname "$0")/../.." && pwd)" <<'PYTHON'
import gzip, hashlib, os, re, shutil, struct, subprocess, sys, tempfile

orvalis, root = sys.argv[1], sys.argv[2]
MiB = 1 << 20
work = tempfile.mkdtemp()
failed = False

def write(name, data):
    with open(os.path.join(work, name), "wb") as f:
        f.write(data)

def run(args, cfg="", keep=False):
    """Runs orvalis in the work folder; returns (peak RSS in KiB, exit status, SHA-256 of the
    output), and with keep the output itself instead of its SHA-256."""
    write("Orvalis.cfg", cfg.encode())
    out = os.path.join(work, "out")
    rss = os.path.join(work, "rss")
    with open(os.devnull, "wb") as null:
        # /usr/bin/time: a child of this process would inherit its peak memory from before exec
        status = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", rss, orvalis, "-q", "-o", out] + args,
                                 cwd=work, stdout=null, stderr=null)
    with open(rss) as f:
        peak = int(f.read().split()[-1])
    if keep:
        with open(out, "rb") as f:
            text = f.read()
        os.remove(out)
        return peak, status, text
    digest = hashlib.sha256()
    with open(out, "rb") as f:
        for block in iter(lambda: f.read(MiB), b""):
            digest.update(block)
    os.remove(out)
    return peak, status, digest.hexdigest()

def check(name, args, expected, cfg="", size=None):
    global failed
    rss, status, digest = run(args, cfg)
    size = size or os.path.getsize(os.path.join(work, args[args.index("-i") + 1]))
    limit = size // 1024 + 32 * 1024
    if status != 0 or rss > limit or digest != expected:
        failed = True
        why = f"status {status}" if status != 0 else f"peak memory {rss} KiB above {limit} KiB" if rss > limit else "output differs"
        print(f"FAIL {name}: {why}")
    else:
        print(f"ok {name}: peak memory {rss} KiB (limit {limit} KiB)")

def in_order(args):
    return run(args, "StartRec=1\r\n")[2]

def tlv(ident, contents):  # long form of four length octets: the size does not change its layout
    return bytes([ident, 0x84]) + struct.pack(">I", len(contents)) + contents

def record(value):  # a record (tag 1) holding a call reference (1.1, hexadecimal)
    return tlv(0xA1, tlv(0x81, value))

tags = open(os.path.join(root, "examples", "Tags.cfg"), "rb").read()
calls = open(os.path.join(root, "examples", "calls.ber"), "rb").read()
header = calls[:2 + calls[1]]  # the file header
write("Tags.cfg", tags + b"\r\n0.LongTagName=Header\r\n2.5.TagName=note\r\n2.5.LongTagName=Note \r\n2.5.Type=HexNumber\r\n"
      b"1.30.TagName=count\r\n1.30.Type=DecNumber\r\n1.29.TagName=kept\r\n1.29.LongTagName=Kept \r\n"
      b"1.29.Type=Opaque\r\n")

# declared, blocks
write("zeros.ber", bytes(50 * MiB))
for fmt in ([], ["-x", "csv"]):
    args = ["-i", "zeros.ber"] + fmt
    check("declared top-level elements, 50 MiB, " + (fmt[1] if fmt else "text"), args, in_order(args))
write("blocks.ber", bytes([0x62, 6, 0x85, 1, 7, 0x85, 1, 8]) * (MiB))
args = ["-i", "blocks.ber", "-x", "jsonl"]
check("blocks without records, 8 MiB, jsonl", args, in_order(args))
# gzip
contents = run(["-i", "zeros.ber"])[2]
write("zeros.ber.gz", gzip.compress(bytes(50 * MiB), mtime=0))
write("members.gz", b"".join(gzip.compress(bytes(10 * MiB), mtime=0) for _ in range(5)))
for name in ("zeros.ber.gz", "members.gz"):
    check(f"gzip, {name}", ["-i", name], contents, size=50 * MiB)
    os.remove(os.path.join(work, name))
os.remove(os.path.join(work, "zeros.ber"))
os.remove(os.path.join(work, "blocks.ber"))

# filtered
write("calling.cfg", b"callingNumber=41\r\n")
write("exchange.cfg", b"fileExchange=NORTH\r\n")
write("calls.ber", calls)
for size, mode in ((50 * MiB, []), (MiB, ["-d"])):
    write("before.ber", bytes(size) + calls)
    write("head-record.ber", bytes(size) + header + record(b"\x01"))
    what = f"{size // MiB} MiB before the first record, " + ("dump" if mode else "text")
    records = run(["-i", "calls.ber", "-f", "calling.cfg"] + mode, keep=True)[2]
    # The dump's lines begin with the offset of their octets: after the zeros, `size` further on.
    records = re.sub(rb"(?m)^(\d{10}):", lambda m: b"%010d:" % (int(m.group(1)) + size), records)
    check(what + ", dropped by the filter", ["-i", "before.ber", "-f", "calling.cfg"] + mode,
          hashlib.sha256(records).hexdigest())
    # Written: what the run without a filter writes before the record's line.
    whole = run(["-i", "head-record.ber"] + mode, keep=True)[2]
    check(what + ", written by the filter", ["-i", "head-record.ber", "-f", "exchange.cfg"] + mode,
          hashlib.sha256(whole[:whole.rindex(b"\nCall record 1\n")]).hexdigest())
    del whole
for name in ("before.ber", "head-record.ber"):
    os.remove(os.path.join(work, name))

# value

def long_form(length):  # the dump's explanation of four length octets, as it says them
    return b"".join(b"            %s %s = %02Xh - one of N bytes of long form of definite Length\n"
                    % (format(b >> 4, "04b").encode(), format(b & 15, "04b").encode(), b)
                    for b in struct.pack(">I", length))

write("small.ber", record(b"\xAB\xCD"))
for size, formats in ((50 * MiB, ([], ["-x", "csv"])), (8 * MiB, (["-x", "jsonl"], ["-d"]))):
    write("value.ber", record(b"\xAB\xCD" * (size // 2)))
    for fmt in formats:
        small = run(["-i", "small.ber"] + fmt, keep=True)[2]
        if fmt == ["-d"]:
            for small_length, length in ((8, size + 6), (2, size)):
                small = small.replace(long_form(small_length), long_form(length), 1)
                small = small.replace(b"Length of tag = %d\n" % small_length, b"Length of tag = %d\n" % length, 1)
        parts = small.split(b"ABCD")
        assert len(parts) == (3 if fmt == ["-d"] else 2), "the small value's text is not where it was expected"
        digest = hashlib.sha256(parts[0])
        for part in parts[1:]:
            for _ in range(size // 2 // 4096):
                digest.update(b"ABCD" * 4096)
            digest.update(part)
        check(f"one value of {size // MiB} MiB, " + ("dump" if fmt == ["-d"] else fmt[-1] if fmt else "text"), ["-i", "value.ber"] + fmt,
              digest.hexdigest())

def undecoded(value):  # a record holding a count (1.30, a DecNumber): more than two octets do not decode
    return tlv(0xA1, tlv(0x9E, value))
size = 32 * MiB
write("small.ber", undecoded(b"\xAB\xCD" * 2))
write("value.ber", undecoded(b"\xAB\xCD" * (size // 2)))
for fmt, cfg in ((["-x", "jsonl"], ""), (["-x", "jsonl"], "JsonSchema=2\r\n"), (["-x", "csv"], "")):
    parts = run(["-i", "small.ber"] + fmt, cfg, keep=True)[2].split(b"ABCDABCD")
    assert len(parts) == 2, "the small value's octets are not where they were expected"
    digest = hashlib.sha256(parts[0])
    for _ in range(size // 2 // 4096):
        digest.update(b"ABCD" * 4096)
    digest.update(parts[1])
    check(f"a value of {size // MiB} MiB that cannot be decoded, {fmt[-1]}" + (", schema 2" if cfg else ""),
          ["-i", "value.ber"] + fmt, digest.hexdigest(), cfg=cfg)

def kept(value):  # a record holding 1.29 (Opaque) of indefinite length, around an octet string
    return tlv(0xA1, bytes([0xBD, 0x80]) + tlv(0x04, value) + b"\0\0")
size = 50 * MiB
write("small.ber", kept(b"\xAB\xCD"))
write("value.ber", kept(b"\xAB\xCD" * (size // 2)))
for fmt in ([], ["-x", "csv"]):
    parts = run(["-i", "small.ber"] + fmt, keep=True)[2].split(b"048400000002ABCD")
    assert len(parts) == 2, "the small contents' text is not where it was expected"
    digest = hashlib.sha256(parts[0] + b"0484%08X" % size)
    for _ in range(size // 2 // 4096):
        digest.update(b"ABCD" * 4096)
    digest.update(parts[1])
    check(f"contents kept whole of {size // MiB} MiB, " + (fmt[-1] if fmt else "text"), ["-i", "value.ber"] + fmt,
          digest.hexdigest())
os.remove(os.path.join(work, "value.ber"))

# messages
write("calls.ber", calls)
check("a main configuration file of 10 MiB of bad lines", ["-i", "calls.ber"], run(["-i", "calls.ber"])[2],
      cfg="x\r\n" * (10 * MiB // 3))

shutil.rmtree(work)
sys.exit(1 if failed else 0)
PYTHON
