#!/bin/bash
# Many inputs in one run (-l): three files, one compressed with gzip and one damaged, give in one
# output what three separate runs give, each record with its file (SourceColumn=true), in the
# readable text, JSON Lines and CSV (one header); the status is the worst of the files'; each
# file's summary line counts what its separate run counts, and the total line their sums. The
# list may come on standard input. Converted side by side (ListJobs), whatever order the inputs
# finish in and whatever fails among them, a list gives the very bytes, console, manifest and
# status of its inputs converted one after another. The manifest (-m) is valid JSON, a line for each input, whose
# counts are those of the summary lines and whose fields outside records are JSON Lines' own.
#   input-list.sh <path to orvalis> <examples folder>
# Exit status 77 (ctest: skipped) without python3, which reads the manifest.
set -u
if ! command -v python3 > /dev/null; then
  echo "SKIPPED: input-list needs python3 to read the manifest (.ci/run installs it with apt-get)"
  exit 77
fi
source "$(dirname "$0")/script-start.sh"
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
  "$orvalis" -q -x "$format" -l list.txt -o all.$format -m all.$format.manifest 2> all.err
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

# The manifest: a line for each input, its members those of the input's summary line; the fields
# outside records those that JSON Lines writes (the example's, without SourceColumn).
python3 - all.csv.manifest all.err "$examples" "$orvalis" << 'PYTHON' || fail "manifest"
import json, re, subprocess, sys, tempfile, os
manifest, err, examples, orvalis = sys.argv[1:]
lines = [json.loads(line) for line in open(manifest, encoding="utf-8")]
summaries = [l for l in open(err, encoding="utf-8") if re.match(r"orvalis: \S+ -> all\.csv", l)]
assert [l["input"] for l in lines] == ["day1.ber", "day2.ber.gz", "day3.ber"], [l["input"] for l in lines]
for entry, summary in zip(lines, summaries):
    said = "%s -> all.csv (csv): %d records read, %d written, %d tags not found, %d refused pieces, " % (
        entry["input"], entry["recordsRead"], entry["recordsWritten"], entry["tagsNotFound"], entry["refusedPieces"])
    assert ("orvalis: " + said) in summary, (said, summary)
    damages = entry["damages"]
    assert (" %d damages, " % damages["count"]) in summary, (damages, summary)
    if damages["count"]:
        assert ("first at offset %d, " % damages["firstOffsets"][0]) in summary, summary
    assert (" %d values not in the CSV, " % entry["valuesNotInCsv"]) in summary, summary
    assert summary.rstrip("\n").endswith(", " + entry["end"]), (entry["end"], summary)
    assert entry["output"] == "all.csv" and entry["format"] == "csv", entry
assert [l["status"] for l in lines] == [0, 0, 1], [l["status"] for l in lines]
assert lines[1]["compression"] == "gzip" and lines[1]["contents"] == lines[0]["contents"] == lines[0]["size"], lines[1]
assert lines[1]["size"] == os.path.getsize("day2.ber.gz"), lines[1]["size"]
# The example's fields outside records, against its JSON Lines without SourceColumn.
work = tempfile.mkdtemp()
open(os.path.join(work, "Orvalis.cfg"), "w").close()
subprocess.run([orvalis, "-q", "-t", os.path.abspath("Tags.cfg"), "-x", "jsonl", "-i", os.path.join(examples, "calls.ber"),
                "-o", os.path.join(work, "calls.jsonl")], cwd=work, check=True, stderr=subprocess.DEVNULL)
nulls = [json.loads(l) for l in open(os.path.join(work, "calls.jsonl"), encoding="utf-8") if '"record":null' in l]
assert lines[0]["outside"] == nulls and not lines[0]["outsideCut"], (len(lines[0]["outside"]), len(nulls))
PYTHON

# The fields outside records are those of the whole input, whatever the filter keeps.
cp "$examples/filter.cfg" filter.cfg
printf 'FilterFile=filter.cfg\r\n' > filtered.cfg
"$orvalis" -q -c filtered.cfg -x jsonl -i "$examples/calls.ber" -o filtered.jsonl -m filtered.manifest 2> /dev/null
: > whole.cfg
"$orvalis" -q -c whole.cfg -x jsonl -i "$examples/calls.ber" -o whole.jsonl -m whole.manifest 2> /dev/null
python3 - filtered.manifest whole.manifest << 'PYTHON' || fail "the filter changed the manifest's fields outside records"
import json, sys
filtered, whole = (json.loads(open(name, encoding="utf-8").readline()) for name in sys.argv[1:])
assert filtered["recordsWritten"] < whole["recordsWritten"], (filtered["recordsWritten"], whole["recordsWritten"])
assert filtered["outside"] == whole["outside"], (len(filtered["outside"]), len(whole["outside"]))
PYTHON

# The list on standard input; the output on standard output.
printf 'day1.ber\nday2.ber.gz\nday3.ber\n' | "$orvalis" -q -x jsonl -l - -o - > piped.jsonl 2> /dev/null
cmp -s piped.jsonl all.jsonl || fail "the list on standard input gives another output"
[[ $(grep -c '"file":"day2.ber.gz"' all.jsonl) -gt 0 ]] || fail "no JSON line names day2.ber.gz"

# Side by side and one after another. The two large inputs first: the ones after them finish
# first, and the second's text outgrows what waits in memory for its turn (8 MiB); among them a
# file that is not there, a folder, a damaged file and a gzip file cut short.
for i in $(seq 40); do cat "$examples/calls.ber"; done > big1.ber
for i in $(seq 30); do cat "$examples/calls.ber"; done > big2.ber
head -c 9000 day2.ber.gz > cut.ber.gz
mkdir folder.ber
printf '%s\n' big1.ber big2.ber day1.ber missing.ber day2.ber.gz folder.ber day3.ber cut.ber.gz day1.ber > side.list
side_by_side() {  # NAME ARGS...: the list converted one after another, then two and five at once
  local name=$1 jobs
  shift
  for jobs in 1 2 5; do
    "$orvalis" "$@" --list-jobs $jobs -l side.list -o "out.$jobs" -m "manifest.$jobs" > "stdout.$jobs" 2> "stderr.$jobs"
    echo $? > "status.$jobs"
    sed -i "s/out\.$jobs/OUT/g" "stdout.$jobs" "stderr.$jobs" "manifest.$jobs"
  done
  for jobs in 2 5; do
    for part in out manifest stdout stderr status; do
      cmp -s "$part.1" "$part.$jobs" || fail "$name, $jobs at once: its $part differs from one after another's"
    done
  done
}
side_by_side "text" -c Orvalis.cfg
grep -q '^Input 4 of 9: missing.ber$' stdout.1 || fail "side by side: no line names the input that is not there"
side_by_side "quiet csv" -q -x csv
side_by_side "jsonl, a range" -x jsonl --start 3 --end 40
TMPDIR=$work/nowhere side_by_side "text, no temporary file to be had" -q
[[ $(cat status.1) == 255 ]] || fail "side by side: status $(cat status.1), expected 255"

[ $failures -eq 0 ] && echo "input-list: all passed"
exit $failures
