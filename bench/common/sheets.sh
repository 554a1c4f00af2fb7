# Sourced by the benchmark scripts that build sheet-sized rasters from the real ones of the
# data folder; they keep their scratch files in $work.

# need_data DIR FILE...: ends the calling script, as having nothing to measure, when a file
# is missing.
need_data() {
  local dir=$1 f
  shift
  for f in "$@"; do
    [ -e "$dir/$f" ] || { echo "missing $dir/$f: nothing to measure"; exit 0; }
  done
}

# tile SRC ACROSS DOWN W H OUT: repeats SRC ACROSS x DOWN times, crops to W x H and saves OUT
# (vips save options in brackets after the name).
tile() {
  local src=$1 across=$2 down=$3 w=$4 h=$5 out=$6
  local list=() i
  for ((i = 0; i < across * down; i++)); do list+=("$src"); done
  vips arrayjoin "${list[*]}" "$work/join.v" --across "$across"
  vips crop "$work/join.v" "$out" 0 0 "$w" "$h"
  rm -f "$work/join.v"
}
