#!/usr/bin/env bash
# The bundled example converts to its expected outputs: examples/calls.ber with examples/Tags.cfg
# and examples/Orvalis.cfg gives examples/calls.ber.prs (readable text), calls.ber.jsonl (-x jsonl)
# and calls.ber.csv (-x csv) byte for byte, each with exit status 0. Its configuration is ready for
# production files: a copy of calls.ber padded with a block of 0xFF, followed by a second copy and
# a record cut short, converts whole, the padding passed over and the damage told (status 1).
#
#   check-example.sh ORVALIS EXAMPLES_DIR SCRATCH_DIR
set -euo pipefail
orvalis=$1
examples=$2
scratch=$3

rm -rf "$scratch"
mkdir -p "$scratch"
cp "$examples/Tags.cfg" "$examples/Orvalis.cfg" "$examples/calls.ber" "$scratch/"
for format in prs jsonl csv; do
  option=()
  [[ $format == prs ]] || option=(-x "$format")
  status=0
  (cd "$scratch" && "$orvalis" "${option[@]}" -i calls.ber -o "calls.ber.$format" > console.out 2>&1) || status=$?
  if [[ $status -ne 0 ]]; then
    echo "orvalis ${option[*]} ended with status $status on the bundled example; its console:"
    tr '\r' '\n' < "$scratch/console.out" | grep -v 'completed$' || true
    exit 1
  fi
  if ! cmp "$scratch/calls.ber.$format" "$examples/calls.ber.$format"; then
    echo "The conversion of examples/calls.ber differs from examples/calls.ber.$format (first lines that"
    echo "differ below). If the program's output changed on purpose, run 'make run' and commit the new"
    echo "examples/calls.ber.$format; otherwise the change is a fault."
    diff "$examples/calls.ber.$format" "$scratch/calls.ber.$format" | head -n 20 || true
    exit 1
  fi
done
size=$(wc -c < "$scratch/calls.ber")
{ cat "$scratch/calls.ber"; head -c 4096 /dev/zero | tr '\0' '\377'; cat "$scratch/calls.ber"; printf '\241\005\200'; } \
  > "$scratch/padded.ber"
status=0
(cd "$scratch" && "$orvalis" -q -i padded.ber -o padded.prs 2> padded.err) || status=$?
damage=$((2 * size + 4096))
if [[ $status -ne 1 ]] || ! grep -qxF "Filler: 4096 octets passed over in 1 run." "$scratch/padded.err" ||
    ! grep -q ": 1001 records read, 1001 written, .* 1 damages, first at offset $damage, completed with problems\$" \
      "$scratch/padded.err" || ! cmp -s -n "$(wc -c < "$examples/calls.ber.prs")" "$scratch/padded.prs" "$examples/calls.ber.prs"; then
  echo "examples/Orvalis.cfg does not pass over filler and go on after damage (status $status); the console:"
  cat "$scratch/padded.err"
  exit 1
fi
rm -rf "$scratch"
echo "examples/calls.ber converts to examples/calls.ber.prs, .jsonl and .csv; a padded, damaged copy converts whole"
