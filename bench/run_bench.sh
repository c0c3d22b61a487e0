#!/usr/bin/env bash
# The conversion benchmark: large generated documents (4000 x 3000; 8 and 16
# bits per channel, with and without alpha) to jpg, png and tiff
#   - through the conversion job, every step off (command-line defaults),
#   - through a bare FreeImage load-and-save of the same file (the floor),
#   - through the floor plus the conversions the job prescribes for the file
#     (tone mapping of 16-bit documents, flattening where alpha cannot be
#     kept, the Auto bit depth), done by the job's own steps ("steps"),
#   - through ImageMagick's convert with matching quality,
# each in a process of its own, timed and with its peak memory. It prints
# figures; it is not a test.
#
#   bench/run_bench.sh            (QM_BENCH_RUNS=3, QM_BENCH_DIR=a temporary folder)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QM_BENCH_BUILD:-$top/build-bench}
runs=${QM_BENCH_RUNS:-3}
work=${QM_BENCH_DIR:-}
if [ -z "$work" ]; then
  work=$(mktemp -d /tmp/quillmark-bench.XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/docs" "$work/out"

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQM_TOOLS=ON >/dev/null
cmake --build "$build" --target convert_bench -j"$(nproc)" >/dev/null
bench=$build/bench/convert_bench
[ -f "$work/docs/rgba16.psd" ] || "$bench" generate "$work/docs" >/dev/null

# measure <command...>: over $runs runs, the best wall time (s), the highest
# peak resident size (KB) and the best time the program reports for its own
# work (ms; the first number it prints, or 0), as "seconds kilobytes ms";
# "failed" when a run fails.
measure() {
  local best="" peak=0 inner="" seconds kilobytes own
  for _ in $(seq "$runs"); do
    rm -f "$work"/out/*
    if ! /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >"$work/stdout.txt" 2>"$work/err.txt"; then
      echo "failed"
      return
    fi
    read -r seconds kilobytes < <(tail -n 1 "$work/time.txt")
    own=$(awk 'NR == 1 { print $1 + 0 }' "$work/stdout.txt")
    own=${own:-0}
    if [ -z "$best" ] || awk "BEGIN{exit !($seconds < $best)}"; then best=$seconds; fi
    if [ -z "$inner" ] || awk "BEGIN{exit !($own < $inner)}"; then inner=$own; fi
    if [ "$kilobytes" -gt "$peak" ]; then peak=$kilobytes; fi
  done
  echo "$best $peak $inner"
}

read -r _ idle _ < <(measure "$bench" idle)
echo "Quillmark conversion benchmark: best of $runs runs; times in seconds: wall time of the process, the"
echo "ratios from the programs' own timing of load-to-saved (ms precision); memory in MB: peak resident"
echo "size above the idle process (${idle} KB); 'copy' is one full-size copy of the loaded image"
for ext in jpg png tiff; do echo "save flags of the job for $ext: $("$bench" flags "$ext")"; done
printf '\n%-8s %-4s %7s %7s %7s %7s %7s %7s | %7s %7s %7s %7s %7s %8s\n' \
  document ext job floor steps magick job/flr job/stp jobMB floorMB stepsMB magickMB copyMB job/copy

for doc in rgb8 rgba8 rgb16 rgba16; do
  psd=$work/docs/$doc.psd
  read -r _ _ _ copyBytes < <("$bench" info "$psd")
  copy=$(awk "BEGIN{printf \"%.0f\", $copyBytes / 1048576}")
  for ext in jpg png tiff; do
    case $ext in
      jpg) magick=(-background white -alpha remove -quality 95 -sampling-factor 1x1) ;;
      png) magick=(-define png:compression-level=0) ;;
      tiff) magick=(-background white -alpha remove -compress none) ;;
    esac
    job=$(measure "$bench" job "$psd" "$ext" "$work/out/")
    floor=$(measure "$bench" floor "$psd" "$ext" "$work/out/floor.$ext")
    steps=$(measure "$bench" steps "$psd" "$ext" "$work/out/steps.$ext")
    im=$(measure convert "$psd[0]" "${magick[@]}" "$work/out/magick.$ext")
    awk -v doc="$doc" -v ext="$ext" -v job="$job" -v floor="$floor" -v steps="$steps" -v im="$im" \
        -v idle="$idle" -v copy="$copy" '
      function t(x) { split(x, f, " "); return f[1] }
      function own(x) { split(x, f, " "); return f[3] }
      function m(x) { split(x, f, " "); return (f[2] - idle) / 1024 }
      BEGIN {
        if (job == "failed" || floor == "failed" || steps == "failed" || im == "failed") {
          printf "%-8s %-4s  job: %s  floor: %s  steps: %s  magick: %s\n", doc, ext, job, floor, steps, im; exit
        }
        printf "%-8s %-4s %7.2f %7.2f %7.2f %7.2f %7.2f %7.2f | %7.0f %7.0f %7.0f %7.0f %7.0f %8.2f\n", doc, ext,
               t(job), t(floor), t(steps), t(im), own(job) / own(floor), own(job) / own(steps), m(job), m(floor), m(steps),
               m(im), copy, m(job) / copy
      }'
  done
done
