#!/bin/bash
# Many inputs in one run (-l): three files, one compressed with gzip and one damaged, give in one
# output what three separate runs give, each record with its file (SourceColumn=true), in the
# readable text, JSON Lines and CSV (one header); the status is the worst of the files'; each
# file's summary line counts what its separate run counts, and the total line their sums. The
# list may come on standard input.
#   input-list.sh <path to orvalis> <examples folder>
set -u
orvalis=$1
examples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cd "$work" || exit 1
cp "$examples/Tags.cfg" .
printf 'SourceColumn=true\r\nResync=true\r\n' > Orvalis.cfg
cp "$examples/calls.ber" day1.ber
gzip -c "$examples/calls.ber" > day2.ber.gz
# A hundred octets taken out of the middle: a record cut short, which Resync goes on after.
{ head -c 20000 "$examples/calls.ber"; tail -c +20101 "$examples/calls.ber"; } > day3.ber
printf 'day1.ber\r\nday2.ber.gz\n\nday3.ber\n' > list.txt

counts() { sed -n 's/^orvalis: [^ ]* -> [^ ]* ([a-z]*): //p' "$1"; }
for format in text jsonl csv; do
  worst=0
  : > separate.$format
  : > separate.err
  for input in day1.ber day2.ber.gz day3.ber; do
    "$orvalis" -q -x "$format" -i "$input" -o "$input.$format" 2> "$input.err"
    status=$?
    ((status > worst)) && worst=$status
    if [[ $format == csv && -s separate.$format ]]; then
      tail -n +2 "$input.$format" >> separate.$format
    else
      cat "$input.$format" >> separate.$format
    fi
    counts "$input.err" >> separate.err
  done
  ((worst == 1)) || fail "$format: the separate runs' worst status is $worst, expected 1 (the damage)"
  "$orvalis" -q -x "$format" -l list.txt -o all.$format 2> all.err
  status=$?
  ((status == worst)) || fail "$format: status $status, the separate runs' worst is $worst"
  cmp -s all.$format separate.$format || fail "$format: the output differs from the separate runs' outputs"
  grep -q '^Input 1 of 3: day1.ber$' all.err || fail "$format: no line names the first input"
  # The files' lines, then the total line, whose counts are the sums.
  head -n 3 <(counts all.err) | cmp -s - separate.err || fail "$format: the files' summary lines differ: $(cat all.err)"
  total=$(grep '^orvalis: 3 inputs -> all' all.err)
  read_sum=$(awk '{ sum += $1 } END { print sum }' separate.err)
  damages=$(sed -n 's/.* \([0-9]*\) damages,.*/\1/p' separate.err | awk '{ sum += $1 } END { print sum }')
  [[ $total == *": $read_sum records read, "*", $damages damages, "*"completed with problems" ]] ||
    fail "$format: total line: $total (expected $read_sum records read, $damages damages)"
done

# The list on standard input; the output on standard output.
printf 'day1.ber\nday2.ber.gz\nday3.ber\n' | "$orvalis" -q -x jsonl -l - -o - > piped.jsonl 2> /dev/null
cmp -s piped.jsonl all.jsonl || fail "the list on standard input gives another output"
[[ $(grep -c '"file":"day2.ber.gz"' all.jsonl) -gt 0 ]] || fail "no JSON line names day2.ber.gz"

[ $failures -eq 0 ] && echo "input-list: all passed"
exit $failures
