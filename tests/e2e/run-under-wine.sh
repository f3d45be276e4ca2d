#!/usr/bin/env bash
# Runs the end-to-end cases against the Windows build under Wine (`make windows-e2e`):
#
#   tests/e2e/run-under-wine.sh build/windows/orvalis.exe [case folder...]
#
# Every case folder under tests/e2e/cases is run when none is named. The runner is built natively
# from runner.cpp into build/windows-e2e/, which also holds the Wine prefix, a small wrapper that
# starts orvalis.exe under Wine, and one log per failing case. Ends with "N passed, N failed".
#
# Expect differences where a case depends on the system rather than on the program: the error
# descriptions after ": " in the messages on standard error come from the C library of Windows,
# and Unix device files (/dev/full) and permissions mean nothing there.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
[[ $# -ge 1 ]] || { echo "usage: $0 ORVALIS_EXE [CASE_DIR...]" >&2; exit 2; }
exe=$(realpath "$1")
shift
[[ -f $exe ]] || { echo "$exe: no such file (make windows builds it)" >&2; exit 2; }
wine=$(command -v wine64 || command -v wine || true)
[[ -n $wine ]] || { echo "Wine is not installed (Debian: apt-get install wine64)" >&2; exit 2; }

work=${WINE_E2E_DIR:-$root/build/windows-e2e}
mkdir -p "$work/logs"
rm -f "$work"/logs/*.log
export WINEPREFIX=${WINEPREFIX:-$work/prefix}
export WINEDEBUG=-all

# The first start of Wine sets up its prefix and says so on standard error: do it before any case.
"$wine" cmd /c exit >/dev/null 2>&1 || true

${CXX:-g++} -std=c++17 -O1 -o "$work/runner" "$root/tests/e2e/runner.cpp"
cat > "$work/orvalis" <<WRAPPER
#!/bin/sh
exec "$wine" "$exe" "\$@"
WRAPPER
chmod +x "$work/orvalis"

cases=("$@")
[[ ${#cases[@]} -gt 0 ]] || cases=("$root"/tests/e2e/cases/*/)
passed=0
failed=0
for case_dir in "${cases[@]}"; do
  case_dir=${case_dir%/}
  name=$(basename "$case_dir")
  if "$work/runner" "$work/orvalis" "$case_dir" > "$work/logs/$name.log" 2>&1; then
    passed=$((passed + 1))
    rm -f "$work/logs/$name.log"
  else
    failed=$((failed + 1))
    echo "FAILED: $name (log: ${work#"$root"/}/logs/$name.log)"
  fi
done
"${wine%/*}/wineserver" -k 2>/dev/null || true
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
