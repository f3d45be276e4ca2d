# The start of a test script that is given the program and the examples folder: $orvalis and
# $examples from the arguments, a work folder (the current directory from here on) removed at the
# end, and fail, which says a failure and counts it in $failures. Sourced, not run.
orvalis=$1
examples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cd "$work" || exit 1
