#!/bin/bash
# JSON Lines of schema version 2 read as they are by an analysis tool: a damaged week (seven
# generated files, octets replaced in each, and records made by hand in two: values that do not
# decode, damage before the first record, after a record, and inside one, whose remains read as a
# record in doubt) converted with -l into one JSON Lines file (JsonSchema=2) and one CSV. DuckDB's
# read_json_auto, with no options, loads the JSON Lines file (its nine members, in order), and its
# answers (records, damaged ones, ones in doubt, ones with values that do not decode, a sum over a
# number and one over the seconds, the files) equal those of the CSV loaded into DuckDB; the damage
# between records is a line of its own. Then the same week in schema version 1 is the schema 2 one
# told again line by line: every record, value, reason, octet and mark is in both.
#   jsonl-duckdb.sh <path to orvalis> <examples folder> <path to orvalis-gen> <cache folder>
# DuckDB comes from npm (@duckdb/node-api), installed into <cache folder>/duckdb-node once and
# reused. Exit status 77 (ctest: skipped) when node, npm or python3 is missing or the package
# cannot be had. Prints every query and its answer.
set -u
orvalis=$(realpath "$1")
examples=$(realpath "$2")
gen=$(realpath "$3")
cache=$(realpath -m "$4/duckdb-node")
duckdb_package=@duckdb/node-api@1.5.6-r.1

