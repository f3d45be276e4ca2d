#!/bin/bash
# JSON Lines and CSV loaded for real: the bundled example converted in the three formats, every
# JSONL line parsed alone (jq, else Python's json) with its types and record numbers checked, the
# CSV imported into SQLite and queried; the same records under a filter and a range in all three;
# a walk shared by two threads writes the very JSONL and CSV of a walk in order.
#   records-load.sh <path to orvalis> <examples folder>
# Exit status 77 (ctest: skipped) when jq and python3, or sqlite3 3.32 or newer, are missing.
set -u
orvalis=$1
examples=$2

have() { command -v "$1" > /dev/null 2>&1; }
missing=()
have jq || have python3 || missing+=("jq or python3")
if have sqlite3; then
  version=$(sqlite3 --version | cut -d' ' -f1)
  [[ $(printf '%s\n3.32.0\n' "$version" | sort -V | head -n 1) == 3.32.0 ]] || missing+=("sqlite3 3.32 or newer (found $version)")
else
  missing+=("sqlite3")
fi
if ((${#missing[@]} > 0)); then
  echo "SKIPPED: records-load needs ${missing[*]} (.ci/run installs them with apt-get)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cd "$work" || exit 1
cp "$examples/Tags.cfg" "$examples/Orvalis.cfg" "$examples/filter.cfg" "$examples/calls.ber" .

# Each JSONL line alone: an object with "v" 1, "record" a number or null, "offset" a number,
# "fields" an object (or "damaged"); prints the record numbers, one a line.
json_records() {
  if have jq; then
    jq -R -r '(fromjson? // error("BAD LINE: \(.)")) as $r
      | if $r.v == 1 and ($r.record == null or ($r.record | type) == "number")
          and ($r.offset | type) == "number" and (($r.fields | type) == "object" or $r.damaged != null)
        then ($r.record // empty) else "BAD LINE: \(.)" end' "$1" 2>&1
  else
    python3 -c '
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    try:
        r = json.loads(line)
    except ValueError:
        print("BAD LINE:", line.strip())
        continue
    ok = r["v"] == 1 and (r["record"] is None or type(r["record"]) is int) and type(r["offset"]) is int \
         and (type(r.get("fields")) is dict or "damaged" in r)
    if not ok: print("BAD LINE:", line.strip())
    elif r["record"] is not None: print(r["record"])' "$1"
  fi
}
text_records() { sed -n 's/^Call record \([0-9]*\)$/\1/p' "$1"; }
csv_records() { sqlite3 :memory: ".import --csv $1 t" 'SELECT record FROM t'; }

run() {  # name, options...
  local name=$1
  shift
  for format in prs jsonl csv; do
    local option=()
    [[ $format == prs ]] || option=(-x "$format")
    "$orvalis" -q "${option[@]}" "$@" -i calls.ber -o "$name.$format" 2> "$name.$format.err" ||
      fail "$name $format: status $?"
  done
}

# ---- the whole example ----
run all
text_records all.prs > all.text.ids
json_records all.jsonl > all.json.ids
csv_records all.csv > all.csv.ids
grep -q 'BAD LINE' all.json.ids && fail "JSONL lines that do not parse or lack members: $(grep -c 'BAD LINE' all.json.ids)"
[[ $(wc -l < all.text.ids) -eq 500 ]] || fail "the text holds $(wc -l < all.text.ids) records, not 500"
cmp -s all.text.ids all.json.ids || fail "the JSONL records differ from the text's"
cmp -s all.text.ids all.csv.ids || fail "the CSV records differ from the text's"
# Every line valid UTF-8 (iconv refuses any other).
iconv -f UTF-8 -t UTF-8 all.jsonl > /dev/null || fail "JSONL is not valid UTF-8"
iconv -f UTF-8 -t UTF-8 all.csv > /dev/null || fail "CSV is not valid UTF-8"

# Values: types in JSON, and the same meter pulses as in the text.
if have jq; then
  types=$(jq -r 'select(.record != null) | .fields | [(.sequenceNumber | type), (.startTime | test("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{2}$")),
      (.callingNumber.digits | type), (.recordType.code | type)] | @tsv' all.jsonl | sort -u)
  [[ $types == $'number\ttrue\tstring\tnumber' ]] || fail "JSON value types: $types"
  json_pulses=$(jq -s 'map(.fields.charging.meterPulses // 0) | add' all.jsonl)
fi
text_pulses=$(awk -F'\t' '/^\t\tMeter pulses:/ { s += $NF } END { print s }' all.prs)
[[ -z ${json_pulses:-} || $json_pulses == "$text_pulses" ]] || fail "JSONL meter pulses $json_pulses, text $text_pulses"
# (The CSV's sums and types in SQLite and PostgreSQL: tests/scripts/database-load.sh.)

# ---- a filter and a range: the same records in all three ----
printf 'StartRec=100\r\nEndRec=400\r\nFilterFile=filter.cfg\r\n' > some.cfg
run some -c some.cfg
text_records some.prs > some.text.ids
json_records some.jsonl > some.json.ids
csv_records some.csv > some.csv.ids
[[ -s some.text.ids ]] || fail "the filter and range kept no record"
cmp -s some.text.ids some.json.ids || fail "filtered: the JSONL records differ from the text's"
cmp -s some.text.ids some.csv.ids || fail "filtered: the CSV records differ from the text's"

# ---- a walk shared by two threads against a walk in order (StartRec=1 keeps them all) ----
for i in $(seq 20); do cat calls.ber; done > big.ber
printf 'StartRec=1\r\n' > inorder.cfg
for format in jsonl csv; do
  "$orvalis" -q -x $format -i big.ber -o shared.$format 2> /dev/null || fail "shared $format: status $?"
  "$orvalis" -q -x $format -c inorder.cfg -i big.ber -o inorder.$format 2> /dev/null || fail "in order $format: status $?"
  cmp -s shared.$format inorder.$format || fail "$format: the shared walk and the walk in order differ"
done

[[ $failures -eq 0 ]] && echo "records-load: all passed"
exit $failures
