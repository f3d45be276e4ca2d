#!/bin/bash
# The output file and the files of the user's: standard input refused as the output, a write that
# fails, and the mode, links and names that a replaced output keeps (a run ended by a signal:
# temporaries.sh).
#   output-file.sh <path to orvalis> <examples folder>
set -u
source "$(dirname "$0")/script-start.sh"
cp "$examples/Tags.cfg" "$examples/Orvalis.cfg" "$examples/calls.ber" .
echo "the earlier output" > earlier
temporaries() { ls -A | grep -E '^\.out\.prs\.[0-9a-z]{6}\.part$'; }

# Standard input that is the output's file is refused as a named input is, the file left whole.
cp calls.ber day.ber
"$orvalis" -q -i - -o day.ber < day.ber 2> refused.err
[ $? -eq 255 ] || fail "standard input as the output: status"
[ "$(head -n 1 refused.err)" = "Error: output file is the same as input file" ] || fail "refusal: $(cat refused.err)"
cmp -s day.ber calls.ber || fail "standard input as the output: the input was changed"

# A write that fails (here past a limit of the file size, which does not end the program by its
# signal) leaves the earlier output, no temporary.
cp earlier out.prs
(ulimit -f 100; exec "$orvalis" -q -i calls.ber -o out.prs) 2> limit.err
[ $? -eq 255 ] || fail "a failed write: status"
grep -q '^Error: can not write output file: ' limit.err || fail "a failed write: $(cat limit.err)"
cmp -s out.prs earlier || fail "a failed write changed the earlier output"
[ -z "$(temporaries)" ] || fail "a failed write left its temporary file"

# A replaced output keeps its mode; a new one gets 0666 less the umask.
chmod 640 out.prs
"$orvalis" -q -i calls.ber -o out.prs 2> /dev/null || fail "replacing an output: status"
cmp -s out.prs "$examples/calls.ber.prs" || fail "the replaced output"
[ "$(stat -c %a out.prs)" = 640 ] || fail "the replaced output's mode: $(stat -c %a out.prs)"
(umask 027; exec "$orvalis" -q -i calls.ber -o new.prs 2> /dev/null)
[ "$(stat -c %a new.prs)" = 640 ] || fail "a new output's mode: $(stat -c %a new.prs)"

# A symbolic link stays a link, its target replaced; the names of a file with other hard links all
# see the new output.
mkdir kept
cp earlier kept/target.prs
ln -s kept/target.prs link.prs
cp earlier hard.prs
ln hard.prs other-name.prs
"$orvalis" -q -i calls.ber -o link.prs 2> /dev/null && "$orvalis" -q -i calls.ber -o hard.prs 2> /dev/null ||
  fail "links: status"
[ -L link.prs ] && cmp -s kept/target.prs "$examples/calls.ber.prs" || fail "the symbolic link or its target"
cmp -s other-name.prs "$examples/calls.ber.prs" || fail "the other hard link"
[ -z "$(ls -A kept | grep part)$(temporaries)" ] || fail "a temporary file left: $(ls -A . kept)"

[ $failures -eq 0 ] && echo "output-file: all passed"
exit $failures
