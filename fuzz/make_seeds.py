#!/usr/bin/env python3
"""Writes the hand-made seed files of fuzz/corpus/ (the generated ones come from orvalis-gen).

Each walker seed is one settings byte (see SettingsFromByte in fuzz_common.h) followed by a
billing input for the fixed dictionary in fuzz_common.h; a seed of fuzz_manifest_walk has a second
byte before the input (see fuzz_manifest_walk.cpp). The seeds of fuzz_gzip are gzip files of those
inputs (whole, cut, corrupt, of several members, a bomb); those of fuzz_input_list lists of inputs.
Run from the repository root:
    python3 fuzz/make_seeds.py [path/to/orvalis-gen]
"""
import os
import struct
import subprocess
import sys
import zlib

ROOT = os.path.dirname(os.path.abspath(__file__))
SEPARATOR = b"\0@@\0"


def ident(tag, constructed=False):
    first = 0x80 | (0x20 if constructed else 0)
    if tag < 31:
        return bytes([first | tag])
    return bytes([first | 0x1F, tag])


def length(n, long_form=False):
    if n < 0x80 and not long_form:
        return bytes([n])
    body = n.to_bytes(max(1, (n.bit_length() + 7) // 8), "big")
    return bytes([0x80 | len(body)]) + body


def prim(tag, content, long_form=False):
    return ident(tag) + length(len(content), long_form) + content


def cons(tag, *children, indefinite=False, long_form=False):
    body = b"".join(children)
    if indefinite:
        return ident(tag, True) + b"\x80" + body + b"\0\0"
    return ident(tag, True) + length(len(body), long_form) + body


def full_record(tag=1, indefinite=False):
    return cons(tag,
                prim(0, b"\x01"),                              # recordType (indexed)
                prim(1, b"\xde\xad\xbe\xef"),                  # HexNumber
                prim(2, b"EXCH-1\0junk"),                      # String, cut at NUL
                prim(3, b"\x83\x10\x21\x43\x65"),              # Number, odd digits
                prim(4, b"\x04\x12\x34"),                      # ReceivedDigits
                prim(5, b"\x06\x04\x23\x02\x20\x20\x00"),      # DateTime
                prim(6, b"\x00\x01\x2c\x50"),                  # Duration
                prim(7, b"\x01\x02\x03\x04"),                  # LineCode
                prim(8, b"\x01\x05"),                          # DecNumber
                prim(9, b"\x10"),                              # NonIndexed, key 16 (no text)
                prim(31, b"\x07"),                             # tag 31, high form
                prim(33, b"\x06"),                             # tag 33, indexed, empty entry
                prim(127, b"\xab"),                            # tag 127
                cons(10, prim(0, b"TG1"), prim(1, b"\x2a"),
                     cons(2, prim(0, b"\x04\x11\x99\x88"), prim(40, b"\x00\x64"), indefinite=True)),
                prim(11, b"\x00"),                             # no type
                prim(12, b"\x00"),                             # unknown type
                prim(13, b"no long name"),
                prim(20, b"\x00"),                             # not in the dictionary
                indefinite=indefinite)


def header():
    return cons(3, prim(0, b"EXCHANGE"), prim(1, b"\x06\x04\x23\x02\x20\x20\x00"), prim(2, b"\x07"))


def block_record(n):
    return cons(1, prim(0, bytes([n % 4])), prim(3, b"\x04\x11\x12\x34"), prim(5, b"\x06\x04\x23\x02\x20\x20\x00"),
                prim(9, b"\x08"), cons(10, prim(0, b"A-side"), cons(2, prim(0, b"\x03\x10\x55"))),
                prim(63, b"\x81\x12\x3f"))


def module_record(sound=True):
    """A record of the types of module-defined files (tag 5): sound values, or values that cannot
    be decoded and empty ones."""
    if sound:
        values = [b"\x00\xff\xff\xff\xff\xff\xff\xff\xff", b"\xff", b"\xff", b"", b"\x04\x90",
                  b"\x2a\x86\x48\x86\xf7\x0d", b"NORTH", "Z\u00fcrich".encode(), b"\xd8\x3d\xde\x00",
                  b"\x00\x01\xf4\xde", b"20240229235959.5Z", b"240229235959+0130", b"\x21\x43\xf5",
                  b"\x62\x02\x11\x32\x54\x76\x98\xf0", b"\x53\x45\x10\x00\x00\x00\x00\xf0",
                  b"\x91\x44\x21\x43\x65", b"\x01\xa3\x21\x43\xf5", b"\x24\x02\x29\x23\x59\x59-\x05\x30",
                  bytes.fromhex("20010db8000000000000000000000001"), b"\x62\xf2\x10", b"\x0b\xc7"]
    else:
        values = [bytes(10), b"", b"\x00\x00", b"\x00", b"\x08\x00", b"\x2a\x86", b"a\x00", b"\xc3",
                  b"\xdc\x00", b"\x00\x11\x00\x00", b"2023022900Z", b"2402292359", b"\x2f", b"\x62\x02",
                  b"\x53\xa0", b"\x91\x2f\x43", b"\x11", b"\x24\x13\x01\x00\x00\x00+\x00\x00", b"\x01",
                  b"\x6a\xf2\x10", b"\xff"]
    return cons(5, *(prim(tag, value) for tag, value in enumerate(values)))


def walker_seeds():
    seeds = {
        "header_and_records": b"\x00" + header() + full_record() + full_record(indefinite=True),
        "block": b"\x00" + cons(2, block_record(0), block_record(1), block_record(2), prim(2, b"\x01\x02\x03")),
        "block_indefinite_range": b"\x03" + cons(2, block_record(1), block_record(2), indefinite=True)
                                  + full_record(),
        "range_second_record": b"\x13" + full_record() + full_record() + full_record(),
        "filter_a": b"\x20" + full_record() + block_record(1) + cons(2, block_record(1)),
        "filter_b_range": b"\x45" + cons(2, block_record(1), block_record(2)) + full_record(),
        "long_forms": b"\x00" + cons(1, prim(2, b"x" * 200, long_form=True), prim(1, b"\x01", long_form=True),
                                     long_form=True),
        "deep_record": b"\x00" + cons(4, cons(4, cons(4, prim(1, b"\x42"), cons(1, prim(0, b"\x00")))))
                       + cons(1, cons(14, prim(0, b"\x01"))),
        "top_level_odd": b"\x00" + ident(100) + length(3) + b"top" + prim(0, b"\x12\x34")
                         + cons(1, prim(3, b"\x01")) + cons(11, prim(0, b"\x00")),
        "truncated": b"\x00" + full_record()[:-7],
        "short_values": b"\x00" + cons(1, prim(3, b"\x01"), prim(5, b"\x01\x02"), prim(8, b"\x01\x02\x03"),
                                       prim(0, b"\x01\x02\x03"), prim(9, b"\x01\x02\x03"), prim(0, b"\x00\x09")),
        # identifier octets of any length (settings 01: a range from 0): tag 6's sub-tags told apart by
        # their class (82, 42, 02), contents kept whole (A7), tag 300 in two subsequent octets, then
        # a tag number above 2097151
        "classes_kept_long_tags": b"\x01" + cons(6, b"\x82\x01\x05\x42\x01\xab\x02\x01\x00\xc2\x01\x01",
                                                  b"\xa7\x80\x9f\x21\x01\x07\xa1\x80\x85\x00\x00\x00\x00\x00",
                                                  b"\x9f\x82\x2c\x02\xca\xfe")
                                  + full_record() + b"\x9f\xff\xff\xff\x7f\x01\x00",
        "module_records": b"\x00" + module_record() + module_record(sound=False),
    }
    return seeds


def cdr_file(records, release_octet=0xC3, formats=None):
    """A file of CDRs: a file header of 52 octets (release 9, no filter or extension), then each
    record behind a CDR header of release 9, BER unless `formats` names another for it."""
    body = b""
    for i, record in enumerate(records):
        record_format = (formats or {}).get(i, 1)
        body += struct.pack(">HBB", len(record), release_octet, record_format << 5 | 5) + record
    whole = 52 + len(body)
    head = struct.pack(">IIBB", whole, 52, release_octet, release_octet) + bytes(16) + b"\x00" + b"\xff" * 20
    return head + b"\x00\x00\x00\x00\x00" + body


def cdr_seeds():
    return {
        "cdr_file": b"\x00" + cdr_file([header(), full_record(), cons(2, block_record(1)), b"\x12\x34",
                                        full_record(indefinite=True)], formats={3: 2}),
        "cdr_file_resync": b"\x80" + cdr_file([full_record(), full_record(), full_record()])[:-9],
    }


def rich_tags():
    """The fixed dictionary of the fuzz targets, taken from fuzz_common.h."""
    import ast
    text = open(os.path.join(ROOT, "fuzz_common.h")).read()
    body = text.split("kRichTags =", 1)[1].split(";\n", 1)[0]
    return b"".join(ast.literal_eval(line.strip()).encode("latin-1")
                    for line in body.splitlines() if line.strip())


def gzip_member(data, time_stamp=0, level=6, name=None):
    """One gzip member; the first two octets of its time stamp choose the ratio and the walk
    settings of fuzz_gzip."""
    deflate = zlib.compressobj(level, zlib.DEFLATED, -15)
    body = deflate.compress(data) + deflate.flush()
    flags = 0x08 if name is not None else 0
    head = b"\x1f\x8b\x08" + bytes([flags]) + struct.pack("<I", time_stamp) + b"\x00\x03"
    if name is not None:
        head += name + b"\0"
    return head + body + struct.pack("<II", zlib.crc32(data), len(data) & 0xFFFFFFFF)


def stamp(ratio, settings):
    return (ratio - 1) | (settings << 8)


def gzip_seeds(walkers):
    records = walkers["header_and_records"][1:]
    block = walkers["block"][1:]
    whole = gzip_member(records, stamp(32, 0x00))
    corrupt = bytearray(whole)
    corrupt[-6] ^= 0x01  # the check sum
    return {
        "whole": whole,
        "members": gzip_member(block, stamp(32, 0x01)) + gzip_member(records, stamp(32, 0x00)),
        "empty_member_first": gzip_member(b"", stamp(32, 0x00)) + whole,
        "cut": whole[:len(whole) // 2],
        "cut_in_trailer": whole[:-3],
        "trailing_octets": whole + b"junk",
        "trailing_magic": whole + b"\x1f\x8b",
        "corrupt_check_sum": bytes(corrupt),
        "corrupt_second_member": gzip_member(block, stamp(32, 0x00)) + bytes(corrupt),
        "ratio_cuts": gzip_member(records * 4, stamp(2, 0x80)),
        "stored_resync": gzip_member(records + b"\x00\x17" + block, stamp(32, 0x80), level=0),
        "named_range": gzip_member(walkers["range_second_record"][1:], stamp(32, 0x13), name=b"calls.ber"),
        "bomb": gzip_member(b"\0" * (1 << 20), stamp(32, 0x00), level=9),
        "bomb_records": gzip_member(records * 3000, stamp(32, 0x00), level=9),
    }


def manifest_seeds(walkers):
    header = walkers["header_and_records"][1:]
    many_headers = b"".join(prim(100, b"top%d" % i) + cons(3, prim(2, bytes([i]))) for i in range(40))
    damaged = header + b"\xa1\x03\x80\x05\x01" + cons(2, prim(2, b"\x01\x02\x03"), block_record(1))
    # The second byte: the run's format (0 text, 1 JSON Lines, 2 CSV, 3 the dump), an input that
    # ends early (4), the small bound of the kept text (16 + 8 * the top five bits).
    return {
        "header_text": b"\x00\x00" + header,
        "block_jsonl_range": b"\x03\x01" + walkers["block"][1:] + header,
        "filter_csv": b"\x20\x02" + header + cons(2, block_record(1), prim(2, b"\x01\x02")),
        "many_headers_small_bound": b"\x00\x09" + many_headers,
        "many_headers_dump": b"\x41\xfb" + many_headers + header,
        "damaged_resync": b"\x80\x01" + damaged,
        "damaged_stops": b"\x00\x00" + damaged,
        "cut_ends_early": b"\x00\x05" + header[:-5],
        "filler": b"\x60\x00" + b"\0" * 8 + header + b"\xff" * 4 + cons(3, prim(0, b"X")),
    }


def list_seeds():
    return {
        "names": b"a.ber\nb.ber.gz\n./dir/c.ber\n",
        "crlf_empty_lines": b"a.ber\r\n\r\n\nb c.ber\r\n\r\r\n",
        "no_final_line_feed": b"a.ber\nlast.ber",
        "longest_name": b"x" * 255 + b"\r\n" + b"y" * 255 + b"\n",
        "name_too_long": b"a\n" + b"x" * 256 + b"\n",
        "name_too_long_with_cr": b"x" * 256 + b"\r\n",
        "nul_octet": b"a.ber\nb\0c\nd\n",
        "print0": b"a.ber\0b.ber\0",
        "long_then_nul": b"x" * 300 + b"\0\n",
    }


def write(directory, name, data):
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as out:
        out.write(data)


def main():
    corpus = os.path.join(ROOT, "corpus")
    walkers = walker_seeds()
    generated = {}
    if len(sys.argv) > 1:
        gen = sys.argv[1]
        for layout, seed, settings in (("top", 3, 0x00), ("blocks", 5, 0x01), ("mixed", 7, 0x20)):
            path = os.path.join("/tmp", "orvalis-seed-%s.ber" % layout)
            subprocess.run([gen, "--records", "3", "--seed", str(seed), "--layout", layout,
                            "--indefinite", "30", "--long-form", "20", "-q", "-o", path], check=True)
            with open(path, "rb") as f:
                generated["gen_" + layout] = bytes([settings]) + f.read()
            os.remove(path)
    for target in ("fuzz_walk", "fuzz_debug_walk"):
        for name, data in list(walkers.items()) + list(generated.items()) + list(cdr_seeds().items()):
            write(os.path.join(corpus, target), name, data)

    with open(os.path.join(ROOT, "..", "examples", "Tags.cfg"), "rb") as f:
        example_tags = f.read()
    small_tags = (b"1.TagName=record\r\n1.LongTagName=\\nRecord\r\n1.0.TagName=kind\r\n"
                  b"1.0.LongTagName=\\tKind:\\t\r\n1.0.Type=ValFromIndexedArr\r\n1.0.IndArr=a,,c\r\n"
                  b"1.3.TagName=number\r\n1.3.Type=Number\r\n1.33.TagName=when\r\n1.33.Type=DateTime\r\n"
                  b"2.1.TagName=record\r\n2.1.9.NonIndArr=1,x;2,y\r\n2.1.9.Type=ValFromNonIndexedArr\r\n")
    small_billing = cons(1, prim(0, b"\x02"), prim(3, b"\x01\x10\x21"), prim(33, b"\x06\x04\x23\x02\x20\x20\x00"))
    pairs = {
        "example_tags_generated": b"\x00" + example_tags + SEPARATOR + generated.get("gen_mixed", b"\x00")[1:],
        "small_tags": b"\x00" + small_tags + SEPARATOR + small_billing + cons(2, cons(1, prim(9, b"\x02"))),
        "small_tags_debug_filter": b"\x81" + small_tags + SEPARATOR + small_billing + SEPARATOR
                                   + b"kind=c\r\nnumber=1\r\n",
        "rich_tags_range": b"\x03" + rich_tags() + SEPARATOR + walkers["block"][1:],
        "rich_tags_full": b"\x80" + rich_tags() + SEPARATOR + walkers["header_and_records"][1:],
    }
    for name, data in pairs.items():
        write(os.path.join(corpus, "fuzz_dictionary_and_walk"), name, data)

    readers = {
        "example_tags": example_tags,
        "rich_tags": rich_tags(),
        "main_config": b"# range\r\nStartRec=2\r\nEndRec=-1\r\nFilterFile=filter.cfg\r\nDebugMode=true\r\n"
                       b"Unknown=1\r\nno equals sign\r\n",
        "filter": b"callingNumber=12\r\nrecordType=Incoming\r\nnoSuchTag=1\r\nbad\r\n#comment\r\n",
        "tags_odd_lines": b"1.2.Type=Bogus\r\n1.2.TagName=a\r\n1.2.TagName=b\r\n99999999999.TagName=big\r\n"
                          b"-3.LongTagName=\\t\\n\\x\r\n1..2.TagName=x\r\n1.a.3=x\r\n=\r\nnothing\r\n"
                          b"5.NonIndArr=1,a;b;2,;,c;3\r\n5.IndArr=,,\r\n",
    }
    for name, data in readers.items():
        write(os.path.join(corpus, "fuzz_text_readers"), name, data)

    for name, data in gzip_seeds(walkers).items():
        write(os.path.join(corpus, "fuzz_gzip"), name, data)
    for name, data in manifest_seeds(walkers).items():
        write(os.path.join(corpus, "fuzz_manifest_walk"), name, data)
    for name, data in list_seeds().items():
        write(os.path.join(corpus, "fuzz_input_list"), name, data)


if __name__ == "__main__":
    main()
