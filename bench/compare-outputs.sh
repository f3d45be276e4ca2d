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
# which two threads share the walk (top level, blocks, indefinite lengths); the same padded with
# 0x00 and 0xFF, with octets replaced and octets inserted, cut short, and random octets. Each file
# goes through the readable text, JSON Lines, CSV and the debug dump, under no setting, a record
# range, a filter, SkipFiller, Resync and both, in normal and quiet mode. The last line reads
# "compared: N runs, D differ"; the status is 1 when a run differs.
#
# Environment: GEN, the generator (default build/release/bench/orvalis-gen, built when missing).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
[[ $# -ge 2 ]] || { sed -n '2,17p' "$0" >&2; exit 2; }
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
)
[[ -f $corpus/random.ber ]] || make_corpus || { echo "the corpus could not be made" >&2; exit 2; }

# ---- the settings -------------------------------------------------------------------------------
# name|lines of the main configuration file (\r\n between them)
settings=(
  "plain|"
  "range|StartRec=3\r\nEndRec=40"
  "filter|FilterFile=filter.cfg"
  "filler|SkipFiller=true"
  "resync|Resync=true"
  "both|SkipFiller=true\r\nResync=true"
)
formats=(text jsonl csv debug)

runs=0
differ=0
mkdir -p "$work/run" "$work/diff"
cp "$root/examples/Tags.cfg" "$root/examples/filter.cfg" "$work/run/"

# Runs one binary in the run folder, its output named as for the other; leaves the output (when
# there is one), stdout, stderr and status in $work/run/$2.*, and says so when the run left any
# other file behind.
run_one() {
  local binary=$1 tag=$2
  shift 2
  (cd "$work/run" && "$binary" "$@" -o result > "$tag.stdout" 2> "$tag.stderr"; echo $? > "$tag.status"
   [[ -e result ]] && mv result "$tag.out"
   left=$(ls -A | grep -v -x -E '(old|new)\.(out|stdout|stderr|status)|Tags\.cfg|filter\.cfg|Orvalis\.cfg')
   [[ -z $left ]] || { echo "left behind by $binary $*: $left"; rm -f -- $left; })
}

same_part() { [[ ! -e $1 && ! -e $2 ]] || cmp -s "$1" "$2"; }

for input in "$corpus"/*.ber; do
  for setting in "${settings[@]}"; do
    name=${setting%%|*}
    printf "${setting#*|}\r\n" > "$work/run/Orvalis.cfg"
    for format in "${formats[@]}"; do
      # The dump of a large file is many times its size: the small files and the damaged ones only.
      if [[ $format == debug && $(stat -c %s "$input") -gt 1000000 && $input != *damaged* ]]; then continue; fi
      for quiet in "" -q; do
        args=(-i "$input")
        [[ $format == debug ]] && args+=(-d) || args+=(-x "$format")
        [[ -n $quiet ]] && args+=(-q)
        rm -f "$work"/run/{old,new}.*
        run_one "$old" old "${args[@]}"
        run_one "$new" new "${args[@]}"
        runs=$((runs + 1))
        same=1
        for part in out stdout stderr status; do
          same_part "$work/run/old.$part" "$work/run/new.$part" || same=0
        done
        if [[ $same == 0 ]]; then
          differ=$((differ + 1))
          case_name=$(basename "$input" .ber)-$name-$format${quiet:+-quiet}
          echo "differs: $case_name ($(basename "$input") $name $format${quiet:+ quiet})"
          mkdir -p "$work/diff/$case_name"
          for part in out stdout stderr status; do
            same_part "$work/run/old.$part" "$work/run/new.$part" ||
              cp "$work/run/old.$part" "$work/run/new.$part" "$work/diff/$case_name/" 2> /dev/null
          done
        fi
      done
    done
  done
done
rm -f "$work"/run/{old,new}.*
echo "compared: $runs runs, $differ differ"
[[ $differ == 0 ]]
