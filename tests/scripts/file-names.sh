#!/bin/bash
# Files named in UTF-8, in ISO 8859-1 and with a terminal's escape sequence, listed (-l) into CSV
# and JSON Lines with their file column and a manifest (-m): a valid UTF-8 name is the same octets
# in the CSV file cell, the JSON "file" member and the manifest's "input"; one that is not is
# written with the strings' rule there and, in the manifest only, also as hexadecimal under
# "inputHex"; on the console (the list's lines, the summary lines, a message naming the input)
# no name writes a control octet, which comes out as \xHH.
#   file-names.sh <path to orvalis> <examples folder>
# Exit status 77 (ctest: skipped) without python3, which reads the outputs.
set -u
if ! command -v python3 > /dev/null; then
  echo "SKIPPED: file-names needs python3 to read the outputs (.ci/run installs it with apt-get)"
  exit 77
fi
source "$(dirname "$0")/script-start.sh"
cp "$examples/Tags.cfg" .
printf 'SourceColumn=true\r\n' > Orvalis.cfg
head -c 2000 "$examples/calls.ber" > part.ber  # a few records, the last cut short
utf8=$'d\xc3\xada.ber'
latin1=$'d\xeda.ber'
escape=$'esc\x1b[31mred.ber'
for name in "$utf8" "$latin1" "$escape"; do cp "$examples/calls.ber" "$name"; done
printf '%s\n' "$utf8" "$latin1" "$escape" > day.list

for format in csv jsonl; do
  "$orvalis" -q -x "$format" -l day.list -o "day.$format" -m "day.$format.manifest" 2> "day.$format.err"
  status=$?
  ((status == 0)) || fail "$format: status $status: $(head -c 300 "day.$format.err" | od -c | head -5)"
  LC_ALL=C grep -q $'\x1b' "day.$format.err" && fail "$format: a control octet reached the console"
  grep -q -F 'orvalis: esc\x1B[31mred.ber -> day.'"$format" "day.$format.err" ||
    fail "$format: no summary line with the escaped name: $(cat -v "day.$format.err" | head -c 600)"
done

python3 - "$utf8" "$latin1" "$escape" << 'PYTHON' || fail "the names in the outputs"
import csv, json, sys
names = [name.encode("utf-8", "surrogateescape") for name in sys.argv[1:]]
shown = [names[0].decode(), names[1].decode("latin-1"), names[2].decode()]  # as the outputs give them
bad = []
rows = list(csv.reader(open("day.csv", encoding="utf-8", newline="")))
files = sorted({row[1] for row in rows[1:]})
if files != sorted(set(shown)):
    bad.append("CSV file cells %r" % files)
lines = [json.loads(line) for line in open("day.jsonl", encoding="utf-8")]
members = sorted({line["file"] for line in lines})
if members != sorted(set(shown)):
    bad.append("JSON file members %r" % members)
for format in ("csv", "jsonl"):
    manifest = [json.loads(line) for line in open("day.%s.manifest" % format, encoding="utf-8")]
    inputs = [line["input"] for line in manifest]
    if inputs != shown:
        bad.append("%s manifest inputs %r" % (format, inputs))
    hexes = [line.get("inputHex") for line in manifest]
    if hexes != [None, names[1].hex().upper(), None]:
        bad.append("%s manifest inputHex %r" % (format, hexes))
# The raw octets: the UTF-8 name is its own octets, not each octet as a character.
raw = open("day.csv", "rb").read()
if names[0] not in raw or "dÃ".encode() in raw:
    bad.append("the UTF-8 name is not its own octets in the CSV")
if bad:
    print("\n".join(bad))
    sys.exit(1)
PYTHON

# A message that names the input: the escape sequence is shown, not sent.
printf '\x28\xb5\x2f\xfd' > "$escape.zst"
"$orvalis" -q -i "$escape.zst" -o out.prs 2> zst.err
grep -q -F 'Error: esc\x1B[31mred.ber.zst is compressed with zstd' zst.err || fail "the zstd message: $(cat -v zst.err)"
"$orvalis" -i "$escape" -o out.prs > normal.out 2> normal.err
LC_ALL=C grep -q $'\x1b' normal.out normal.err && fail "a control octet reached the console in normal mode"

[[ $failures -eq 0 ]] && echo "file-names: all passed"
exit $failures
