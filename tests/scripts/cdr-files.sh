#!/usr/bin/env bash
# Files of CDRs made by the test: records encoded by Erlang/OTP's ASN.1 compiler (an encoder of its
# own, not this program's reading of BER) from a small module of CDR-like records, framed by
# tests/scripts/cdr_frames.py with headers of release 9 and 17. Each framed file converts as the
# same records without framing, in every format, compressed and in a list, walked by two threads
# (it holds more than 1 MiB), and what a file breaks of its header's promises is told, counted and
# fails strict mode. Skipped (status 77), with the reason, where erlc or python3 cannot be had.
#   cdr-files.sh ORVALIS
set -euo pipefail
orvalis=$(realpath "$1")
frames=$(realpath "$(dirname "$0")/cdr_frames.py")
for tool in erlc erl python3 gzip; do
  if ! command -v "$tool" > /dev/null; then
    echo "cdr-files: skipped: $tool is missing (apt-get install erlang-base erlang-asn1 python3)"
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
# expect_status WANT COMMAND...: runs the command, its standard error into err.txt.
expect_status() {
  local want=$1
  shift
  local got=0
  "$@" > out.txt 2> err.txt || got=$?
  [ "$got" -eq "$want" ] || fail "status $got, not $want: $* ($(tail -n 2 err.txt))"
}
expect_in() {  # expect_in FILE TEXT
  grep -qF -- "$2" "$1" || fail "$1 lacks: $2"
}

cat > CdrTest.asn <<'EOF'
CdrTest DEFINITIONS IMPLICIT TAGS ::= BEGIN
CallRecord ::= [APPLICATION 1] SEQUENCE {
  recordType   [0] INTEGER,
  servedIMSI   [1] OCTET STRING,
  calledNumber [2] IA5String OPTIONAL,
  duration     [3] INTEGER,
  causes       [4] SEQUENCE OF INTEGER OPTIONAL,
  diagnostics  [5] SEQUENCE { code [0] INTEGER, text [1] IA5String } OPTIONAL
}
END
EOF
if ! erlc +ber CdrTest.asn > erlc.log 2>&1; then
  echo "cdr-files: skipped: erlc cannot compile an ASN.1 module (apt-get install erlang-asn1): $(tail -n 1 erlc.log)"
  exit 77
fi
erl -noshell -pa . -eval '
Enc = fun(I) ->
  Called = case I rem 3 of 0 -> asn1_NOVALUE; _ -> "0" ++ integer_to_list(100000 + I) end,
  Causes = case I rem 4 of 0 -> [1, 2, I rem 100]; _ -> asn1_NOVALUE end,
  Diag = case I rem 10 of 0 -> {'"'"'CallRecord_diagnostics'"'"', I, "diag"}; _ -> asn1_NOVALUE end,
  {ok, B} = '"'"'CdrTest'"'"':encode('"'"'CallRecord'"'"', {'"'"'CallRecord'"'"', I rem 5, <<I:64>>, Called, I * 7, Causes, Diag}),
  B end,
ok = file:write_file("records.ber", [Enc(I) || I <- lists:seq(1, 40000)]),
ok = file:write_file("few.ber", [Enc(I) || I <- lists:seq(1, 200)]),
halt().'

printf '%s\r\n' 1.TagName=record '1.LongTagName=Call record' \
  1.0.TagName=recordType '1.0.LongTagName=\tType:\t' 1.0.Type=HexNumber \
  1.1.TagName=servedIMSI '1.1.LongTagName=\tIMSI:\t' 1.1.Type=HexNumber \
  1.2.TagName=calledNumber '1.2.LongTagName=\tCalled:\t' 1.2.Type=String \
  1.3.TagName=duration '1.3.LongTagName=\tDuration:\t' 1.3.Type=HexNumber \
  1.4.TagName=causes '1.4.LongTagName=\tCauses\n' \
  1.4.2.TagName=cause '1.4.2.LongTagName=\t\tCause:\t' 1.4.2.Type=HexNumber 1.4.2.Occurs=3 \
  1.5.TagName=diagnostics '1.5.LongTagName=\tDiagnostics\n' \
  1.5.0.TagName=code '1.5.0.LongTagName=\t\tCode:\t' 1.5.0.Type=HexNumber \
  1.5.1.TagName=text '1.5.1.LongTagName=\t\tText:\t' 1.5.1.Type=String > Tags.cfg
: > plain.cfg
printf 'Resync=true\r\n' > resync.cfg
printf 'CdrHeaderColumns=true\r\n' > columns.cfg
printf 'Framing=none\r\n' > none.cfg

python3 "$frames" frame records.ber r9.cdr
python3 "$frames" frame records.ber r17.cdr --release 17 --filter ABCD --extension 01
gzip -c r17.cdr > r17.cdr.gz

