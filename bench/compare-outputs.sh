#!/usr/bin/env bash
# compare-outputs.sh: runs two builds of the program over one corpus of files, formats and
# settings, and tells every run whose output file, standard output, standard error or exit status
# differ. It proves that a change keeps what it must keep (a rewrite: everything), and shows what a
# mend changes, run by run.
#
#   bench/compare-outputs.sh OLD NEW [WORK]
#
# OLD and NEW are two orvalis binaries; WORK (default build/compare) holds the corpus and the runs,
# and keeps the differing runs' files in WORK/diff/ for a look. The corpus is made with the
# generator and bench/mangle.py: the bundled example; generated files below and above the size at
# which two threads share the walk (top level, blocks, indefinite lengths), and of 10 MiB and
# 100 MiB; small ones padded with 0x00 and 0xFF, with octets replaced and octets inserted, cut
# short, and random octets. Each file goes through the readable text, JSON Lines, CSV and the debug
# dump, under no setting, a record range, a filter, both, chosen CSV columns, SkipFiller, Resync and
# both, in normal and quiet mode, and from standard input in both. Outputs are compared by their
# SHA-256; a file of more than 8 MiB is dumped under no setting only, into a pipe that is hashed as
# it streams (the dump is some fifty times the input). The last line reads
# "compared: N runs, D differ"; the status is 1 when a run differs.
#
# Environment: GEN, the generator (default build/release/bench/orvalis-gen, built when missing);
# COMPARE_QUICK=1 leaves out the 10 MiB and 100 MiB files; NEW_STDERR_SED, a sed script applied to
# the new build's standard error before it is compared, to set aside a change of a message made on
# purpose (the runs' output is named `result`); NEW_STDOUT_SED, the same for standard output, where
# the messages go in normal mode. The walk's hints, a line and an empty line after their message,
# are set aside from both with NEW_STDOUT_SED='/^Hint: /,+1d' NEW_STDERR_SED='/^Hint: /,+1d'.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -ge 2 ]] || { sed -n '2,26p' "$0" >&2; exit 2; }
old=$(realpath "$1")
new=$(realpath "$2")
work=$(realpath -m "${3:-$root/build/compare}")
gen=${GEN:-$root/build/release/bench/orvalis-gen}
if [[ ! -x $gen ]]; then
  cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DORVALIS_TESTS=OFF > /dev/null &&
    cmake --build "$root/build/release" --target orvalis-gen > /dev/null || exit 2
fi

# ---- the corpus ---------------------------------------------------------------------------------
corpus=$work/corpus
mkdir -p "$corpus"
mangle() { python3 "$root/bench/mangle.py" "$@" > /dev/null; }
make_corpus() (
  set -e
  cp "$root/examples/calls.ber" "$corpus/example.ber"
  "$gen" -q --size 300K --seed 3 --layout mixed -o "$corpus/small.ber"
  "$gen" -q --size 2M --seed 5 --layout mixed -o "$corpus/mixed.ber"
  "$gen" -q --size 2M --seed 6 --layout blocks --indefinite 50 -o "$corpus/blocks.ber"
  "$gen" -q --size 1200K --seed 8 --layout top --long-form 30 -o "$corpus/top.ber"
  mangle pad 2048 0 "$corpus/mixed.ber" "$corpus/padded-00.ber"
  mangle pad 2048 255 "$corpus/small.ber" "$corpus/padded-ff.ber"
  mangle damage 40 11 "$corpus/mixed.ber" "$corpus/damaged.ber"
  mangle damage 3 12 "$corpus/small.ber" "$corpus/damaged-few.ber"
  mangle insert 40 13 "$corpus/blocks.ber" "$corpus/inserted.ber"
  head -c 777777 "$corpus/mixed.ber" > "$corpus/cut.ber"
  mangle random 200000 14 "$corpus/random.ber"
  mkdir -p "$corpus/gz"
  for f in example small mixed damaged padded-00; do gzip -9 -n -c "$corpus/$f.ber" > "$corpus/gz/$f.ber.gz"; done
  head -c 300000 "$corpus/gz/mixed.ber.gz" > "$corpus/gz/cut.ber.gz"
)
[[ -f $corpus/gz/cut.ber.gz ]] || make_corpus || { echo "the corpus could not be made" >&2; exit 2; }
if [[ ${COMPARE_QUICK:-0} != 1 ]]; then
  [[ -f $corpus/large-10m.ber ]] || "$gen" -q --size 10M --seed 10 -o "$corpus/large-10m.ber" || exit 2
  [[ -f $corpus/large-100m.ber ]] || "$gen" -q --size 100M --seed 100 -o "$corpus/large-100m.ber" || exit 2
