#!/usr/bin/env bash
# The bundled example converts to its expected outputs: examples/calls.ber with examples/Tags.cfg
# and examples/Orvalis.cfg gives examples/calls.ber.prs (readable text), calls.ber.jsonl (-x jsonl)
# and calls.ber.csv (-x csv) byte for byte, each with exit status 0.
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
rm -rf "$scratch"
echo "examples/calls.ber converts to examples/calls.ber.prs, .jsonl and .csv"
