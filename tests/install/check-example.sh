#!/usr/bin/env bash
# The bundled example converts to its expected text: examples/calls.ber with examples/Tags.cfg and
# examples/Orvalis.cfg gives examples/calls.ber.prs byte for byte, with exit status 0.
#
#   check-example.sh ORVALIS EXAMPLES_DIR SCRATCH_DIR
set -euo pipefail
orvalis=$1
examples=$2
scratch=$3

rm -rf "$scratch"
mkdir -p "$scratch"
cp "$examples/Tags.cfg" "$examples/Orvalis.cfg" "$examples/calls.ber" "$scratch/"
status=0
(cd "$scratch" && "$orvalis" -i calls.ber -o calls.ber.prs > console.out 2>&1) || status=$?
if [[ $status -ne 0 ]]; then
  echo "orvalis ended with status $status on the bundled example; its console:"
  tr '\r' '\n' < "$scratch/console.out" | grep -v 'completed$' || true
  exit 1
fi
if ! cmp "$scratch/calls.ber.prs" "$examples/calls.ber.prs"; then
  echo "The conversion of examples/calls.ber differs from examples/calls.ber.prs (first lines that"
  echo "differ below). If the program's text changed on purpose, run 'make run' and commit the new"
  echo "examples/calls.ber.prs; otherwise the change is a fault."
  diff "$examples/calls.ber.prs" "$scratch/calls.ber.prs" | head -n 20 || true
  exit 1
fi
rm -rf "$scratch"
echo "examples/calls.ber converts to examples/calls.ber.prs"
