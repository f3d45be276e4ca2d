#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what a user gets: the program, its manual page
# and the bundled example in the usual places; the installed program prints its usage text without
# arguments and converts the installed example to the installed expected text; the manual page
# renders without warnings and carries the project's version.
#
#   check-install.sh BUILD_DIR VERSION SCRATCH_DIR
set -euo pipefail
build=$1
version=$2
scratch=$3

rm -rf "$scratch"
mkdir -p "$scratch/work"
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" > "$scratch/install.log"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

doc=share/doc/orvalis
for file in bin/orvalis share/man/man1/orvalis.1.gz $doc/README.md $doc/copyright \
    $doc/examples/{README.md,Tags.cfg,Orvalis.cfg,filter.cfg,calls.ber,calls.ber.prs,calls.ber.jsonl,calls.ber.csv,calls.asn,calls-types.cfg}; do
  [[ -f $prefix/$file ]] || fail "not installed: $file"
done
[[ -x $prefix/bin/orvalis ]] || fail "bin/orvalis is not executable"

if [[ -x $prefix/bin/orvalis ]]; then
  status=0
  "$prefix/bin/orvalis" > "$scratch/usage.out" 2>&1 || status=$?
  [[ $status -eq 255 ]] || fail "orvalis without arguments ended with status $status, not 255"
  grep -q '^Usage: Orvalis ' "$scratch/usage.out" || fail "orvalis without arguments printed no usage text"

  cp "$prefix/$doc/examples/"* "$scratch/work/"
  status=0
  (cd "$scratch/work" && "$prefix/bin/orvalis" -i calls.ber -o mine.prs > console.out 2>&1) || status=$?
  [[ $status -eq 0 ]] || fail "the installed example ended with status $status"
  cmp -s "$scratch/work/mine.prs" "$scratch/work/calls.ber.prs" ||
    fail "the installed example does not convert to the installed calls.ber.prs"
  for format in jsonl csv; do
    (cd "$scratch/work" && "$prefix/bin/orvalis" -x $format -i calls.ber -o mine.$format > console.out 2>&1) ||
      fail "the installed example ended with status $? in $format"
    cmp -s "$scratch/work/mine.$format" "$scratch/work/calls.ber.$format" ||
      fail "the installed example does not convert to the installed calls.ber.$format"
  done
fi

page=$scratch/orvalis.1
if [[ -f $prefix/share/man/man1/orvalis.1.gz ]]; then
  gzip -dc "$prefix/share/man/man1/orvalis.1.gz" > "$page" || fail "the manual page does not decompress"
  grep -q "^\.TH ORVALIS 1 .*\"Orvalis $version\"" "$page" ||
    fail "the manual page's .TH line does not name version $version: $(grep '^\.TH' "$page")"
  if command -v groff > /dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [[ -z $warnings ]] || fail "groff warns about the manual page: $warnings"
  else
    echo "note: groff is not installed, the manual page's rendering is not checked"
  fi
fi

if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed; the installed tree is kept in $prefix"
  exit 1
fi
rm -rf "$scratch"
echo "install of $build checked"