have() { command -v "$1" > /dev/null 2>&1; }
missing=()
have node || missing+=("node")
have npm || missing+=("npm")
have python3 || missing+=("python3")
if ((${#missing[@]} > 0)); then
  echo "SKIPPED: jsonl-duckdb needs ${missing[*]} (.ci/run installs nodejs and npm with apt-get)"
  exit 77
fi
if [[ ! -f $cache/node_modules/@duckdb/node-api/package.json ]]; then
  mkdir -p "$cache"
  if ! npm install --prefix "$cache" --no-audit --no-fund --loglevel=error --fetch-retries=1 \
    "$duckdb_package" > "$cache/npm.log" 2>&1; then
    echo "SKIPPED: jsonl-duckdb could not install $duckdb_package with npm: $(tail -n 3 "$cache/npm.log")"
    exit 77
  fi
fi
[[ -x $gen ]] || { echo "FAIL: no generator at $gen (build the target orvalis-gen)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cd "$work" || exit 1
cp "$examples/Tags.cfg" .
bench=$(dirname "$examples")/bench

# ---- the week ----
hex() { python3 -c 'import sys; sys.stdout.buffer.write(bytes.fromhex(sys.argv[1]))' "$*"; }
for day in 1 2 3 4 5 6 7; do
  "$gen" -q --seed "$day" --records 3000 -o "clean$day.ber" || fail "orvalis-gen day $day: status $?"
  python3 "$bench/mangle.py" damage 4 "$((day + 40))" "clean$day.ber" "day$day.ber" > /dev/null ||
    fail "mangle.py day $day"
done
# Day 6 begins with damage before any record: a primitive element with a record's tag.
{ hex "81 03 47 41 52"; cat day6.ber; } > day6.tmp && mv day6.tmp day6.ber
# Day 7, in the middle (past the rows that DuckDB samples for the types):
#   damage right after a record: a primitive element with a record's tag;
#   DEC0DE01: a DecNumber of three octets (sequenceNumber), a date of month 13 (startTime);
#   DEC0DE04: its exchange's five length octets claim more than the record holds: the record is
#             cut short, and the record DEC0DE05 that its remaining octets hold is read after the
#             damage, in doubt.
# Where the first top-level element at or after offset 250000 begins.
cut_at=$(python3 -c '
import sys
sys.path.insert(0, sys.argv[1])
from mangle import element_end
data, at = open("day7.ber", "rb").read(), 0
while at < 250000:
    at = element_end(data, at)
print(at)' "$bench") || fail "day 7 could not be cut"
{
  head -c "$cut_at" day7.ber
  hex "81 03 47 41 52"
  hex "A1 18  80 01 00  9F 1F 03 00 00 07  81 04 DE C0 DE 01  86 07 06 13 23 10 00 00 00"
  hex "A1 16  80 01 00  81 04 DE C0 DE 04  82 85  A1 09 80 01 00 81 04 DE C0 DE 05"
  tail -c "+$((cut_at + 1))" day7.ber
} > day7.tmp && mv day7.tmp day7.ber
ls day?.ber > week.list

# ---- the two outputs, and schema version 1 ----
printf 'SkipFiller=true\r\nResync=true\r\nSourceColumn=true\r\nJsonSchema=2\r\n' > week.cfg
printf 'SkipFiller=true\r\nResync=true\r\nSourceColumn=true\r\n' > week1.cfg
convert() {  # CONFIG FORMAT OUTPUT
  "$orvalis" -q -x "$2" -c "$1" -t Tags.cfg -l week.list -o "$3" 2> "$3.err"
  local status=$?
  ((status == 1)) || fail "$3: status $status, expected 1 (the week's damage): $(tail -c 600 "$3.err")"
}
convert week.cfg jsonl week.jsonl
convert week.cfg csv week.csv
convert week1.cfg jsonl week1.jsonl
damages=$(sed -n 's/^orvalis: 7 inputs -> .* \([0-9]*\) damages, .*/\1/p' week.jsonl.err)
[[ -n $damages ]] || fail "no total line with damages: $(tail -n 1 week.jsonl.err)"

# ---- DuckDB ----
cat > duckdb.js << 'NODE'
// Runs each query and prints its rows, the columns joined by "|".
const { DuckDBInstance } = require('@duckdb/node-api');
(async () => {
  const connection = await (await DuckDBInstance.create(':memory:')).connect();
  for (const query of process.argv.slice(2)) {
    try {
      const rows = (await connection.runAndReadAll(query)).getRowsJson();
      console.log(rows.map((row) => row.map((cell) => (cell === null ? 'NULL' : String(cell))).join('|')).join('\n'));
    } catch (error) {
      console.log('ERROR: ' + error.message.split('\n')[0]);
    }
  }
})();
NODE
duckdb() { NODE_PATH=$cache/node_modules node duckdb.js "$@"; }
# One query, printed with its answer on standard error; its answer on standard output, or "0"
# (for the checks that read numbers from it) when DuckDB refused the query, which is noted.
ask() {  # QUERY
  local answer
  answer=$(duckdb "$1")
  printf 'duckdb> %s\n%s\n' "$1" "$answer" | sed '2,$s/^/  /' >&2
  if [[ $answer == ERROR:* ]]; then
    echo "$answer" >> refused
    answer=0
  fi
  printf '%s' "$answer"
}

members=$(ask "SELECT string_agg(column_name, ',') FROM (DESCRIBE SELECT * FROM read_json_auto('week.jsonl'))")
[[ $members == "v,record,file,offset,path,fields,errors,damaged,inDoubt" ]] ||
  fail "the JSON lines' members as DuckDB reads them: $members"

two_places() { echo "CAST(round(sum($1), 2) AS DECIMAL(18, 2))"; }
json=$(ask "SELECT count(record), count(damaged) FILTER (WHERE record IS NOT NULL),
  count(inDoubt) FILTER (WHERE record IS NOT NULL), count(*) FILTER (WHERE record IS NOT NULL AND len(errors) > 0),
  sum(fields.charging.meterPulses), $(two_places fields.callDuration.seconds),
  count(DISTINCT file) FILTER (WHERE record IS NOT NULL)
  FROM read_json_auto('week.jsonl')")
csv=$(ask "SELECT count(*), count(*) FILTER (WHERE errors LIKE '%damaged at offset%'),
  count(*) FILTER (WHERE errors LIKE '%read after the damage at offset%'), count(*) FILTER (WHERE errors LIKE '%; octets %'),
  sum(\"charging.meterPulses\"), $(two_places '"callDuration.seconds"'), count(DISTINCT file)
  FROM read_csv_auto('week.csv')")
echo "--- JSON Lines: $json; CSV: $csv (records, damaged, in doubt, with errors, meter pulses, seconds, files)"
[[ $json == "$csv" ]] || fail "DuckDB's answers from the JSON Lines, $json, are not the CSV's, $csv"
IFS='|' read -r records damaged doubted erred _ _ files <<< "$json"
((records > 20000 && damaged >= 3 && doubted >= 1 && erred >= 1 && files == 7)) ||
  fail "the week lacks what it should hold: $json"

# Every damage is told once: in the line of the record it cut short or followed, or in a line of
# its own (record and fields null) where no record comes before it, as at the start of day 6.
marks=$(ask "SELECT count(damaged), count(*) FILTER (WHERE record IS NULL AND fields IS NULL AND damaged IS NOT NULL),
  count(*) FILTER (WHERE record IS NULL AND fields IS NULL AND damaged IS NOT NULL AND file = 'day6.ber' AND \"offset\" = 0)
  FROM read_json_auto('week.jsonl')")
IFS='|' read -r all_damages between at_start <<< "$marks"
((all_damages == damages && all_damages == damaged + between && at_start == 1)) ||
  fail "the damages told ($marks) are not the $damages of the summary line, $damaged of them in records"

# The records made by hand, as the CSV tells them.
made=$(ask "SELECT fields.callReference, fields.sequenceNumber IS NULL, fields.startTime IS NULL,
    array_to_string(list_transform(errors, e -> e.field || ': ' || e.reason || '; octets ' || e.hex), ' | '),
    damaged IS NOT NULL, inDoubt IS NOT NULL
  FROM read_json_auto('week.jsonl') WHERE fields.callReference LIKE 'DEC0DE%' ORDER BY 1")
expected_made="DEC0DE01|true|true|sequenceNumber: length of DecNumber type tag is more than 2 bytes; octets 000007 | startTime: not a valid date and time; octets 06132310000000|false|false
DEC0DE04|true|true||true|false
DEC0DE05|true|true||false|true"
[[ $made == "$expected_made" ]] || fail "the records made by hand: $made"

# ---- schema version 1 told by schema version 2 ----
python3 - week1.jsonl week.jsonl << 'PYTHON' || fail "the JSON lines of schema 2 do not tell what those of schema 1 tell"
import json, sys
from decimal import Decimal

def lines(name):
    return [json.loads(line, parse_float=Decimal) for line in open(name, encoding="utf-8")]

def put(fields, name, value):
    """Puts the value at the member that the error's field names: keys joined by full stops."""
    while name not in fields:
        key = max((k for k in fields if name.startswith(k + ".")), key=len)
        fields, name = fields[key], name[len(key) + 1:]
    assert fields[name] is None, (name, fields[name])
    fields[name] = value

def as_schema1(line):
    head = {"v": 1, "record": line["record"]}
    if line["file"] is not None:
        head["file"] = line["file"]
    told = []
    if line["fields"] is not None:
        for error in line["errors"]:
            put(line["fields"], error["field"], {"error": error["reason"], "hex": error["hex"]})
        told.append({**head, "offset": line["offset"], "path": line["path"], "fields": line["fields"]})
    if line["inDoubt"] is not None:
        told.append({**head, "record": None, "offset": line["offset"],
                     "damaged": {"inDoubt": True, "damagedAt": line["inDoubt"]["damagedAt"]}})
    if line["damaged"] is not None:
        told.append({**head, "record": None, "offset": line["damaged"]["offset"],
                     "damaged": {"skipped": line["damaged"]["skipped"]}})
    return told

one, two = lines(sys.argv[1]), lines(sys.argv[2])
told = [each for line in two for each in as_schema1(line)]
for number, (a, b) in enumerate(zip(told, one)):
    if a != b:
        sys.exit("line %d of schema 1: %s\n  told by schema 2: %s" % (number + 1, b, a))
if len(told) != len(one):
    sys.exit("%d lines of schema 1, %d told by schema 2" % (len(one), len(told)))
print("--- schema 2's %d lines tell schema 1's %d" % (len(two), len(one)))
PYTHON

[[ -s refused ]] && fail "DuckDB refused queries: $(cat refused)"
if ((failures > 0)); then
  echo "$failures failed"
  exit 1
fi
echo "jsonl-duckdb: all passed"
