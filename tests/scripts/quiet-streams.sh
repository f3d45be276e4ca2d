#!/bin/bash
# Quiet mode with pipes: standard input and output, a process substitution, compressed inputs,
# the summary's counts of a walk shared by two threads against a walk in order, and the end of a
# reader of -o -.
#   quiet-streams.sh <path to orvalis> <examples folder>
set -u
source "$(dirname "$0")/script-start.sh"
cp "$examples/Tags.cfg" "$examples/Orvalis.cfg" .
# Twenty copies of the example: over 1 MiB, so that two threads share the walk; without the
# dictionary's lines for tag 1.3 every record at the top level has a tag not found.
for i in $(seq 20); do cat "$examples/calls.ber"; done > big.ber
grep -v '^1\.3\.' Tags.cfg > less.cfg
# The example's configuration and a range that keeps every record and makes the walk go in order.
{ cat Orvalis.cfg; printf 'StartRec=1\r\n'; } > all.cfg

"$orvalis" -i big.ber -o plain.prs > /dev/null || fail "plain conversion"
"$orvalis" -q -t less.cfg -i big.ber -o shared.prs 2> shared.err
"$orvalis" -q -t less.cfg -c all.cfg -i big.ber -o inorder.prs 2> inorder.err
cmp -s shared.prs inorder.prs || fail "shared and in-order outputs differ"
summary() { grep '^orvalis: ' "$1" | sed 's/^orvalis: [^:]* -> [^:]* ([a-z]*): //'; }
[ "$(summary shared.err)" = "$(summary inorder.err)" ] || fail "summaries differ: $(summary shared.err) / $(summary inorder.err)"
case "$(summary shared.err)" in
  "10000 records read, 10000 written, 3280 tags not found,"*"completed with problems") ;;
  *) fail "summary: $(summary shared.err)" ;;
esac

# From another folder, the dictionary and configuration named, the input piped, the output to
# standard output: the same bytes, and nothing on standard error but the summary.
mkdir elsewhere
(cd elsewhere && cat ../big.ber | "$orvalis" -q -t "$work/Tags.cfg" -c "$work/Orvalis.cfg" -i - -o - > ../piped.prs 2> ../piped.err)
[ $? -eq 0 ] || fail "piped run status"
cmp -s piped.prs plain.prs || fail "piped output differs from the plain conversion"
[ "$(cat piped.err)" = "orvalis: - -> - (text): 10000 records read, 10000 written, 0 tags not found, 0 refused pieces, 0 bad dictionary lines, 0 bad configuration lines, 0 bad filter lines, 0 files with bare line feeds, 0 filter files not read, 0 damages, completed" ] ||
  fail "piped standard error: $(cat piped.err)"

# A process substitution is a pipe too.
"$orvalis" -q -i <(cat big.ber) -o subst.prs 2> /dev/null || fail "process substitution status"
cmp -s subst.prs plain.prs || fail "process substitution output differs"

# Without -q a pipe is refused as before.
cat big.ber | "$orvalis" -i /dev/stdin -o refused.prs > /dev/null 2> refused.err
[ $? -eq 255 ] || fail "a pipe without -q is not refused"
grep -q '^Error: can not read input file' refused.err || fail "refusal message: $(cat refused.err)"

# Compressed inputs give what their contents give: gzip on standard input, and a file of many
# gzip members read whole, as zcat reads it.
gzip -c big.ber | "$orvalis" -q -i - -o gz-piped.prs 2> /dev/null || fail "gzip piped status"
cmp -s gz-piped.prs plain.prs || fail "gzip piped output differs from the plain conversion"
split -b 300000 big.ber part.
for part in part.*; do gzip -c "$part"; done > members.gz
"$orvalis" -q -i members.gz -o members.prs 2> /dev/null || fail "gzip members status"
zcat members.gz | "$orvalis" -q -i - -o zcat.prs 2> /dev/null || fail "zcat piped status"
cmp -s members.prs zcat.prs || fail "gzip members differ from their contents read by zcat"
cmp -s members.prs plain.prs || fail "gzip members differ from the plain conversion"

# GzipMaxRatio holds a stream's contents to the octets read so far (here all of them, in one
# block; a file's to its size: an end-to-end case): what fits is converted, and the message names
# the key.
printf 'GzipMaxRatio=2\r\n' > ratio.cfg
gzip -c big.ber > big.ber.gz
size=$(wc -c < big.ber.gz)
[ "$size" -lt 1048576 ] && [ $((2 * size)) -lt "$(wc -c < big.ber)" ] || fail "big.ber.gz of $size octets"
cat big.ber.gz | "$orvalis" -q -c ratio.cfg -i - -o ratio-pipe.prs 2> ratio-pipe.err
[ $? -eq 255 ] && [ -s ratio-pipe.prs ] || fail "a stream past its ratio: not status 255, or nothing converted"
[ "$(grep "^Error: standard" ratio-pipe.err)" = "Error: standard input: the gzip contents are more than 2 times the $size compressed octets read so far, the most that GzipMaxRatio in ratio.cfg allows; $((2 * size)) octets of contents were read before it" ] ||
  fail "a stream past its ratio: $(cat ratio-pipe.err)"

# A reader that goes away ends the program by SIGPIPE, as Unix tools end.
"$orvalis" -q -i big.ber -o - 2> /dev/null | head -c 100 > /dev/null
status=${PIPESTATUS[0]}
[ "$status" -eq 141 ] || fail "status after the reader went away: $status"

[ $failures -eq 0 ] && echo "quiet-streams: all passed"
exit $failures
