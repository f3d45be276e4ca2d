#!/usr/bin/env bash
# Conversion benchmark: `make bench` runs it.
#
# Builds the release program and the generator, generates billing files of 10 MiB, 100 MiB and
# 1 GiB from fixed seeds into build/bench/ (mixed layout, every value type), converts each in
# normal mode, the two smaller ones with the dictionary of the example's ASN.1 module (mode
# module: --dictionary-from examples/calls.asn, made at each run, in place of Tags.cfg), in JSON
# Lines and CSV (-x jsonl, -x csv) and in debug mode too, several times each, and prints one table
# of medians:
#   in MiB/s     input size / conversion time
#   out MiB      size of the output file
#   out MiB/s    output size / conversion time
#   peak RSS     maximum resident set size of the conversion
#   cp s         the I/O floor: time to copy the output file just written to a new file
#   conv/cp      conversion time / I/O floor
#   user ms/MiB  the conversion's user CPU time per MiB of input: its own work, apart from the
#                kernel's writing
#
# Environment:
#   BENCH_QUICK=1   leave out the 1 GiB file
#   BENCH_RUNS=N    runs per conversion (default 5)
#   BENCH_DAY=0     leave out bench/day-speed.py (a gzip file against its plain file, a day's list
#                   side by side against one after another), which runs after the table with
#                   BENCH_DAY_ROUNDS rounds (default 7)
#   JOBS=N          build jobs (default 2)
#   BENCH_BUILD_DIR, BENCH_OUT_DIR   the release build and the bench files (default
#                   build/release and build/bench)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
release_dir=${BENCH_BUILD_DIR:-$root/build/release}
bench_dir=${BENCH_OUT_DIR:-$root/build/bench}
runs=${BENCH_RUNS:-5}
jobs=${JOBS:-2}
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "BENCH_RUNS must be a positive number" >&2; exit 2; }

# ---- build -----------------------------------------------------------------------------------
# The same configuration as `make release`, plus the generator.
cmake -S "$root" -B "$release_dir" -DCMAKE_BUILD_TYPE=Release -DORVALIS_TESTS=OFF > /dev/null
cmake --build "$release_dir" -j "$jobs" --target orvalis orvalis-gen > /dev/null
orvalis=$release_dir/orvalis
gen=$release_dir/bench/orvalis-gen

# ---- inputs: name, size, seed ----------------------------------------------------------------
inputs=("10M 10M 10" "100M 100M 100")
[[ ${BENCH_QUICK:-0} == 1 ]] || inputs+=("1G 1G 1000")

mkdir -p "$bench_dir/run"
work=$bench_dir/run
cp "$root/examples/Tags.cfg" "$work/Tags.cfg"
printf '# Benchmark runs: no record range, no filter.\r\n' > "$work/Orvalis.cfg"

for spec in "${inputs[@]}"; do
  read -r name size seed <<< "$spec"
  file=$bench_dir/calls-$name.ber
  if [[ ! -f $file || $gen -nt $file ]]; then
    "$gen" --size "$size" --seed "$seed" --layout mixed -o "$file"
  fi
done

# ---- measuring -------------------------------------------------------------------------------
now_ns() { date +%s%N; }

