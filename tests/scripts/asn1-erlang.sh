#!/usr/bin/env bash
# Records encoded by an independent encoder, Erlang/OTP's ASN.1 compiler (Debian erlang-asn1):
# tests/asn1/ErlCdr.asn and ErlCommon.asn compiled with erlc +ber, a few hundred values from the
# seeded generator of tests/asn1/erl_values.erl encoded into one file, converted to JSON Lines with
# the dictionary that --dictionary-from makes of the same modules, and every decoded value compared
# with Erlang's own decoding of the same octets. Skipped (status 77), with the reason, where Erlang
# or python3 is missing.
#   tests/scripts/asn1-erlang.sh ORVALIS SOURCE_DIR
set -euo pipefail
orvalis=$(realpath "$1")
source=$2
for tool in erlc erl python3; do
  if ! command -v "$tool" > /dev/null; then
    echo "skipped: $tool is not installed (Erlang/OTP's ASN.1 compiler: apt-get install erlang-asn1)"
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source"/tests/asn1/ErlCdr.asn "$source"/tests/asn1/ErlCommon.asn "$source"/tests/asn1/erl_values.erl "$work"/
cd "$work"
erlc +ber ErlCommon.asn
erlc +ber ErlCdr.asn
erlc erl_values.erl
erl -noshell -pa . -run erl_values main 300 20261209 records.ber want.jsonl
: > Orvalis.cfg
modules=(--dictionary-from ErlCdr.asn --dictionary-from ErlCommon.asn --root Record)
"$orvalis" "${modules[@]}" > Tags.cfg 2> notes.txt
status=0
"$orvalis" -q -x jsonl -i records.ber -o got.jsonl "${modules[@]}" 2> summary.txt || status=$?
if ! grep -q ' 0 bad dictionary lines,' summary.txt; then
  echo "skipped: this build does not read every value type that the generated dictionary names:"
  cat summary.txt
  exit 77
fi
if [ "$status" -ne 0 ] || ! grep -q ' 300 records read, 300 written, 0 tags not found,.*, completed$' summary.txt; then
  echo "FAIL: the conversion did not complete (status $status):"
  cat summary.txt
  exit 1
fi
python3 - want.jsonl got.jsonl <<'PYTHON'
import json, re, sys

GENERALIZED = re.compile(r"^(\d{4})(\d\d)(\d\d)(\d\d)(\d\d)(\d\d)(\.\d+)?(Z|[+-]\d{4})?$")


def iso(text):
    """A GeneralizedTime as Erlang gives it (YYYYMMDDhhmmss[.f][Z|+hhmm]), written in ISO 8601."""
    m = GENERALIZED.match(text)
    if not m:
        return None
    year, month, day, hour, minute, second, fraction, zone = m.groups()
    zone = zone or ""
    if len(zone) == 5:
        zone = zone[:3] + ":" + zone[3:]
    return f"{year}-{month}-{day}T{hour}:{minute}:{second}{fraction or ''}{zone}"


def same(want, got):
    """Erlang's decoding (want) against the program's JSON value (got)."""
    if isinstance(want, dict):
        if not isinstance(got, dict):
            return False
        keys = {k for k in got if not k.endswith("_hex")}
        return set(want) == keys and all(same(want[k], got[k]) for k in want)
    if isinstance(got, dict):  # a value of several parts: its name, its number, its text
        return any(same(want, got[k]) for k in ("text", "name", "names", "code", "value", "number") if k in got)
    if isinstance(want, list):
        if isinstance(got, str):
            got = [name for name in got.replace(",", " ").split() if name]
        return isinstance(got, list) and sorted(want) == sorted(got)
    if isinstance(want, bool) or isinstance(got, bool):
        return want is got
    if isinstance(want, int):
        return str(want) == str(got)
    if isinstance(want, str) and want != got and iso(want) is not None:
        return iso(want) == got
    return want == got

wanted = [json.loads(line) for line in open(sys.argv[1])]
got = [json.loads(line) for line in open(sys.argv[2])]
records = [line for line in got if line.get("record") is not None]
failures = 0
if len(records) != len(wanted):
    print(f"FAIL: {len(records)} records converted, {len(wanted)} encoded")
    failures += 1
values = 0
for want, line in zip(wanted, records):
    values += len(want["fields"])
    if not same(want["fields"], line["fields"]):
        failures += 1
        if failures <= 10:
            print(f"FAIL: record {want['record']} ({want['kind']}):\n  Erlang  {json.dumps(want['fields'])}\n"
                  f"  orvalis {json.dumps(line['fields'])}")
print(f"{len(wanted)} records, {values} top-level values compared with Erlang's decoding: "
      f"{len(wanted) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
PYTHON
