#!/usr/bin/env python3
"""mangle.py: makes padded, damaged and random billing files for the measurements of SkipFiller
and Resync (README, "Damaged and padded files").

  mangle.py pad BLOCK OCTET IN OUT     top-level elements packed into blocks of BLOCK octets, the
                                       rest of each block filled with OCTET (0x00 or 0xFF); an
                                       element longer than a block begins a block of its own
  mangle.py damage N SEED IN OUT       N octets at seeded random offsets (distinct) each replaced
                                       by another value; the offsets are printed
  mangle.py insert N SEED IN OUT       N seeded random octets inserted at seeded random offsets
  mangle.py random SIZE SEED OUT       SIZE seeded random octets
"""
import random
import sys


def element_end(data, pos):
    """The end of the element at pos (identifier, length, contents; indefinite ones walked)."""
    first = data[pos]
    pos += 1
    if first & 0x1F == 0x1F:
        pos += 1
    octet = data[pos]
    pos += 1
    if octet == 0x80:
        while data[pos] != 0 or data[pos + 1] != 0:
            pos = element_end(data, pos)
        return pos + 2
    if octet < 0x80:
        return pos + octet
    count = octet & 0x7F
    length = int.from_bytes(data[pos:pos + count], "big")
    return pos + count + length


def pad(block, filler, source, target):
    data = open(source, "rb").read()
    out = bytearray()
    pos = 0
    while pos < len(data):
        end = element_end(data, pos)
        used = len(out) % block
        if used and used + (end - pos) > block:
            out += bytes([filler]) * (block - used)
        out += data[pos:end]
        pos = end
    if len(out) % block:
        out += bytes([filler]) * (block - len(out) % block)
    open(target, "wb").write(out)


def damage(count, seed, source, target):
    data = bytearray(open(source, "rb").read())
    rng = random.Random(seed)
    for offset in sorted(rng.sample(range(len(data)), count)):
        data[offset] = (data[offset] + rng.randrange(1, 256)) & 0xFF
        print(offset)
    open(target, "wb").write(data)


def insert(count, seed, source, target):
    data = bytearray(open(source, "rb").read())
    rng = random.Random(seed)
    for offset in sorted(rng.sample(range(len(data)), count), reverse=True):
        data[offset:offset] = bytes([rng.randrange(256)])
        print(offset)
    open(target, "wb").write(data)


def main(argv):
    if len(argv) == 6 and argv[1] == "pad":
        pad(int(argv[2]), int(argv[3], 0), argv[4], argv[5])
    elif len(argv) == 6 and argv[1] == "damage":
        damage(int(argv[2]), int(argv[3]), argv[4], argv[5])
    elif len(argv) == 6 and argv[1] == "insert":
        insert(int(argv[2]), int(argv[3]), argv[4], argv[5])
    elif len(argv) == 5 and argv[1] == "random":
        rng = random.Random(int(argv[3]))
        open(argv[4], "wb").write(rng.randbytes(int(argv[2])))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
