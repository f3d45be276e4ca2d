#!/bin/bash
# The run's temporary files: those of the output and the manifest removed when a signal ends the
# run (its status the signal's; also a list converted side by side, which leaves no held text), the
# earlier files left as they were, an output written in place left as it is; and the manifest's
# fields outside records kept in memory however much text they make (no temporary file, which a
# limit of the file size would stop).
#   temporaries.sh <path to orvalis> <examples folder> <path to orvalis-gen>
set -u
set -m  # each run in a process group of its own, where SIGINT is not ignored
orvalis=$(realpath "$1")
examples=$(realpath "$2")
gen=$(realpath "$3")
work=$(mktemp -d)
run=
trap 'kill -9 $run 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cd "$work" || exit 1
cp "$examples/Tags.cfg" "$examples/Orvalis.cfg" .
"$gen" -q --size 20M --seed 7 -o big.ber || exit 1
parts() { ls -A | grep -E '\.part$'; }
# Waits until the file that `ls -A | grep -E PATTERN` names holds more than 1 MB: the walk is under way.
under_way() {
  for i in $(seq 3000); do
    [ "$(stat -c %s "$(ls -A | grep -E "$1" | head -n 1)" 2> /dev/null || echo 0)" -gt 1000000 ] && return 0
    sleep 0.01
  done
  return 1
}

# signal | the output: a temporary beside it, or written in place (a file with another hard link).
# SIGKILL, which no handler sees, leaves both temporaries and the earlier files whole.
rows="INT temporary
TERM temporary
HUP temporary
TERM in-place
KILL temporary"
while read -r signal output; do
  echo "the earlier output" > out.prs
  echo "the earlier manifest" > run.manifest
  rm -f other-name.prs
  watched='^\.out\.prs\.[0-9a-z]{6}\.part$'
  if [ "$output" = in-place ]; then
    ln out.prs other-name.prs
    watched='^out\.prs$'
  fi
  "$orvalis" -q -d -i big.ber -o out.prs -m run.manifest 2> /dev/null &
  run=$!
  under_way "$watched" || fail "$signal, $output: the walk did not get under way"
  kill -s "$signal" $run
  wait $run
  status=$?
  [ $status -eq $((128 + $(kill -l "$signal"))) ] || fail "$signal, $output: status $status"
  left=0
  [ "$signal" = KILL ] && left=2
  [ "$(parts | wc -l)" -eq $left ] || fail "$signal, $output: temporary files left: $(parts)"
  cmp -s run.manifest <(echo "the earlier manifest") || fail "$signal, $output: the earlier manifest changed"
  if [ "$output" = in-place ]; then
    [ "$(stat -c %s out.prs)" -gt 1000000 ] && cmp -s out.prs other-name.prs ||
      fail "$signal, $output: the output written in place was not left as it was"
  else
    cmp -s out.prs <(echo "the earlier output") || fail "$signal, $output: the earlier output changed"
  fi
  rm -f -- $(parts)
done <<< "$rows" 2> /dev/null  # not the shell's word of each run it saw end

# A list converted side by side, the second input's text held for its turn beyond memory in a
# temporary file of TMPDIR: TERM removes the output's temporary and leaves no held text behind.
mkdir held
printf 'big.ber\nbig.ber\n' > two.list
echo "the earlier output" > out.prs
TMPDIR=$work/held "$orvalis" -q -d --list-jobs 2 -l two.list -o out.prs 2> /dev/null &
run=$!
holds_text() {  # the run has a file of TMPDIR open (removed from its folder as soon as made)
  for i in $(seq 3000); do
    ls -l /proc/$run/fd 2> /dev/null | grep -q "$work/held/" && return 0
    sleep 0.01
  done
  return 1
}
under_way '^\.out\.prs\.[0-9a-z]{6}\.part$' && holds_text || fail "list side by side: no text held in TMPDIR"
kill -s TERM $run
wait $run 2> /dev/null
status=$?
[ $status -eq 143 ] || fail "list side by side, TERM: status $status"
[ -z "$(parts)" ] || fail "list side by side, TERM: temporary files left: $(parts)"
[ -z "$(ls -A held)" ] || fail "list side by side, TERM: held text left in TMPDIR: $(ls -A held)"
cmp -s out.prs <(echo "the earlier output") || fail "list side by side, TERM: the earlier output changed"

# The reader of standard output goes away: SIGPIPE ends the run, the manifest's temporary removed.
echo "the earlier manifest" > run.manifest
"$orvalis" -q -i big.ber -o - -m run.manifest 2> /dev/null | head -c 100 > /dev/null
status=${PIPESTATUS[0]}
[ "$status" -eq 141 ] || fail "SIGPIPE: status $status"
[ -z "$(parts)" ] || fail "SIGPIPE: temporary files left: $(parts)"
cmp -s run.manifest <(echo "the earlier manifest") || fail "SIGPIPE: the earlier manifest changed"
rm -f -- $(parts)

# 1 MiB of zeros, each pair a declared element outside records: 33 MB of JSON lines for the
# manifest's "outside", of which it keeps the whole lines within 64 KiB. A limit of the file size
# far below that text stops no part of the run. (The example's configuration would pass over the
# zeros as filler: an empty one reads them.)
if command -v python3 > /dev/null; then
  printf '0.TagName=zero\r\n0.LongTagName=Zero\r\n0.Type=Number\r\n' > zero.cfg
  : > none.cfg
  head -c 1048576 /dev/zero > zeros.ber
  (ulimit -f 1000; exec "$orvalis" -q -t zero.cfg -c none.cfg -i zeros.ber -o /dev/null -m zeros.manifest) 2> zeros.err
  status=$?
  [ $status -eq 0 ] || fail "the manifest of zeros: status $status: $(cat zeros.err)"
  python3 - zeros.manifest << 'PY' || fail "the manifest of zeros: its outside fields"
import json, sys
entry = json.loads(open(sys.argv[1]).read())
kept, size, offset = [], 0, 0
while True:
    line = '{"v":1,"record":null,"offset":%d,"path":"","fields":{"zero":null}}' % offset
    if size + len(line) + 1 > 64 * 1024:
        break
    kept.append(json.loads(line))
    size += len(line) + 1
    offset += 2
sys.exit(0 if entry["outside"] == kept and entry["outsideCut"] is True and entry["status"] == 0 else 1)
PY
else
  echo "skipped: the manifest of zeros (no python3)"
fi

[ $failures -eq 0 ] && echo "temporaries: all passed"
exit $failures
