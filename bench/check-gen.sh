#!/usr/bin/env bash
# Checks orvalis-gen's output with the independent checker, orvalis-gen-check.
# Usage: check-gen.sh GEN CHECK EXAMPLES_DIR WORK_DIR EXAMPLE_GEN_ARGS...
set -uo pipefail
gen=$(realpath "$1") check=$(realpath "$2") examples=$(realpath "$3") work=$(realpath -m "$4")
shift 4
tags=$examples/Tags.cfg
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# The value of one counter in the checker's report, e.g. `count indefinite report.txt`.
count() { grep -o "$1 [0-9]*" "$2" | head -n 1 | awk '{ print $NF } END { if (NR == 0) print -1 }'; }

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

# Every layout is well-formed, holds every value type and encoding variant, and stops at the
# first record that reaches the size.
for layout in top blocks mixed; do
  "$gen" -q --seed 11 --size 256K --layout "$layout" -o "$layout.ber" || fail "gen $layout"
  "$check" --layout "$layout" --require-variety "$tags" "$layout.ber" > "$layout.txt" \
    || fail "check $layout"
  size=$(stat -c %s "$layout.ber")
  (( size >= 262144 && size < 262144 + 16384 )) || fail "$layout: size $size is not just above 256K"
done

# The same seed gives the same file; another seed another one.
"$gen" -q --seed 11 --size 256K --layout mixed -o again.ber
cmp -s mixed.ber again.ber || fail "seed 11 twice gave different files"
"$gen" -q --seed 12 --size 256K --layout mixed -o other.ber
cmp -s mixed.ber other.ber && fail "seeds 11 and 12 gave the same file"

# --records stops at that count; --indefinite and --long-form do what they say.
"$gen" -q --seed 4 --records 137 --indefinite 0 --long-form 0 -o plain.ber
"$check" "$tags" plain.ber > plain.txt || fail "check plain"
[[ $(count records plain.txt) == 137 ]] || fail "--records 137 gave $(count records plain.txt)"
[[ $(count indefinite plain.txt) == 0 ]] || fail "--indefinite 0 still wrote indefinite lengths"
[[ $(count needed plain.txt) == 0 ]] || fail "--long-form 0 still wrote padded lengths"
"$gen" -q --seed 4 --records 137 --indefinite 100 --layout top -o indef.ber
"$check" "$tags" indef.ber > indef.txt || fail "check indef"
(( $(count indefinite indef.txt) > 137 )) || fail "--indefinite 100 left records definite"

# --repeats P writes 2 to 6 service codes in one supplementary service of P percent of records;
# without it no element repeats within its parent.
"$gen" -q --seed 4 --records 300 --repeats 30 -o repeats.ber
"$check" "$tags" repeats.ber > repeats.txt || fail "check repeats"
[[ $(count repeated plain.txt) == 0 ]] || fail "repeated elements without --repeats"
(( $(count repeated repeats.txt) > 90 )) || fail "--repeats 30 gave $(count repeated repeats.txt) repeats"
[[ $(count most repeats.txt) == 6 ]] || fail "--repeats 30: at most $(count most repeats.txt) of one tag, not 6"

# The checker itself notices damage: a wrong length octet, a cut file.
cp mixed.ber bad.ber
printf '\x05' | dd of=bad.ber bs=1 seek=1 conv=notrunc status=none
"$check" "$tags" bad.ber > /dev/null 2>&1 && fail "checker accepted a wrong length octet"
head -c -1 mixed.ber > cut.ber
"$check" "$tags" cut.ber > /dev/null 2>&1 && fail "checker accepted a cut file"

# The committed example is what its documented command makes.
"$gen" -q "$@" -o calls.ber
cmp -s calls.ber "$examples/calls.ber" \
  || fail "examples/calls.ber is stale: rebuild the example-data target"

if (( failures > 0 )); then
  echo "$failures failure(s)"
  exit 1
fi
echo "generator output: all checks passed"
