#!/bin/sh
# Times the image steps on one large document: rotation, a Lanczos resize
# to half size and a solid frame, each alone and all together, against
# ImageMagick doing the same operations. Every figure is the median of
# several runs of the whole process (load, steps, write), so a run with all
# steps off is timed too.
#
# Usage: bench/steps_bench.sh [quillmark binary] [runs]
#   The binary defaults to build/quillmark (the Release build
#   that ./run makes). BENCH_SIZE (default 4000x3000) sets the
#   document size, BENCH_FORMAT (default bmp) the output format.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/quillmark}
runs=${2:-5}
size=${BENCH_SIZE:-4000x3000}
format=${BENCH_FORMAT:-bmp}
magick=${MAGICK_CONVERT:-/usr/bin/convert}

. "$here/bench/common.sh"
make_noisy_document "$work/in/bench.psd"

# Seconds of one command, to the millisecond.
seconds() {
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 )) | awk '{ printf "%.3f\n", $1 / 1000 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

quill() {
  XDG_RUNTIME_DIR="$work/state" XDG_CONFIG_HOME="$work/state" \
    "$program" -i "$work/in/bench.psd" -o "$work/out/" -c "$format" "$@"
}

im() { "$magick" "$work/in/bench.psd[0]" "$@" "$work/out/im.$format"; }

time_both() {
  label=$1
  qargs=$2
  margs=$3
  q=$(for i in $(seq "$runs"); do seconds quill $qargs; done | median)
  m=$(for i in $(seq "$runs"); do seconds im $margs; done | median)
  printf '%-28s %9s %11s\n' "$label" "$q" "$m"
}

# The frame: 40 pixels a side drawn inside the image. ImageMagick's border
# grows the image, so it shaves the same 40 first to keep the size.
frame_q="--fr-solid-left=40 --fr-solid-right=40 --fr-solid-top=40 --fr-solid-bottom=40 \
--fr-solid-left-color=FF0000 --fr-solid-right-color=FF0000 --fr-solid-top-color=FF0000 --fr-solid-bottom-color=FF0000"
frame_m="-shave 40x40 -bordercolor #FF0000 -border 40x40"

echo "document $size, output $format, median of $runs runs (seconds)"
printf '%-28s %9s %11s\n' "case" "quillmark" "imagemagick"
time_both "load and write only" "" ""
time_both "rotate 90" "--rotation=90" "-rotate -90"
time_both "rotate 30" "--rotation=30 --rotation-back-color=000000" "-background #000000 -rotate -30"
time_both "resize 50% lanczos" \
  "--width=50 --width-unit=PERCENT --height=50 --height-unit=PERCENT --resize-algorithm=LANCZOS" \
  "-filter Lanczos -resize 50%"
time_both "frame 40" "$frame_q" "$frame_m"
time_both "rotate 90 + resize + frame" \
  "--rotation=90 --width=50 --width-unit=PERCENT --height=50 --height-unit=PERCENT --resize-algorithm=LANCZOS $frame_q" \
  "-rotate -90 -filter Lanczos -resize 50% $frame_m"