else
  rm -f "$corpus"/large-*.ber
fi

# ---- the settings -------------------------------------------------------------------------------
# name|formats|lines of the main configuration file (\r\n between them)
settings=(
  "plain|text jsonl csv debug|"
  "range|text jsonl csv debug|StartRec=3\r\nEndRec=40"
  "filter|text jsonl csv debug|FilterFile=filter.cfg"
  "range-filter|text jsonl csv debug|StartRec=2\r\nEndRec=300\r\nFilterFile=filter.cfg"
  "columns|csv|Columns=callReference,record,calledNumber.digits,callDuration.seconds,callReference"
  "filler|text jsonl csv debug|SkipFiller=true"
  "resync|text jsonl csv debug|Resync=true"
  "both|text jsonl csv debug|SkipFiller=true\r\nResync=true"
)

runs=0
differ=0
run_dir=$work/run
mkdir -p "$run_dir" "$work/diff"
cp "$root/examples/Tags.cfg" "$root/examples/filter.cfg" "$run_dir/"

# Runs one binary in the run folder, its output named as for the other; leaves the output's
# SHA-256 (when there is an output), the manifest's (when there is one), stdout, stderr and status
# in $run_dir/$2.*, and says so when the run left any other file behind. With `pipe` the output is a
# pipe hashed as it streams; with `stdin` the input comes from standard input; with `args` the
# arguments name the input and the output themselves.
run_one() {
  local binary=$1 tag=$2 input=$3 how=$4
  shift 4
  (
    cd "$run_dir" || exit
    if [[ $how == pipe ]]; then
      mkfifo result
      sha256sum < result | cut -c1-64 > "$tag.out" &
      "$binary" "$@" -i "$input" -o result > "$tag.stdout" 2> "$tag.stderr"
      echo $? > "$tag.status"
      exec 3<> result  # a run that never opened its output still lets the hashing end (no wait)
      exec 3>&-
      wait
      rm -f result
    else
      if [[ $how == stdin ]]; then
        "$binary" "$@" -i - -o result < "$input" > "$tag.stdout" 2> "$tag.stderr"
      elif [[ $how == args ]]; then
        "$binary" "$@" > "$tag.stdout" 2> "$tag.stderr"
      else
        "$binary" "$@" -i "$input" -o result > "$tag.stdout" 2> "$tag.stderr"
      fi
      echo $? > "$tag.status"
      [[ -e result ]] && { sha256sum < result | cut -c1-64 > "$tag.out"; rm -f result; }
    fi
    [[ -e manifest ]] && { sha256sum < manifest | cut -c1-64 > "$tag.manifest"; rm -f manifest; }
    left=$(ls -A | grep -v -x -E '(old|new)\.(out|manifest|stdout|stderr|status)|Tags\.cfg|filter\.cfg|Orvalis\.cfg|three\.list')
    [[ -z $left ]] || { echo "left behind by $binary $*: $left"; rm -f -- $left; }
  )
}

same_part() { [[ ! -e $1 && ! -e $2 ]] || cmp -s "$1" "$2"; }

# Runs both binaries with the arguments given and compares what they left.
compare() {
  local name=$1 input=$2 how=$3
  shift 3
  rm -f "$run_dir"/{old,new}.*
  run_one "$old" old "$input" "$how" "$@"
  run_one "$new" new "$input" "$how" "$@"
  local stream script
  for stream in stderr stdout; do
    [[ $stream == stderr ]] && script=${NEW_STDERR_SED:-} || script=${NEW_STDOUT_SED:-}
    if [[ -n $script && -e $run_dir/new.$stream ]]; then
      sed -e "$script" "$run_dir/new.$stream" > "$run_dir/new.$stream.sed" && mv "$run_dir/new.$stream.sed" "$run_dir/new.$stream"
    fi
  done
  runs=$((runs + 1))
  local same=1 part
  for part in out manifest stdout stderr status; do
    same_part "$run_dir/old.$part" "$run_dir/new.$part" || same=0
  done
  [[ $same == 1 ]] && return
  differ=$((differ + 1))
  echo "differs: $name"
  mkdir -p "$work/diff/$name"
  for part in out manifest stdout stderr status; do
    same_part "$run_dir/old.$part" "$run_dir/new.$part" ||
      cp "$run_dir/old.$part" "$run_dir/new.$part" "$work/diff/$name/" 2> /dev/null
  done
}

