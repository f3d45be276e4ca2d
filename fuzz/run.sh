#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in BUILD_DIR, replays the seed corpus and the saved
# regressions through each, then fuzzes each for FUZZ_SECONDS, one target after another.
#   FUZZ_SECONDS=300 fuzz/run.sh build-fuzz          (make fuzz)
#   FUZZ_SECONDS=8 fuzz/run.sh build/asan/fuzz-smoke  (the fuzz.smoke test of make test)
# New inputs go to BUILD_DIR/corpus/<target>, reproducers of faults to BUILD_DIR/artifacts/<target>.
# Exits 77 when clang++ with libFuzzer is not available, 0 when every target ran without a fault,
# 1 otherwise.
set -euo pipefail

FUZZ_DIR="$(cd "$(dirname "$0")" && pwd)"
BUILD_DIR="${1:-build-fuzz}"
SECONDS_PER_TARGET="${FUZZ_SECONDS:-8}"
CXX_FUZZ="${CXX_FUZZ:-clang++}"
TARGETS=(fuzz_walk fuzz_debug_walk fuzz_dictionary_and_walk fuzz_text_readers fuzz_gzip fuzz_input_list
         fuzz_manifest_walk fuzz_asn1_modules)

mkdir -p "$BUILD_DIR"
BUILD_DIR="$(cd "$BUILD_DIR" && pwd)"

# Is there a clang that links libFuzzer?
probe="$BUILD_DIR/probe"
mkdir -p "$probe"
printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
  'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, std::size_t) { return 0; }' > "$probe/probe.cpp"
if ! command -v "$CXX_FUZZ" >/dev/null 2>&1 ||
   ! "$CXX_FUZZ" -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1; then
  echo "fuzz: skipped, $CXX_FUZZ with libFuzzer is not available"
  exit 77
fi

cmake -S "$FUZZ_DIR" -B "$BUILD_DIR" -DCMAKE_CXX_COMPILER="$CXX_FUZZ" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

# The dictionary of a target's mutations, as libFuzzer's option; none for the compressed bytes.
dict_of() {
  case "$1" in
    fuzz_walk|fuzz_debug_walk|fuzz_manifest_walk) echo "-dict=$FUZZ_DIR/dict/ber.dict" ;;
    fuzz_gzip) ;;
    *) echo "-dict=$FUZZ_DIR/dict/text.dict" ;;
  esac
}

failed=0
for target in "${TARGETS[@]}"; do
  binary="$BUILD_DIR/$target"
  # Every saved input once: the seed corpus and the reproducers of faults found before.
  inputs=()
  for folder in "$FUZZ_DIR/corpus/$target" "$FUZZ_DIR/regressions/$target"; do
    if [ -d "$folder" ]; then
      while IFS= read -r -d '' file; do inputs+=("$file"); done < <(find "$folder" -type f -print0 | sort -z)
    fi
  done
  log="$BUILD_DIR/$target.replay.log"
  if ! "$binary" "${inputs[@]}" >"$log" 2>&1; then
    echo "fuzz: $target: FAULT while replaying the saved inputs, see $log"
    grep -E 'ERROR|SUMMARY|Running:' "$log" | tail -n 5 || true
    failed=1
    continue
  fi
  echo "fuzz: $target: ${#inputs[@]} saved inputs replayed"

  # A short run from the seeds; new inputs go to a working corpus in the build tree.
  work="$BUILD_DIR/corpus/$target"
  artifacts="$BUILD_DIR/artifacts/$target/"
  mkdir -p "$work" "$artifacts"
  log="$BUILD_DIR/$target.fuzz.log"
  dict="$(dict_of "$target")"
  if ! "$binary" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 \
      ${dict:+"$dict"} -artifact_prefix="$artifacts" -print_final_stats=1 \
      "$work" "$FUZZ_DIR/corpus/$target" >"$log" 2>&1; then
    echo "fuzz: $target: FAULT while fuzzing, reproducer in $artifacts, see $log"
    grep -E 'ERROR|SUMMARY' "$log" | tail -n 5 || true
    failed=1
    continue
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  echo "fuzz: $target: ${runs:-?} executions in ${SECONDS_PER_TARGET} s, no fault"
done
exit "$failed"
