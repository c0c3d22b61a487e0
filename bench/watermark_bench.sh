#!/bin/sh
# Times the watermark step: a folder of documents converted with every step
# off, with a plain and an anti-aliased text stamp and with a picture stamp
# (opaque, then half faded and grey, then turned by 30 degrees). Each figure
# is the median of several runs of the whole process over the folder,
# divided by the number of files: the cost per file, of which the extra
# over "every step off" is what the watermark adds. Wall time on a shared
# machine is mostly the disk; the processor time (user + system, from
# /usr/bin/time) is the steadier figure.
#
# Usage: bench/watermark_bench.sh [quillmark binary] [runs]
#   The binary defaults to build/quillmark (the Release build
#   that ./run makes). BENCH_SIZE (default 2000x1500) sets the
#   document size, BENCH_FILES (default 20) their number, BENCH_FORMAT
#   (default bmp) the output format.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/quillmark}
runs=${2:-5}
size=${BENCH_SIZE:-2000x1500}
files=${BENCH_FILES:-20}
format=${BENCH_FORMAT:-bmp}
magick=${MAGICK_CONVERT:-/usr/bin/convert}

. "$here/bench/common.sh"
make_noisy_document "$work/in/doc1.psd"
for i in $(seq 2 "$files"); do cp "$work/in/doc1.psd" "$work/in/doc$i.psd"; done
# A 400 x 200 logo with a clear background and a soft-edged disc.
"$magick" -size 400x200 xc:none -fill '#2060E0' -draw 'circle 200,100 200,10' -blur 0x3 "$work/logo.png"

[ -x /usr/bin/time ] || { echo "no /usr/bin/time" >&2; exit 1; }

# "wall cpu" of one run, in milliseconds.
measure() {
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }' "$work/time"
}

# Median of one column of "wall cpu" lines.
median() { cut -d' ' -f"$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

base_wall=""
base_cpu=""
time_case() {
  label=$1
  shift
  for i in $(seq "$runs"); do measure env XDG_RUNTIME_DIR="$work/state" XDG_CONFIG_HOME="$work/state" \
    "$program" -i "$work/in/" -o "$work/out/" -c "$format" "$@"; done >"$work/runs"
  wall=$(median 1 <"$work/runs" | awk -v n="$files" '{ printf "%.1f", $1 / n }')
  cpu=$(median 2 <"$work/runs" | awk -v n="$files" '{ printf "%.1f", $1 / n }')
  [ -n "$base_wall" ] || { base_wall=$wall; base_cpu=$cpu; }
  printf '%-34s %8s %8s %10s %10s\n' "$label" "$wall" "$cpu" \
    "$(echo "$wall $base_wall" | awk '{ printf "%+.1f", $1 - $2 }')" \
    "$(echo "$cpu $base_cpu" | awk '{ printf "%+.1f", $1 - $2 }')"
}

wm_text="--wm-text=(c) Quillmark %yyyy%%eol%%filename%.%ext% %width%x%height%"
text_options="--wm-font-size=36 --wm-back-opacity=96 --wm-text-padding=8"

echo "$files documents of $size, output $format, median of $runs runs"
echo "milliseconds per file: wall and processor time, and their extra over every step off"
printf '%-34s %8s %8s %10s %10s\n' "case" "wall" "cpu" "+wall" "+cpu"
time_case "every step off"
# shellcheck disable=SC2086
time_case "text, plain" "$wm_text" $text_options
# shellcheck disable=SC2086
time_case "text, anti-aliased" "$wm_text" $text_options --wm-text-antialiasing
# shellcheck disable=SC2086
time_case "text, anti-aliased, rotated 30" "$wm_text" $text_options --wm-text-antialiasing --wm-text-rotation=30
time_case "picture" "--wm-image=$work/logo.png"
time_case "picture, opacity 128, grey" "--wm-image=$work/logo.png" --wm-image-opacity=128 --wm-image-greyscale
time_case "picture, rotated 30" "--wm-image=$work/logo.png" --wm-image-rotation=30
