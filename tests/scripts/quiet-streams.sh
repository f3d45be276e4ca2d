#!/bin/bash
# Pipes, in quiet mode and without it: standard input and output (the console then on standard
# error), a process substitution, compressed inputs, the summary's counts of a walk shared by two
# threads against a walk in order, the end of a reader of -o -, and --help into a full device.
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

# Without -q the same: standard input and output, a pipe by its name, a process substitution. With
# the output on standard output, the console (banner, progress, completion line) goes to standard
# error.
cat big.ber | "$orvalis" -i - -o - > loud.prs 2> loud.err
[ $? -eq 0 ] || fail "piped run without -q: status"
cmp -s loud.prs plain.prs || fail "piped run without -q: output differs from the plain conversion"
head -n 1 loud.err | grep -q '^Alcatel S-12 WR1A billing file parser' || fail "piped run without -q: no banner on standard error"
[ "$(tail -c 16 loud.err)" = "100% completed" ] || fail "piped run without -q: no completion line at the end of standard error"
cat big.ber | "$orvalis" -i /dev/stdin -o by-name.prs > by-name.out 2> /dev/null || fail "a pipe by its name without -q: status"
cmp -s by-name.prs plain.prs || fail "a pipe by its name without -q: output differs"
[ "$(tail -c 16 by-name.out)" = "100% completed" ] || fail "a pipe by its name without -q: the console is not on standard output"
"$orvalis" -i <(gzip -c big.ber) -o subst-loud.prs > /dev/null || fail "process substitution without -q: status"
cmp -s subst-loud.prs plain.prs || fail "process substitution without -q: output differs"

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

# --gzip-max-ratio does the same, in place of the file's key, and the message names it.
cat big.ber.gz | "$orvalis" -q --gzip-max-ratio 2 -i - -o ratio-option.prs 2> ratio-option.err
[ $? -eq 255 ] && cmp -s ratio-option.prs ratio-pipe.prs || fail "a stream past the ratio of --gzip-max-ratio: status or output"
[ "$(grep "^Error: standard" ratio-option.err)" = "Error: standard input: the gzip contents are more than 2 times the $size compressed octets read so far, the most that --gzip-max-ratio allows; $((2 * size)) octets of contents were read before it" ] ||
  fail "a stream past the ratio of --gzip-max-ratio: $(cat ratio-option.err)"

# --help and --version that cannot be written end with status 255, and say so.
for asked in --help --version; do
  "$orvalis" "$asked" > /dev/full 2> full.err
  [ $? -eq 255 ] || fail "$asked into /dev/full: not status 255"
  grep -q '^Error: can not write standard output: No space left on device$' full.err || fail "$asked into /dev/full: $(cat full.err)"
done

# A reader that goes away ends the program by SIGPIPE, as Unix tools end.
"$orvalis" -q -i big.ber -o - 2> /dev/null | head -c 100 > /dev/null
status=${PIPESTATUS[0]}
[ "$status" -eq 141 ] || fail "status after the reader went away: $status"

[ $failures -eq 0 ] && echo "quiet-streams: all passed"
exit $failures
