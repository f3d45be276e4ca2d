#!/usr/bin/env bash
# The program under a limit of its address space (ulimit -v 100000, about 98 MiB), with
# dictionaries and a filter file that cost much memory. Each run is checked for its exit status,
# its console and its output file:
#
#   deep     Tags.cfg of 2000 paths 1015 levels deep (4 MB): converts under the limit exactly as
#            without those paths (the walk never goes below 21 levels, so the dictionary keeps
#            little of them), its peak memory staying below the limit (it was 2.6 GB)
#   wide     Tags.cfg of 20000 distinct paths 21 levels deep (1 MB), a dictionary far larger than
#            the limit: the memory message of Tags.cfg and status 255, no abort
#   filter   a filter line whose text 100000 tags would each take (200 MB): the memory message of
#            the filter file, then that the run ends, status 255 and an empty output (the run did
#            not go on without its filter)
#   claim    a gzip file of 20 MiB whose last trailer claims 4 GiB, under a limit of 140000 KiB:
#            the room that the claim asks (8 times the file) cannot be had, so the image starts
#            smaller; the run as without the limit (its last member's check fails: the first
#            member's record is converted and the fault told)
#
# It needs a build without AddressSanitizer, which reserves far more address space than the limit.
#
#   memory-limits.sh ORVALIS [SCRATCH_DIR]   (default: a temporary folder, removed at the end)
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
limit_kib=100000
failed=0

fail() {
  echo "$1: $2"
  failed=1
}

# A record (tag 1) holding one value (tag 1.1, named f as the tags of the filter run, so that the
# filter, had it stayed in force, would drop the record); its dictionary lines.
printf '\xA1\x03\x81\x01\x05' > "$scratch/calls.ber"
printf '1.TagName=record\r\n1.LongTagName=Record\r\n1.1.TagName=f\r\n1.1.LongTagName=\\tValue:\\t\r\n1.1.Type=DecNumber\r\n' \
  > "$scratch/record.cfg"

# Runs orvalis in $scratch/$1 with the arguments after $1, under the limit when LIMIT is set;
# leaves status, stdout, stderr and calls.prs there.
run() {
  local dir=$scratch/$1
  shift
  local status=0
  (
    cd "$dir"
    [[ -z ${LIMIT:-} ]] || ulimit -v "$LIMIT"
    exec "$orvalis" -i ../calls.ber -o calls.prs "$@"
  ) > "$dir/stdout" 2> "$dir/stderr" || status=$?
  echo "$status" > "$dir/status"
}

# Sets up $scratch/$1 with Orvalis.cfg, and Tags.cfg of the record's lines and those on stdin.
setup() {
  mkdir -p "$scratch/$1"
  : > "$scratch/$1/Orvalis.cfg"
  cat "$scratch/record.cfg" - > "$scratch/$1/Tags.cfg"
}

# ran_out NAME FILE: the run in $scratch/NAME ran out of memory reading FILE: status 255, the memory
# message of FILE alone on standard error, the run's end on standard output, an empty output.
ran_out() {
  local dir=$scratch/$1 ending="Error when reading $2. Exiting..."
  [[ $(cat "$dir/status") == 255 ]] || fail "$1" "status $(cat "$dir/status") under ulimit -v $limit_kib, not 255"
  grep -qx "Error: memory allocation for $2 is not successful: .*" "$dir/stderr" &&
    [[ $(wc -l < "$dir/stderr") == 1 ]] || fail "$1" "standard error: $(head -c 300 "$dir/stderr")"
  [[ $(tail -c ${#ending} "$dir/stdout") == "$ending" ]] || fail "$1" "standard output: $(tail -c 300 "$dir/stdout")"
  [[ -f $dir/calls.prs && ! -s $dir/calls.prs ]] || fail "$1" "the output file is not empty"
}

# The run to compare with: the record's dictionary alone, no filter, no limit.
setup plain < /dev/null
run plain
[[ $(cat "$scratch/plain/status") == 0 ]] || fail plain "status $(cat "$scratch/plain/status")"
grep -q '^Record 1$' "$scratch/plain/calls.prs" || fail plain "the record is not in the output"

# deep: the first component tells the paths apart.
awk 'BEGIN { ORS = ""; for (k = 1; k <= 2000; ++k) {
  print 100 + k "."; for (j = 1; j <= 1014; ++j) print (j % 9) + 1 "."; print "TagName=d" k "\r\n" } }' | setup deep
LIMIT=$limit_kib run deep
[[ $(cat "$scratch/deep/status") == 0 ]] || fail deep "status $(cat "$scratch/deep/status") under ulimit -v $limit_kib"
[[ ! -s $scratch/deep/stderr ]] || fail deep "standard error: $(head -c 300 "$scratch/deep/stderr")"
cmp -s "$scratch/deep/stdout" "$scratch/plain/stdout" || fail deep "the console differs from the run without the deep paths"
cmp -s "$scratch/deep/calls.prs" "$scratch/plain/calls.prs" || fail deep "the output differs from the run without the deep paths"

# wide: 21 levels, the deepest that the walk reaches, each path its own from the top.
awk 'BEGIN { ORS = ""; for (k = 1; k <= 20000; ++k) {
  print 1000 + k "."; for (j = 1; j <= 20; ++j) print (j % 9) + 1 "."; print "TagName=wide\r\n" } }' | setup wide
LIMIT=$limit_kib run wide
ran_out wide TagsConfigFile

# filter: 100000 tags more named f, and a filter text of 2000 characters for them.
awk 'BEGIN { for (k = 1; k <= 100000; ++k) printf "%d.TagName=f\r\n", 1000 + k }' | setup filter
awk 'BEGIN { printf "f="; for (i = 0; i < 2000; ++i) printf "x"; printf "\r\n" }' > "$scratch/filter/filter.cfg"
LIMIT=$limit_kib run filter -f filter.cfg
ran_out filter FilterFile

# claim: the record in a member, then 20 MiB that deflate cannot shrink in another, whose trailer
# says 4 GiB.
setup claim < /dev/null
{ gzip -n -c "$scratch/calls.ber"; head -c $((20 << 20)) /dev/urandom | gzip -n -1; } > "$scratch/claim/calls.ber.gz"
printf '\xF0\xFF\xFF\xFF' | dd of="$scratch/claim/calls.ber.gz" bs=1 seek=$(($(stat -c %s "$scratch/claim/calls.ber.gz") - 4)) \
  conv=notrunc status=none
mkdir -p "$scratch/unlimited" && cp "$scratch/claim/"* "$scratch/unlimited/"
run unlimited -i calls.ber.gz
LIMIT=140000 run claim -i calls.ber.gz
for part in status stdout stderr calls.prs; do
  cmp -s "$scratch/claim/$part" "$scratch/unlimited/$part" ||
    fail claim "$part under ulimit -v 140000 differs from the run without it: $(head -c 300 "$scratch/claim/stderr")"
done
grep -q 'gzip stream is corrupt' "$scratch/unlimited/stderr" && grep -q '^Record 1$' "$scratch/unlimited/calls.prs" ||
  fail claim "the run without a limit did not convert the first member and tell the fault"

if ((failed)); then
  echo "(the runs are kept in $scratch)"
  exit 1
fi
[[ -n ${KEEP:-} ]] || rm -rf "$scratch"
echo "deep and wide dictionaries and a large filter under ulimit -v $limit_kib, a gzip claim under 140000: as expected"