for input in "$corpus"/*.ber; do
  file=$(basename "$input" .ber)
  size=$(stat -c %s "$input")
  for setting in "${settings[@]}"; do
    name=${setting%%|*}
    rest=${setting#*|}
    formats=${rest%%|*}
    printf "${rest#*|}\r\n" > "$run_dir/Orvalis.cfg"
    for format in $formats; do
      how=file
      if [[ $format == debug && $size -gt 8388608 ]]; then
        [[ $name == plain ]] || continue
        how=pipe
      fi
      args=()
      [[ $format == debug ]] && args+=(-d) || args+=(-x "$format")
      compare "$file-$name-$format" "$input" "$how" "${args[@]}"
      compare "$file-$name-$format-quiet" "$input" "$how" "${args[@]}" -q
    done
    if [[ $name == plain ]]; then
      compare "$file-plain-text-standard-input" "$input" stdin -q
      compare "$file-plain-text-standard-input-not-quiet" "$input" stdin
    fi
  done
done

# ---- gzip inputs, manifests, lists and table definitions ---------------------------------------
# name|lines of the main configuration file
around=(
  "plain|"
  "resync|Resync=true"
  "both|SkipFiller=true\r\nResync=true"
)
for input in "$corpus"/gz/*.ber.gz; do
  file=$(basename "$input" .ber.gz)
  for setting in "${around[@]}"; do
    name=${setting%%|*}
    printf "${setting#*|}\r\n" > "$run_dir/Orvalis.cfg"
    for format in text jsonl csv debug; do
      args=()
      [[ $format == debug ]] && args+=(-d) || args+=(-x "$format")
      compare "gz-$file-$name-$format" "$input" file "${args[@]}"
      compare "gz-$file-$name-$format-quiet" "$input" file "${args[@]}" -q
    done
  done
  printf '\r\n' > "$run_dir/Orvalis.cfg"
  compare "gz-$file-plain-text-standard-input" "$input" stdin -q
done

# The manifest: a shared walk, a padded file, damage gone on after, a cut file, a gzip input.
for input in "$corpus"/{example,mixed,padded-00,damaged,cut}.ber "$corpus"/gz/{small,cut}.ber.gz; do
  file=$(basename "$input")
  for setting in "${around[@]}" "range|StartRec=3\r\nEndRec=40" "filter|FilterFile=filter.cfg"; do
    name=${setting%%|*}
    printf "${setting#*|}\r\n" > "$run_dir/Orvalis.cfg"
    for format in text jsonl csv; do
      compare "manifest-$file-$name-$format" "$input" file -x "$format" -m manifest
      compare "manifest-$file-$name-$format-quiet" "$input" file -x "$format" -m manifest -q
    done
    compare "manifest-$file-$name-debug" "$input" file -d -m manifest
  done
done

# Lists of three inputs: the example, a gzip file, a damaged file.
printf '%s\n' "$corpus/example.ber" "$corpus/gz/small.ber.gz" "$corpus/damaged.ber" > "$run_dir/three.list"
for setting in "${around[@]}" "source|SourceColumn=true\r\nResync=true" "filter|FilterFile=filter.cfg"; do
  name=${setting%%|*}
  printf "${setting#*|}\r\n" > "$run_dir/Orvalis.cfg"
  for format in text jsonl csv debug; do
    args=()
    [[ $format == debug ]] && args+=(-d) || args+=(-x "$format")
    compare "list-$name-$format" - args "${args[@]}" -l three.list -o result
    compare "list-$name-$format-quiet" - args "${args[@]}" -l three.list -o result -q
    compare "list-$name-$format-manifest" - args "${args[@]}" -l three.list -o result -m manifest -q
  done
done

# Table definitions.
for setting in "plain|" "sql|ColumnNames=sql" "source|SourceColumn=true\r\nTableName=day" \
  "columns|Columns=callReference,record,calledNumber.digits,callDuration.seconds" \
  "sql-columns|ColumnNames=sql\r\nColumns=record,startTime,callingNumber.digits,errors"; do
  name=${setting%%|*}
  printf "${setting#*|}\r\n" > "$run_dir/Orvalis.cfg"
  for dialect in postgresql sqlite; do
    compare "table-$name-$dialect" - args -g "$dialect"
  done
done

rm -f "$run_dir"/{old,new}.* "$run_dir/three.list"
echo "compared: $runs runs, $differ differ"
[[ $differ == 0 ]]
