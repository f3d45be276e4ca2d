#!/usr/bin/env bash
# Text that no record start holds back (filler or garbage, whose text is fifty times its size) goes
# to the output as it grows: peak memory stays within the input's size plus 32 MiB, and the
# output is the text that a walk holding everything would write. Peak memory means nothing under
# the sanitizers, so this runs against the release build.
#   held-text-memory.sh path/to/release/orvalis
set -euo pipefail
orvalis=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

printf '1.TagName=record\r\n1.LongTagName=Record\r\n1.1.TagName=value\r\n1.1.LongTagName=Value: \r\n1.1.Type=DecNumber\r\n' > Tags.cfg
: > Orvalis.cfg
not_found='Tag 0. not found, please, add it to Tags.cfg or report about this error to billing-tools@example.org'
zeros=$((50 << 20))
head -c "$zeros" /dev/zero > zeros.ber
for ((i = 0; i < 2000; ++i)); do printf '\x61\x03\x81\x01\x07'; done > records.ber
cat records.ber zeros.ber > records-then-zeros.ber

failed=0
check() {  # name input expected-output-command
  local name=$1 input=$2 expected=$3
  /usr/bin/time -f %M -o rss.txt "$orvalis" -i "$input" -o out.prs > /dev/null
  local rss_kib limit_kib
  rss_kib=$(tail -n 1 rss.txt)
  limit_kib=$(( $(stat -c %s "$input") / 1024 + 32 * 1024 ))
  if (( rss_kib > limit_kib )); then
    echo "FAIL $name: peak memory $rss_kib KiB, above $limit_kib KiB"; failed=1
  elif ! cmp -s out.prs <(eval "$expected"); then
    echo "FAIL $name: output differs"; failed=1
  else
    echo "ok $name: peak memory $rss_kib KiB (limit $limit_kib KiB)"
  fi
  rm -f out.prs
}
records='for ((i = 1; i <= 2000; ++i)); do printf "Record %d\nValue: 7\n" $i; done'
check "50 MiB of zero octets" zeros.ber "yes '$not_found' | head -n $((zeros / 2))"
check "records, then 50 MiB of zero octets" records-then-zeros.ber "{ $records; yes '$not_found' | head -n $((zeros / 2)); }"
exit $failed
