#!/usr/bin/env python3
"""A small writer of files of CDRs for the tests: a file header, then each BER record behind a CDR
header of its own, as mobile networks deliver them. It encodes this project's reading of the
format (see src/decode/frames/cdr_frames.h), so what it proves is consistency; the hand-written
vectors of tests/unit/cdr_frames_test.cpp hold the fields to their octets.

    cdr_frames.py frame RECORDS.ber OUT [options]   frames the top-level elements of a BER file
    cdr_frames.py split RECORDS.ber                  prints the top-level elements' lengths

Options of frame (each a fault or a variant the tests need):
    --release N        the release of the headers: 4 to 9 (identifier N - 3), 10 or later (identifier
                       7 and an extension octet N - 10); default 9
    --count-delta D    the number of CDRs in the file header is the true one plus D
    --count-unknown    the number of CDRs is FFFFFFFF
    --cut N            the file is cut N octets before its end (its header keeps the whole length)
    --trailing N       N octets of 00 after the file length
    --file-length N    the file header gives a file length of N octets, not the true one
    --lost XX          the lost CDR indicator, in hexadecimal
    --closure C        the file closure trigger reason
    --bad-length K     the CDR header of record K (from 1) gives a length one octet longer
    --other-format K   record K is written as unaligned PER (its octets those of the BER record)
    --filter HEX, --extension HEX   the routeing filter and private extension
    --ipv6 HEX         the node address: FF FF FF FF and these 16 octets
"""
import struct
import sys


def release_octets(release):
    """The release identifier (3 bits) and its extension octet (None where absent)."""
    if release >= 10:
        return 7, release - 10
    return release - 3, None


def timestamp(month, day, hour, minute, ahead, offset_hours, offset_minutes):
    bits = (month << 28 | day << 23 | hour << 18 | minute << 12 | (1 if ahead else 0) << 11 |
            offset_hours << 6 | offset_minutes)
    return struct.pack(">I", bits)


def file_header(file_length, high, low, opened, last, cdr_count, sequence, closure, node, lost,
                routeing_filter=b"", extension=b""):
    """`high` and `low` are (release, version); the header length is worked out."""
    (high_id, high_ext), (low_id, low_ext) = release_octets(high[0]), release_octets(low[0])
    tail = struct.pack(">H", len(routeing_filter)) + routeing_filter + struct.pack(">H", len(extension)) + extension
    tail += bytes(x for x in (high_ext, low_ext) if x is not None)
    header_length = 4 + 4 + 1 + 1 + 4 + 4 + 4 + 4 + 1 + 20 + 1 + len(tail)
    body = struct.pack(">BB", high_id << 5 | high[1], low_id << 5 | low[1]) + opened + last
    body += struct.pack(">IIB", cdr_count, sequence, closure) + node + struct.pack(">B", lost) + tail
    return struct.pack(">II", file_length, header_length) + body


def cdr_header(length, release, version, record_format, ts_number):
    rel_id, ext = release_octets(release)
    head = struct.pack(">HBB", length, rel_id << 5 | version, record_format << 5 | ts_number)
    return head + (bytes([ext]) if ext is not None else b"")


def element_end(data, at):
    """The end of the well-formed BER element at `at` (definite or indefinite lengths)."""
    start = at
    at += 1
    if data[start] & 0x1F == 0x1F:
        while data[at] & 0x80:
            at += 1
        at += 1
    first = data[at]
    at += 1
    if first == 0x80:
        while data[at:at + 2] != b"\0\0":
            at = element_end(data, at)
        return at + 2
    if first < 0x80:
        return at + first
    count = first & 0x7F
    return at + count + int.from_bytes(data[at:at + count], "big")


def split_ber(data):
    """The top-level elements of a BER file."""
    elements, at = [], 0
    while at < len(data):
        end = element_end(data, at)
        elements.append(data[at:end])
        at = end
    return elements


def frame(records, release=9, count_delta=0, count_unknown=False, cut=0, trailing=0, lost=0, closure=0,
          bad_length=0, other_format=0, routeing_filter=b"", extension=b"", ipv6=None, file_length=None):
    body = b""
    for number, record in enumerate(records, 1):
        record_format = 2 if number == other_format else 1
        length = len(record) + (1 if number == bad_length else 0)
        body += cdr_header(length, release, 3, record_format, 5) + record
    node = b"\xff" * 4 + (ipv6 if ipv6 is not None else bytes(15) + b"\x01")
    opened = timestamp(5, 6, 12, 34, True, 2, 0)
    last = timestamp(5, 6, 13, 5, True, 2, 0)
    count = 0xFFFFFFFF if count_unknown else len(records) + count_delta
    header = file_header(0, (release, 3), (release, 3), opened, last, count, 42, closure, node, lost,
                         routeing_filter, extension)
    whole = len(header) + len(body) if file_length is None else file_length
    header = file_header(whole, (release, 3), (release, 3), opened, last, count, 42, closure, node, lost,
                         routeing_filter, extension)
    data = header + body
    if cut:
        data = data[:-cut]
    return data + bytes(trailing)


def main(argv):
    if len(argv) >= 2 and argv[0] == "split":
        with open(argv[1], "rb") as f:
            for element in split_ber(f.read()):
                print(len(element))
        return 0
    if len(argv) < 3 or argv[0] != "frame":
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "rb") as f:
        records = split_ber(f.read())
    options = {}
    args = argv[3:]
    names = {"--release": ("release", int), "--count-delta": ("count_delta", int), "--cut": ("cut", int),
             "--trailing": ("trailing", int), "--file-length": ("file_length", int), "--lost": ("lost", lambda v: int(v, 16)),
             "--closure": ("closure", int), "--bad-length": ("bad_length", int),
             "--other-format": ("other_format", int), "--filter": ("routeing_filter", bytes.fromhex),
             "--extension": ("extension", bytes.fromhex), "--ipv6": ("ipv6", bytes.fromhex)}
    i = 0
    while i < len(args):
        if args[i] == "--count-unknown":
            options["count_unknown"] = True
            i += 1
            continue
        key, convert = names[args[i]]
        options[key] = convert(args[i + 1])
        i += 2
    with open(argv[2], "wb") as f:
        f.write(frame(records, **options))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
