#!/bin/bash
# The CSV loaded into real databases as written: a private PostgreSQL server and SQLite, each
# given the table of `orvalis -g`, with the columns' own names and with ColumnNames=sql, for the
# bundled example and for a generated file with repeated service codes, filler, garbage, a record
# cut short and values that do not decode. Then queried: the rows against the readable text's
# records, the conversation times against the text's and JSON Lines' sums, a timestamp column,
# leading zeros, the errors column, the third occurrence of a repeated element; the value types of
# module-defined files (booleans, times with offsets, addresses, numeric, Unicode text); a
# dictionary made from modules, with each record's kind.
#   database-load.sh <path to orvalis> <examples folder> [<path to orvalis-gen>]
# orvalis-gen is looked for in bench/ beside the program when not named.
# Exit status 77 (ctest: skipped) when PostgreSQL, sqlite3 3.32 or newer or python3 is missing,
# or when run as root with no user to run the server as. Prints every query and its answer.
set -u
orvalis=$(realpath "$1")
examples=$(realpath "$2")
gen=$(realpath -m "${3:-$(dirname "$orvalis")/bench/orvalis-gen}")
cases=$(dirname "$(realpath "$0")")/../e2e/cases

have() { command -v "$1" > /dev/null 2>&1; }
missing=()
# Debian keeps PostgreSQL's programs out of PATH; elsewhere they may be in it.
pgbin=$(ls -d /usr/lib/postgresql/*/bin 2> /dev/null | sort -V | tail -n 1)
[[ -n $pgbin ]] || pgbin=$(dirname "$(command -v initdb 2> /dev/null || echo /none/initdb)")
if [[ -x $pgbin/initdb && -x $pgbin/pg_ctl && -x $pgbin/psql ]]; then
  # COPY's "header match" came with PostgreSQL 15.
  pgversion=$("$pgbin/psql" --version | grep -o '[0-9][0-9.]*' | head -n 1)
  [[ ${pgversion%%.*} -ge 15 ]] || missing+=("PostgreSQL 15 or newer (found $pgversion)")
else
  missing+=("PostgreSQL's initdb, pg_ctl and psql")
fi
if have sqlite3; then
  version=$(sqlite3 --version | cut -d' ' -f1)
  [[ $(printf '%s\n3.32.0\n' "$version" | sort -V | head -n 1) == 3.32.0 ]] || missing+=("sqlite3 3.32 or newer (found $version)")
else
  missing+=("sqlite3")
fi
have python3 || missing+=("python3")
# The server refuses to run as root: root runs it as nobody.
server_user=$(id -un)
if [[ $(id -u) -eq 0 ]]; then
  server_user=nobody
  id -u nobody > /dev/null 2>&1 || missing+=("a user nobody to run the server as")
  have runuser || have setpriv || missing+=("runuser or setpriv")
fi
if ((${#missing[@]} > 0)); then
  echo "SKIPPED: database-load needs ${missing[*]} (.ci/run installs postgresql, sqlite3 and python3 with apt-get)"
  exit 77
fi
[[ -x $gen ]] || { echo "FAIL: no generator at $gen (build the target orvalis-gen)"; exit 1; }

as_server() {
  if [[ $server_user == "$(id -un)" ]]; then
    "$@"
  elif have runuser; then
    runuser -u "$server_user" -- "$@"
  else
    setpriv --reuid="$(id -u "$server_user")" --regid="$(id -g "$server_user")" --clear-groups -- "$@"
  fi
}

work=$(mktemp -d)
# Short, so that the server's socket path stays within its limit of 107 octets.
pg=$(mktemp -d /tmp/orvalis-pg.XXXXXX)
stop_server() {
  [[ -f $pg/data/postmaster.pid ]] && (cd "$pg" && as_server "$pgbin/pg_ctl" -D "$pg/data" -m fast -w stop > /dev/null 2>&1)
  rm -rf "$work" "$pg"
}
trap stop_server EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cd "$work" || exit 1

# ---- the private server: a Unix socket in its own folder, no TCP ----
chown "$server_user" "$pg"
if ! (cd "$pg" && as_server "$pgbin/initdb" -D "$pg/data" -A trust -U orvalis -E UTF8 --locale=C --no-sync > "$pg/initdb.log" 2>&1); then
  cat "$pg/initdb.log"
  echo "FAIL: initdb"
  exit 1
fi
if ! (cd "$pg" && as_server "$pgbin/pg_ctl" -D "$pg/data" -l "$pg/server.log" -w -t 60 \
  -o "-c listen_addresses='' -k $pg -c fsync=off -c full_page_writes=off" start > /dev/null); then
  cat "$pg/server.log"
  echo "FAIL: the server did not start"
  exit 1
fi
psql_run() { "$pgbin/psql" -X -q -h "$pg" -U orvalis -d postgres -v ON_ERROR_STOP=1 "$@"; }

# ---- the inputs ----
cp "$examples/calls.ber" example.ber
# The bundled dictionary gives serviceCode four occurrences' columns: a fifth and sixth are left
# out of the CSV.
cp "$examples/Tags.cfg" Tags.cfg
grep -q '^1\.40\.0\.Occurs=4' Tags.cfg || { echo "FAIL: the bundled dictionary no longer gives serviceCode Occurs=4"; exit 1; }
# Generated records with repeated service codes, then: 32 octets of filler; garbage that reads as
# a primitive element with a record's tag (damage, passed over); three records made by hand, 16
# octets of filler between the second and the third; generated records again.
#   DEC0DE01: a DecNumber of three octets (sequenceNumber), a date of month 13 (startTime);
#             calling number 04123456
#   DEC0DE02: every value well formed; calling number 004420712 (international)
#   DEC0DE03: its startTime claims seven octets where five are left in the record: cut short
"$gen" -q --seed 24 --records 250 --repeats 12 -o part1.ber || fail "orvalis-gen part 1: status $?"
"$gen" -q --seed 25 --records 250 --repeats 12 --no-header -o part2.ber || fail "orvalis-gen part 2: status $?"
hex() { python3 -c 'import sys; sys.stdout.buffer.write(bytes.fromhex(sys.argv[1]))' "$*"; }
{
  cat part1.ber
  hex "$(printf '00%.0s' $(seq 32))"
  hex "81 03 47 41 52"
  hex "A1 30  80 01 00  9F 1F 03 00 00 07  81 04 DE C0 DE 01  83 06 01 10 04 12 34 56
       86 07 06 13 23 10 00 00 00  87 07 06 04 23 10 05 00 00  88 02 75 30  8C 01 10"
  hex "A1 31  80 01 01  9F 1F 02 00 05  81 04 DE C0 DE 02  83 07 84 10 00 44 20 71 20
       86 07 06 04 23 11 00 00 00  87 07 06 04 23 11 16 40 00  88 03 01 86 A0  8C 01 10"
  hex "$(printf 'FF%.0s' $(seq 16))"
  hex "A1 17  80 01 00  81 04 DE C0 DE 03  83 05 81 10 04 12 30  86 07 06 04 23 12 00"
  cat part2.ber
} > generated.ber

# ---- what the text, JSON Lines and the CSV say ----
# Prints shell assignments: the records of the readable text and the sum of its conversation
# times in whole seconds; JSON Lines' sum of callDuration.seconds, its records with a third
# serviceCode and the sum of their codes, its serviceCodes past the fourth; from the CSV, this
# run's column names by their default names (the same order), its rows with an errors cell,
# calling and dialled numbers that begin with 0, the startTime cells and a median one.
facts() {  # NAME DEFAULT_HEADER_CSV
  python3 - "$@" << 'PYTHON'
import csv, decimal, json, re, shlex, sys
name, default_csv = sys.argv[1], sys.argv[2]
out = {}
text = open(name + ".prs", encoding="utf-8", errors="replace").read()
out["text_rows"] = len(re.findall(r"^Call record \d+$", text, re.M))
out["text_seconds"] = sum(int(h) * 3600 + int(m) * 60 + int(s) for h, m, s in
                          re.findall(r"^\tConversation time:\t(\d+):(\d\d):(\d\d)$", text, re.M))
seconds, third, third_codes, beyond, upto = decimal.Decimal(0), 0, 0, 0, 0
for line in open(name + ".jsonl", encoding="utf-8"):
    fields = json.loads(line, parse_float=decimal.Decimal).get("fields") or {}
    seconds += (fields.get("callDuration") or {}).get("seconds", 0)
    service = fields.get("supplementaryService") or {}
    if "serviceCode#3" in service:
        third += 1
        third_codes += service["serviceCode#3"]["code"]
    beyond += sum(1 for key in service if re.fullmatch(r"serviceCode#([5-9]|\d\d+)", key))
    upto = max([upto] + [int(key[len("serviceCode#"):]) for key in service if key.startswith("serviceCode#")])
out["json_seconds"] = format(seconds, ".2f")
out["json_upto"] = upto
out["json_third"] = "%d|%s" % (third, third_codes if third else "")
out["json_beyond"] = beyond
default = next(csv.reader(open(default_csv, encoding="utf-8", newline="")))
rows = list(csv.reader(open(name + ".csv", encoding="utf-8", newline="")))
header = rows.pop(0)
if len(header) != len(default):
    sys.exit("the CSV headers with either names differ in width")
column = dict(zip(default, header))
wanted = ("record", "callReference", "sequenceNumber", "startTime", "callDuration.seconds",
          "callingNumber.digits", "dialledDigits.digits", "supplementaryService.serviceCode#3.code",
          "errors")
absent = [dotted for dotted in wanted if dotted not in column]
if absent:
    sys.exit("%s.csv has no column %s" % (name, ", ".join(absent)))
for key, dotted in (("R", "record"), ("REF", "callReference"), ("SEQ", "sequenceNumber"),
                    ("T", "startTime"), ("S", "callDuration.seconds"),
                    ("CALLING", "callingNumber.digits"), ("DIALLED", "dialledDigits.digits"),
                    ("THIRD", "supplementaryService.serviceCode#3.code"), ("E", "errors")):
    out[key] = '"%s"' % column[dotted]
at = {dotted: header.index(column[dotted]) for dotted in column}
out["csv_errors"] = sum(1 for r in rows if r[at["errors"]])
out["csv_calling0"] = "\n".join("%s:%s" % (r[at["record"]], r[at["callingNumber.digits"]])
                                for r in rows if r[at["callingNumber.digits"]].startswith("0"))
out["csv_dialled0"] = sum(1 for r in rows if r[at["dialledDigits.digits"]].startswith("0"))
times = sorted(r[at["startTime"]] for r in rows if r[at["startTime"]])
out["csv_times"] = len(times)
out["mid_time"] = times[len(times) // 2]
out["csv_later"] = sum(1 for t in times if t >= out["mid_time"])
out["sql_names_ok"] = int(all(re.fullmatch(r"[a-z_][a-z0-9_]*", h) for h in header))
for key, value in out.items():
    print("%s=%s" % (key, shlex.quote(str(value))))
PYTHON
}

# ---- each database ----
# One query, printed with its answer; fails unless the answer is the expected one.
check() {  # ENGINE WHAT QUERY EXPECTED
  local answer
  if [[ $1 == postgresql ]]; then
    answer=$(psql_run -A -t -F '|' -c "$3" 2>&1)
  else
    answer=$(sqlite3 "$db" "$3" 2>&1)
  fi
  printf '%s> %s\n%s\n' "$1" "$3" "$answer" | sed '2,$s/^/  /'
  [[ $answer == "$4" ]] || fail "$1, $run, $2: $answer, expected $4"
}

# Creates the table that `orvalis -g` defines and loads the CSV as written; nothing on stderr.
load() {  # ENGINE
  "$orvalis" -g "$1" -c "$run.cfg" -t "${dictionary:-Tags.cfg}" > "$run.$1.sql" 2> "$run.$1.err" || fail "$run: -g $1: status $?"
  [[ -s $run.$1.err ]] && fail "$run: -g $1 said: $(cat "$run.$1.err")"
  if [[ $1 == postgresql ]]; then
    psql_run -c 'SET client_min_messages = warning' -c 'DROP SCHEMA public CASCADE' -c 'CREATE SCHEMA public' -f "$run.$1.sql" \
      -c "\\copy records from '$run.csv' with (format csv, header match, encoding 'UTF8')" > "$run.$1.load" 2>&1
  else
    db=$run.db
    rm -f "$db"
    sqlite3 "$db" < "$run.$1.sql" > "$run.$1.load" 2>&1 &&
      sqlite3 "$db" ".import --csv --skip 1 $run.csv records_load" >> "$run.$1.load" 2>&1
  fi
  local status=$?
  ((status == 0)) && [[ ! -s $run.$1.load ]] || fail "$run: loading into $1 (status $status): $(head -c 600 "$run.$1.load")"
}

queries() {  # ENGINE
  local engine=$1 two_places="round(sum($S), 2)" types="pg_typeof(max($T)), pg_typeof(max($S)), "
  if [[ $engine == sqlite ]]; then
    two_places="printf('%.2f', round(sum($S), 2))"
    types=""
  fi
  check "$engine" "records" "SELECT count(*) FROM records" "$text_rows"
  check "$engine" "whole seconds" "SELECT CAST(sum(floor($S)) AS bigint) FROM records" "$text_seconds"
  check "$engine" "seconds" "SELECT $two_places FROM records" "$json_seconds"
  local expected_types="timestamp without time zone|numeric|"
  [[ $engine == sqlite ]] && expected_types=""
  check "$engine" "start times" \
    "SELECT ${types}count($T), count(*) FILTER (WHERE $T >= '$mid_time') FROM records" \
    "$expected_types$csv_times|$csv_later"
  [[ $engine == postgresql ]] && check "$engine" "a timestamp literal" \
    "SELECT count(*) FROM records WHERE $T >= timestamp '$mid_time'" "$csv_later"
  check "$engine" "calling numbers that begin with 0" \
    "SELECT CAST($R AS text) || ':' || $CALLING FROM records WHERE $CALLING LIKE '0%' ORDER BY $R" "$csv_calling0"
  check "$engine" "dialled digits that begin with 0" \
    "SELECT count(*) FROM records WHERE $DIALLED LIKE '0%'" "$csv_dialled0"
  check "$engine" "rows with errors" "SELECT count($E) FROM records" "$csv_errors"
  check "$engine" "third service codes" "SELECT count($THIRD), sum($THIRD) FROM records" "$json_third"
}

# ---- the example and the generated file, with either names, in both databases ----
for input in example generated; do
  for names in columns sql; do
    run=$input-$names
    {
      [[ $input == generated ]] && printf 'SkipFiller=true\r\nResync=true\r\n'
      [[ $names == sql ]] && printf 'ColumnNames=sql\r\n'
    } > "$run.cfg"
    expected_status=0
    [[ $input == generated ]] && expected_status=1  # Resync went on after damage
    for format in prs jsonl csv; do
      option=()
      [[ $format == prs ]] || option=(-x "$format")
      "$orvalis" -q "${option[@]}" -c "$run.cfg" -t Tags.cfg -i "$input.ber" -o "$run.$format" 2> "$run.$format.err"
      status=$?
      ((status == expected_status)) || fail "$run $format: status $status: $(head -c 600 "$run.$format.err")"
    done
    facts=$(facts "$run" "$input-columns.csv") || { fail "$run: the outputs could not be read"; continue; }
    eval "$facts"
    echo "--- $run: $text_rows records, $text_seconds s in the text, $json_seconds s in JSON Lines;" \
      "third service codes and the sum of their codes $json_third, $json_beyond past the fourth"
    ((text_rows > 0)) || fail "$run: no records in the text"
    [[ $names == columns || $sql_names_ok == 1 ]] || fail "$run: a column name in the header is not lower case: $(head -n 1 "$run.csv")"
    if [[ $input == generated ]]; then
      ((${json_third%|*} > 0 && json_beyond > 0 && csv_errors > 0)) ||
        fail "$run: no third service code ($json_third), none past the fourth ($json_beyond) or no errors ($csv_errors)"
      [[ -n $csv_calling0 ]] || fail "$run: no calling number begins with 0"
    fi
    # Occurs=4: a fifth and sixth serviceCode have no column, and the summary counts them.
    without=$(sed -n 's/.* \([0-9]*\) values without a column.*/\1/p' "$run.csv.err")
    [[ ${without:-0} == "$json_beyond" ]] || fail "$run: ${without:-0} values without a column, JSON Lines has $json_beyond past the fourth"
    # and the line of the field names both of its paths, with the highest occurrence JSON Lines has.
    told=$(grep '^Values without a column: ' "$run.csv.err")
    expected_told=""
    ((json_beyond > 0)) && expected_told="Values without a column: serviceCode (1.40.0, 2.1.40.0): $json_beyond values, up to occurrence $json_upto: add 1.40.0.Occurs=$json_upto and 2.1.40.0.Occurs=$json_upto"
    [[ $told == "$expected_told" ]] || fail "$run: the fields without a column were told as \"$told\", expected \"$expected_told\""
    for engine in postgresql sqlite; do
      load "$engine"
      queries "$engine"
      # Values that do not decode leave their typed cells empty (NULL) and are told in errors,
      # several joined by " | "; so is a record cut short.
      [[ $input == generated ]] && check "$engine" "the records made by hand" \
        "SELECT $REF, count($SEQ), count($T), count($S), count($E),
           count(*) FILTER (WHERE $E LIKE 'sequenceNumber: %; octets 000007 | startTime: %; octets 06132310000000'),
           count(*) FILTER (WHERE $E LIKE '%cut short%')
         FROM records WHERE $REF LIKE 'DEC0DE%' GROUP BY $REF ORDER BY $REF" \
        $'DEC0DE01|0|0|1|1|1|0\nDEC0DE02|1|1|1|0|0|0\nDEC0DE03|0|0|0|1|0|1'
    done
  done
done

# ---- a day's files in one call: the rows of each file, told by the file column ----
# The example, the generated file and the example compressed with gzip, listed (-l) into one CSV
# with SourceColumn=true: each database counts per file the rows that each file's summary line
# says were written. With OffsetColumn=true, each row's offset (a bigint in PostgreSQL) is the
# one JSON Lines gives its record.
run=day
printf 'SourceColumn=true\r\nOffsetColumn=true\r\nSkipFiller=true\r\nResync=true\r\n' > "$run.cfg"
gzip -c example.ber > example.ber.gz
printf 'example.ber\ngenerated.ber\nexample.ber.gz\n' > "$run.list"
"$orvalis" -q -x csv -c "$run.cfg" -t Tags.cfg -l "$run.list" -o "$run.csv" 2> "$run.csv.err"
status=$?
((status == 1)) || fail "$run: status $status, expected 1 (the generated file's damage): $(head -c 600 "$run.csv.err")"
per_file=$(sed -n 's/^orvalis: \([^ ]*\) -> .*: [0-9]* records read, \([0-9]*\) written, .*/\1|\2/p' "$run.csv.err" |
  grep -v '^[0-9]* inputs|' | LC_ALL=C sort -t '|' -k 1,1)
[[ $(wc -l <<< "$per_file") == 3 ]] || fail "$run: per-file summary lines: $per_file"
"$orvalis" -q -x jsonl -c "$run.cfg" -t Tags.cfg -l "$run.list" -o "$run.jsonl" 2> "$run.jsonl.err"
# Per file: the records, the sum of their offsets and of each offset times its record number.
json_offsets=$(python3 -c '
import json, sys
files = {}
for line in open(sys.argv[1], encoding="utf-8"):
    o = json.loads(line)
    if o["record"] is not None:
        count, offsets, weighed = files.get(o["file"], (0, 0, 0))
        files[o["file"]] = (count + 1, offsets + o["offset"], weighed + o["record"] * o["offset"])
for name in sorted(files, key=lambda name: name.encode()):
    print("%s|%d|%d|%d" % ((name,) + files[name]))' "$run.jsonl")
[[ $(wc -l <<< "$json_offsets") == 3 ]] || fail "$run: JSON Lines gives the records of $(wc -l <<< "$json_offsets") files"
for engine in postgresql sqlite; do
  load "$engine"
  check "$engine" "rows per file" "SELECT file, count(*) FROM records GROUP BY file ORDER BY file" "$per_file"
  check "$engine" "offsets as JSON Lines gives them" \
    "SELECT file, count(*), sum(\"offset\"), sum(record * \"offset\") FROM records GROUP BY file ORDER BY file" \
    "$json_offsets"
  [[ $engine == postgresql ]] && check "$engine" "the offset's type" "SELECT DISTINCT pg_typeof(\"offset\") FROM records" "bigint"
done

# ---- a second day appended: the definition again, the rows added; a day loaded twice refused ----
# The table and SQLite's view and trigger are made only when missing, and the file and the record
# number are the key: a second day's rows go beside the first's, and the same day again is refused
# (psql -v ON_ERROR_STOP=1 then ends with a status that is not 0).
cp generated.ber generated-2.ber
printf 'generated-2.ber\n' > day2.list
"$orvalis" -q -x csv -c "$run.cfg" -t Tags.cfg -l day2.list -o day2.csv 2> day2.csv.err
day2=$(sed -n 's/^orvalis: generated-2.ber -> .*: [0-9]* records read, \([0-9]*\) written, .*/\1/p' day2.csv.err)
day1=$(awk -F '|' '{n += $2} END {print n}' <<< "$per_file")
append() {  # ENGINE CSV
  if [[ $1 == postgresql ]]; then
    psql_run -c 'SET client_min_messages = warning' -f "$run.$1.sql" -c "\\copy records from '$2' with (format csv, header match, encoding 'UTF8')" > "$run.$1.append" 2>&1
  else
    sqlite3 -bail "$db" < "$run.$1.sql" > "$run.$1.append" 2>&1 && sqlite3 -bail "$db" ".import --csv --skip 1 $2 records_load" >> "$run.$1.append" 2>&1
  fi
}
for engine in postgresql sqlite; do
  load "$engine"
  append "$engine" day2.csv || fail "$engine: the second day was not appended: $(head -c 600 "$run.$engine.append")"
  check "$engine" "two days" "SELECT count(*) FROM records" "$((day1 + day2))"
  append "$engine" day2.csv && fail "$engine: the second day was loaded twice"
  grep -q -i -m 1 'duplicate key\|UNIQUE constraint failed' "$run.$engine.append" || fail "$engine: no duplicate key refused: $(head -c 600 "$run.$engine.append")"
  check "$engine" "still two days" "SELECT count(*) FROM records" "$((day1 + day2))"
done

# ---- every keyword of both dialects as a TagName, with either names ----
# The databases' own lists (pg_get_keywords(), and SQLite's through its library's
# sqlite3_keyword_name) as the fields of records: the definitions of -g are executed in both
# databases, a CSV with that header loads into each, and with ColumnNames=sql every column is
# named in a query without quotes. Each keyword is also checked against how -g writes it: quoted
# (a keyword of either dialect), and with ColumnNames=sql given an underscore when PostgreSQL does
# not take it as any name or SQLite knows it. SQLite cannot give a view's column the name true or
# false (its view names them columnN): with the dictionary's names, those two are left out here
# and refused by -g for SQLite (a unit test).
psql_run -A -t -F ' ' -c "SELECT word, catcode FROM pg_get_keywords() ORDER BY 1" > pg.words || fail "pg_get_keywords"
python3 - > sqlite.words << 'PYTHON' || fail "SQLite's keywords could not be had from its library"
import ctypes, ctypes.util
lib = ctypes.CDLL(ctypes.util.find_library("sqlite3"))
lib.sqlite3_keyword_name.argtypes = [ctypes.c_int, ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_int)]
for i in range(lib.sqlite3_keyword_count()):
    name, size = ctypes.c_char_p(), ctypes.c_int()
    lib.sqlite3_keyword_name(i, ctypes.byref(name), ctypes.byref(size))
    print(ctypes.string_at(name, size.value).decode().lower())
PYTHON
echo "--- keywords: $(wc -l < pg.words) of PostgreSQL, $(wc -l < sqlite.words) of SQLite"
make_keywords() {  # [tags]: without true and false
python3 - pg.words sqlite.words "$@" << 'PYTHON'
import sys
words = sorted({line.split()[0] for line in open(sys.argv[1])} | {line.strip() for line in open(sys.argv[2])})
if len(sys.argv) > 3:
    words = [word for word in words if word not in ("true", "false")]
with open("Keywords.cfg", "w", newline="") as out:
    for n, word in enumerate(words):
        record, field = 1 + n // 30, n % 30
        if field == 0:
            out.write("%d.TagName=record\r\n%d.LongTagName=R\r\n" % (record, record))
        out.write("%d.%d.TagName=%s\r\n%d.%d.Type=String\r\n" % (record, field, word, record, field))
PYTHON
}
printf 'ColumnNames=tags\r\n' > keywords-tags.cfg
printf 'ColumnNames=sql\r\n' > keywords-sql.cfg
printf '\xA1\x03\x80\x01\x41' > keywords.ber
dictionary=Keywords.cfg
for names in tags sql; do
  run=keywords-$names
  if [[ $names == tags ]]; then make_keywords tags; else make_keywords; fi
  "$orvalis" -q -x csv -c "$run.cfg" -t Keywords.cfg -i keywords.ber -o "$run.csv" 2> "$run.csv.err" ||
    fail "$run: the CSV: $(head -c 600 "$run.csv.err")"
  for engine in postgresql sqlite; do
    "$orvalis" -g "$engine" -c "$run.cfg" -t Keywords.cfg > "$run.$engine.sql" 2> "$run.$engine.err" ||
      fail "$run: -g $engine: status $?: $(head -c 600 "$run.$engine.err")"
    python3 - "$run.$engine.sql" "$names" pg.words sqlite.words << 'PYTHON' || fail "$run: -g $engine writes a keyword unsafely"
import re, sys
sql, names = open(sys.argv[1]).read(), sys.argv[2]
kinds = {}
for line in open(sys.argv[3]):
    word, code = line.split()
    kinds.setdefault(word, set()).add("pg-" + code)
for line in open(sys.argv[4]):
    kinds.setdefault(line.strip(), set()).add("sqlite")
columns = re.findall(r'^    ("?)([^" ]+)\1 \w', sql, re.M)
written = {name: quote for quote, name in columns}
bad = []
for word, kind in kinds.items():
    if names == "tags" and word in ("true", "false"):
        continue
    if names == "tags":
        if written.get(word) != '"':
            bad.append(word + " unquoted")
    else:
        suffixed = bool(kind & {"pg-R", "pg-T", "pg-C", "sqlite"})
        name = word + "_" if suffixed else word
        if name not in written:
            bad.append(word + " not written as " + name)
if bad:
    print(" ".join(sorted(bad)[:40]))
    sys.exit(1)
PYTHON
  done
  load postgresql
  load sqlite
  check postgresql "a row" "SELECT count(*) FROM records" "1"
  check sqlite "a row" "SELECT count(*) FROM records" "1"
  if [[ $names == sql ]]; then
    every=$(head -n 1 "$run.csv" | tr -d '\r')
    check postgresql "every column unquoted" "SELECT count(*) FROM (SELECT $every FROM records) AS named" "1"
    check sqlite "every column unquoted" "SELECT count(*) FROM (SELECT $every FROM records) AS named" "1"
  fi
done

# ---- the value types of module-defined files ----
# The hand-made file of the end-to-end cases (a sound value of every type, one that cannot be
# decoded of each, empty values) loaded with -g's tables: booleans, times with their offsets,
# addresses, an integer beyond 2^63 - 1 and Unicode text arrive as the types the tables declare.
python3 -c 'import re, sys; sys.stdout.buffer.write(bytes.fromhex(re.sub(r"#.*", "", open(sys.argv[1]).read())))' \
  "$cases/values-module-types-csv/files/types.bin.hex" > module-types.bin
cp "$cases/values-module-types-csv/files/Tags.cfg" ModuleTypes.cfg
dictionary=ModuleTypes.cfg
run=module-types
: > "$run.cfg"
"$orvalis" -q -x csv -c "$run.cfg" -t ModuleTypes.cfg -i module-types.bin -o "$run.csv" 2> "$run.csv.err" ||
  fail "$run: the CSV: $(head -c 600 "$run.csv.err")"
load postgresql
check postgresql "booleans" "SELECT count(*), count(roaming), count(*) FILTER (WHERE roaming), count(*) FILTER (WHERE \"partial\") FROM records" "3|1|1|2"
check postgresql "times with their offsets, in UTC" \
  "SELECT record, \"startTime\" AT TIME ZONE 'UTC', \"recordOpening\" AT TIME ZONE 'UTC', seizure AT TIME ZONE 'UTC' FROM records ORDER BY record" \
  $'1|2024-02-29 22:59:59|2024-02-29 23:59:59.5|2024-02-29 23:59:59\n2|2024-03-01 05:29:59||\n3|||'
check postgresql "addresses" "SELECT record, \"servingNode\", family(\"servingNode\") FROM records WHERE \"servingNode\" IS NOT NULL ORDER BY record" \
  $'1|10.0.0.1|4\n2|2001:db8::1|6'
check postgresql "an integer beyond 2^63 - 1" "SELECT sum(volume), pg_typeof(sum(volume)), pg_typeof(max(\"callDuration.seconds\")) FROM records" \
  "18446744073709551614|numeric|bigint"
check postgresql "Unicode text" "SELECT \"label\", length(\"label\"), \"name\", note FROM records WHERE record = 1" "📞|1|ÅA|Zürich"
check postgresql "octet 3a" "SELECT record, \"calledNumber.digits\", \"calledNumber.screeningCode\" FROM records ORDER BY record" \
  $'1|12345|\n2||\n3|12345|3'
check postgresql "rows with errors" "SELECT count(errors), count(\"label\") FROM records" "1|1"
load sqlite
check sqlite "booleans" "SELECT count(*), count(roaming), sum(roaming), sum(partial) FROM records" "3|1|1|2"
check sqlite "an integer beyond 2^63 - 1 kept as its digits" "SELECT typeof(volume), volume FROM records WHERE record = 1" \
  "text|18446744073709551615"
check sqlite "addresses and numbers" "SELECT \"servingNode\", typeof(\"callDuration.seconds\") FROM records ORDER BY record" \
  $'10.0.0.1|integer\n2001:db8::1|null\n|null'
check sqlite "Unicode text" "SELECT \"label\", length(\"label\"), \"name\", note FROM records WHERE record = 1" "📞|1|ÅA|Zürich"

# ---- a dictionary made from the example's ASN.1 module, loaded as the hand-written one is ----
# The same table from -g and the same CSV, with the modules in place of -t: the example's 500
# records and their 4057 meter pulses, each of the kind the record type names.
# load_from_modules NAME INPUT MODULE-OPTIONS...: INPUT converted to NAME.csv with the modules'
# dictionary and the record kind, and loaded into a fresh PostgreSQL schema by the table of -g.
load_from_modules() {
  local name=$1 input=$2
  shift 2
  printf 'ColumnNames=sql\r\nRecordKindColumn=true\r\n' > "$name.cfg"
  "$orvalis" -q -x csv -c "$name.cfg" -i "$input" -o "$name.csv" "$@" 2> "$name.err" ||
    fail "$name: the conversion ended with status $?: $(cat "$name.err")"
  "$orvalis" -g postgresql -c "$name.cfg" "$@" > "$name.postgresql.sql" 2> "$name.postgresql.err" ||
    fail "$name: -g postgresql ended with status $?: $(cat "$name.postgresql.err")"
  psql_run -c 'SET client_min_messages = warning' -c 'DROP SCHEMA public CASCADE' -c 'CREATE SCHEMA public' \
    -f "$name.postgresql.sql" -c "\\copy records from '$name.csv' with (format csv, header match, encoding 'UTF8')" \
    > "$name.postgresql.load" 2>&1 || fail "$name: loading into postgresql: $(head -c 600 "$name.postgresql.load")"
}
run=module
load_from_modules module example.ber --dictionary-from "$examples/calls.asn" \
  --semantic-types "$examples/calls-types.cfg" --root BillingFile --records CallRecord
check postgresql "records of the module's dictionary" "SELECT count(*), sum(charging_meter_pulses) FROM records" "500|4057"
check postgresql "the records' kind" "SELECT record_kind, count(*) FROM records GROUP BY record_kind" "CallRecord|500"

# Two kinds of record from one module (the end-to-end cases' kinds.asn), in a file made here: seven
# calls of durations 1 to 7 and five messages of lengths 10 to 14, the first ten taking turns. The
# kinds count as the file was made.
run=kinds
python3 -c '
import sys
calls = [bytes([0xA0, 6, 0x80, 1, 0x41, 0x81, 1, d]) for d in range(1, 8)]
messages = [bytes([0xA1, 6, 0x80, 1, 0x42, 0x82, 1, n]) for n in range(10, 15)]
turns = [record for pair in zip(calls, messages) for record in pair] + calls[5:]
sys.stdout.buffer.write(b"".join(turns))' > kinds.ber
load_from_modules kinds kinds.ber \
  --dictionary-from "$cases/records-csv-record-kind-after-file-from-a-module/files/kinds.asn" --root CallEventRecord
check postgresql "records by kind" \
  "SELECT record_kind, count(*), sum(duration), sum(length) FROM records GROUP BY record_kind ORDER BY record_kind" \
  $'moCallRecord|7|28|\nsmsRecord|5||60'

[[ $failures -eq 0 ]] && echo "database-load: all passed"
exit $failures