# Runs the command given, stdout discarded, stderr to $work/stderr.txt; leaves the peak RSS in
# KiB (or "n/a") in $work/rss.txt, the user CPU seconds (or "n/a") in $work/user.txt, and returns
# the command's status.
measure_rss() {
  local status=0
  if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -v -o "$work/time.txt" "$@" > /dev/null 2> "$work/stderr.txt" || status=$?
    awk -F': *' '/Maximum resident set size/ { print $2 }' "$work/time.txt" > "$work/rss.txt"
    awk -F': *' '/User time \(seconds\)/ { print $2 }' "$work/time.txt" > "$work/user.txt"
  elif command -v python3 > /dev/null; then
    RSS_FILE=$work/rss.txt python3 -c '
import os, resource, subprocess, sys
status = subprocess.call(sys.argv[1:], stdout=subprocess.DEVNULL,
                         stderr=open(os.environ["RSS_FILE"] + ".err", "w"))
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
with open(os.environ["RSS_FILE"], "w") as out:
    print(usage.ru_maxrss, file=out)
with open(os.environ["RSS_FILE"].replace("rss.txt", "user.txt"), "w") as out:
    print(usage.ru_utime, file=out)
sys.exit(status)' "$@" || status=$?
    mv -f "$work/rss.txt.err" "$work/stderr.txt"
  else
    "$@" > /dev/null 2> "$work/stderr.txt" || status=$?
    echo n/a > "$work/rss.txt"
    echo n/a > "$work/user.txt"
  fi
  return $status
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "n/a"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One row: conversions of one file in one mode, $runs times.
bench_case() {
  local name=$1 mode=$2
  local input=$bench_dir/calls-$name.ber output=$work/out.prs
  local in_bytes failed=0
  in_bytes=$(stat -c %s "$input")
  local -a flags=()
  [[ $mode == debug ]] && flags=(-d)
  [[ $mode == jsonl || $mode == csv ]] && flags=(-x "$mode")
  # The readable text with the dictionary of the example's ASN.1 module, made at each run.
  [[ $mode == module ]] && flags=(--dictionary-from "$root/examples/calls.asn" --semantic-types
    "$root/examples/calls-types.cfg" --root BillingFile --records CallRecord)
  : > "$work/samples.txt"
  for ((i = 1; i <= runs; i++)); do
    rm -f "$output" "$output.copy"
    local t0 t1 t2 t3 status=0
    t0=$(now_ns)
    (cd "$work" && measure_rss "$orvalis" "${flags[@]}" -i "$input" -o "$output") || status=$?
    t1=$(now_ns)
    if ((status != 0)); then
      failed=$((failed + 1))
      echo "  run $i of $name/$mode ended with status $status: $(tail -n 3 "$work/stderr.txt")" >&2
    fi
    local out_bytes=0
    [[ -f $output ]] && out_bytes=$(stat -c %s "$output")
    t2=$(now_ns)
    [[ -f $output ]] && cp "$output" "$output.copy"
    t3=$(now_ns)
    rm -f "$output.copy"
    echo "$in_bytes $out_bytes $((t1 - t0)) $((t3 - t2)) $(cat "$work/rss.txt") $(cat "$work/user.txt")" \
      >> "$work/samples.txt"
    printf '  %s %s run %d: %.2f s\n' "$name" "$mode" "$i" "$(awk -v n=$((t1 - t0)) 'BEGIN { print n / 1e9 }')" >&2
  done
  rm -f "$output"

  # Per run: in MiB/s, out MiB, out MiB/s, RSS MiB, cp s, conv/cp, conv s, user ms per MiB in.
  local column
  local -a med=()
  for column in 1 2 3 4 5 6 7 8; do
    med+=("$(awk -v c=$column '{
      conv = $3 / 1e9; cp = $4 / 1e9; mib = 1048576
      if (c == 1) print $1 / mib / conv
      if (c == 2) print $2 / mib
      if (c == 3) print $2 / mib / conv
      if (c == 4 && $5 != "n/a") print $5 / 1024
      if (c == 5) print cp
      if (c == 6 && cp > 0) print conv / cp
      if (c == 7) print conv
      if (c == 8 && $6 != "n/a") print $6 * 1000 / ($1 / mib)
    }' "$work/samples.txt" | median)")
  done
  local note=""
  ((failed > 0)) && note="  ($failed of $runs runs failed)"
  printf '%-10s %-6s %9.1f %5d %9.2f %9.1f %10.1f %9.1f %9s %8.3f %8.1f %9s%s\n' \
    "calls-$name" "$mode" "$(awk -v b="$in_bytes" 'BEGIN { print b / 1048576 }')" "$runs" \
    "${med[6]}" "${med[0]}" "${med[1]}" "${med[2]}" \
    "$(awk -v r="${med[3]}" 'BEGIN { if (r == "n/a") print r; else printf "%.1f", r }')" \
    "${med[4]}" "${med[5]}" \
    "$(awk -v u="${med[7]}" 'BEGIN { if (u == "n/a") print u; else printf "%.2f", u }')" \
    "$note" >> "$bench_dir/results.txt"
}

{
  echo "Orvalis conversion benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), $(uname -srm)"
  echo "medians of $runs runs; MiB = 2^20 bytes; cp = copying the output just written"
  printf '%-10s %-6s %9s %5s %9s %9s %10s %9s %9s %8s %8s %9s\n' \
    input mode "in MiB" runs "conv s" "in MiB/s" "out MiB" "out MiB/s" "RSS MiB" "cp s" "conv/cp" \
    "user ms/MiB"
} > "$bench_dir/results.txt"

# The normal-mode rows first, one after another, so that the rows compared for linear cost are
# measured alike; then the record formats; the debug rows, which write some 90 GB, last.
for spec in "${inputs[@]}"; do
  read -r name _ _ <<< "$spec"
  bench_case "$name" normal
done
for mode in module jsonl csv; do
  for spec in "${inputs[@]}"; do
    read -r name _ _ <<< "$spec"
    [[ $name == 1G ]] || bench_case "$name" $mode
  done
done
for spec in "${inputs[@]}"; do
  read -r name _ _ <<< "$spec"
  [[ $name == 1G ]] || bench_case "$name" debug
done

if [[ ${BENCH_DAY:-1} != 0 ]]; then
  echo >> "$bench_dir/results.txt"
  BENCH_OUT_DIR=$bench_dir python3 "$root/bench/day-speed.py" "$orvalis" "$gen" "${BENCH_DAY_ROUNDS:-7}" \
    >> "$bench_dir/results.txt"
fi

echo
cat "$bench_dir/results.txt"
echo "(saved in $bench_dir/results.txt)"