# The same records with and without framing, in every format: the same text and CSV, and JSON
# Lines but for the offsets (the CDR headers move them); compressed, and in a list.
for format in text jsonl csv; do
  expect_status 0 "$orvalis" -q -s -c plain.cfg -x "$format" -i records.ber -o plain.$format
  inputs="r9.cdr"
  [ "$format" = text ] && inputs="r9.cdr r17.cdr r17.cdr.gz"
  for input in $inputs; do
    expect_status 0 "$orvalis" -q -s -c plain.cfg -x "$format" -i $input -o $input.$format
    if [ "$format" = jsonl ]; then
      sed 's/"offset":[0-9]*,//' plain.$format > a.txt
      sed 's/"offset":[0-9]*,//' $input.$format > b.txt
      cmp -s a.txt b.txt || fail "$input in $format: not the records without framing"
    else
      cmp -s plain.$format $input.$format || fail "$input in $format: not the records without framing"
    fi
  done
done
expect_in err.txt "40000 records read, 40000 written"
printf '%s\n' r9.cdr r17.cdr.gz records.ber > day.list
expect_status 0 "$orvalis" -q -s -c plain.cfg -l day.list -o list.text
cat r9.cdr.text r17.cdr.gz.text plain.text | cmp -s - list.text || fail "-l: not the inputs' texts one after another"
# The console line of the file header, in normal mode.
expect_status 0 "$orvalis" -c plain.cfg -i r17.cdr -o r17.text
expect_in out.txt "CDR file: header of 57 octets, high release 17 version 3, low release 17 version 3,"

# Each record's CDR header in the CSV's columns and the table of -g.
expect_status 0 "$orvalis" -q -c columns.cfg -x csv -i r17.cdr -o columns.csv
head -n 1 columns.csv | grep -q '^record,cdrRelease,cdrVersion,cdrFormat,cdrTsNumber,recordType,' || fail "CSV header"
sed -n 2p columns.csv | grep -q '^1,17,3,1,5,' || fail "CSV row of record 1: $(sed -n 2p columns.csv)"
"$orvalis" -g postgresql -c columns.cfg | grep -q '"cdrTsNumber" smallint' || fail "-g: cdrTsNumber smallint"

# The manifest's line tells the file header.
expect_status 0 "$orvalis" -q -c plain.cfg -i r17.cdr.gz -o m.text -m run.manifest
python3 - run.manifest <<'EOF' || fail "manifest: $(cat run.manifest)"
import json, sys
cdr = json.loads(open(sys.argv[1]).read())["cdrFile"]
assert cdr["highRelease"] == 17 and cdr["lowRelease"] == 17 and cdr["routeingFilter"] == "ABCD", cdr
assert cdr["privateExtension"] == "01" and cdr["cdrsRead"] == 40000 and cdr["cdrCount"]["value"] == 40000, cdr
assert cdr["opened"]["time"] == "--05-06T12:34+02:00" and cdr["nodeAddress"]["text"] == "::1", cdr
assert cdr["cutShortBy"] == 0 and cdr["octetsAfterFileLength"] == 0, cdr
EOF

# What a file breaks of its header's promises: a message, a count in the summary line, strict
# status 1 (a CDR length that disagrees stops the walk without Resync, as damage does).
# damaged NAME FRAMING CFG STATUS TEXT...: few.ber framed as NAME.cdr with FRAMING's faults,
# converted with CFG: its status, and each TEXT on standard error.
damaged() {
  local name=$1 framing=$2 cfg=$3 status=$4 text
  shift 4
  # shellcheck disable=SC2086  # FRAMING is words of options
  python3 "$frames" frame few.ber "$name.cdr" $framing
  expect_status "$status" "$orvalis" -q -s -c "$cfg" -i "$name.cdr" -o "$name.text"
  for text in "$@"; do expect_in err.txt "$text"; done
}
damaged cut "--cut 20" plain.cfg 255 "Error: the CDR file is cut short by 20 octets: its header gives a file length of"
damaged cut "--cut 20" resync.cfg 1 "1 file lengths that disagree, completed with problems"
damaged count "--count-delta 1" plain.cfg 1 "Error: the CDR file header gives 201 CDRs, the file holds 200." \
  "1 CDR counts that disagree, completed with problems"
damaged unknown --count-unknown plain.cfg 0
damaged length "--bad-length 100" plain.cfg 255 "1 CDR lengths that disagree, stopped at offset"
damaged length "--bad-length 100" resync.cfg 1 "199 records read, 199 written," "1 damages, first at offset"
damaged lost "--lost 85" plain.cfg 1 "lost CDR indicator 85 (exactly 5)." "1 files with lost CDRs, completed with problems"
damaged closed "--closure 130" plain.cfg 1 "Error: the CDR file was closed on a fault: closure reason 130 (no space)."
damaged per "--other-format 7" plain.cfg 1 "Error: 1 CDR of another format than BER was passed over, not converted." \
  "199 records read, 199 written,"
damaged trailing "--trailing 7" plain.cfg 1 "Error: 7 octets after the file length of"
# Framing=none reads the file as plain BER: no file header told.
python3 "$frames" frame few.ber few.cdr
"$orvalis" -c none.cfg -i few.cdr -o none.text > out.txt 2>&1 || true
grep -q "CDR file:" out.txt && fail "Framing=none: the file header was told"

if [ "$failures" -ne 0 ]; then
  echo "cdr-files: $failures failed"
  exit 1
fi
echo "cdr-files: passed"
