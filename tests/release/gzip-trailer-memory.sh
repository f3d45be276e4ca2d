#!/usr/bin/env bash
# A gzip file whose last four octets claim more contents than it holds, under a limit of the
# address space (ulimit -v 300000, about 293 MiB): a sound member of 25 MiB of contents (a record
# holding a value of 25 MiB of random octets, which deflate cannot shrink, then a small record)
# followed by FF FF FF FF, which a reader of the trailer takes for 4 GiB of contents. The image
# starts at what the file can hold, not at the claim: both records are converted, the run ends at
# the octets after the member (status 255), and the output is that of the member alone, converted
# under the same limit.
#
# It needs a build without AddressSanitizer, which reserves far more address space than the limit.
#
#   gzip-trailer-memory.sh ORVALIS [SCRATCH_DIR]   (default: a temporary folder, removed at the end)
set -euo pipefail
orvalis=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
if [[ $# -ge 2 ]]; then
  scratch=$2
  rm -rf "$scratch"
  mkdir -p "$scratch"
else
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
fi
limit_kib=300000
failed=0

fail() {
  echo "$1: $2"
  failed=1
}

cd "$scratch"
# Record 1 (tag 1, four length octets: 26214406) holds tag 1.1 of 26214400 octets (01 90 00 00);
# record 2 holds tag 1.1 of one octet. Tag 1.1 has no type, so no value is written.
{
  printf '\xA1\x84\x01\x90\x00\x06\x81\x84\x01\x90\x00\x00'
  head -c 26214400 /dev/urandom
  printf '\xA1\x03\x81\x01\x05'
} > calls.ber
printf '1.TagName=record\r\n1.LongTagName=Record\r\n1.1.TagName=value\r\n1.1.LongTagName=Value\r\n' > Tags.cfg
: > Orvalis.cfg
gzip -c calls.ber > member.gz
{ cat member.gz; printf '\xFF\xFF\xFF\xFF'; } > claims.gz
member_size=$(wc -c < member.gz)

# Runs orvalis -q on $1 into $1.prs under the limit; leaves $1.status and $1.err.
run() {
  local status=0
  (ulimit -v "$limit_kib" && exec "$orvalis" -q -i "$1" -o "$1.prs") 2> "$1.err" || status=$?
  echo "$status" > "$1.status"
}

run member.gz
run claims.gz
[[ $(cat member.gz.status) == 0 ]] || fail member "status $(cat member.gz.status): $(head -c 300 member.gz.err)"
grep -qx 'Record 2' member.gz.prs || fail member "record 2 is not in the output"
[[ $(cat claims.gz.status) == 255 ]] || fail claims "status $(cat claims.gz.status), not 255"
expected="Error: claims.gz: the octets at offset $member_size after gzip member 1 begin no gzip member; 26214417 octets of contents were read before it"
[[ $(head -n 1 claims.gz.err) == "$expected" ]] || fail claims "standard error: $(head -c 300 claims.gz.err)"
[[ $(tail -n 1 claims.gz.err) == *' 2 records read, 2 written, '*', compressed input corrupt' ]] ||
  fail claims "summary: $(tail -n 1 claims.gz.err)"
cmp -s claims.gz.prs member.gz.prs || fail claims "the output differs from that of the member alone"

if ((failed)); then
  echo "(the runs are kept in $scratch)"
  trap - EXIT
  exit 1
fi
echo "a gzip trailer that claims 4 GiB under ulimit -v $limit_kib: converted as its member"
