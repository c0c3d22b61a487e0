#!/usr/bin/env bash
# The worker benchmark: how a batch scales with worker processes, and what
# the isolation costs.
#   - six 4000 x 3000 documents (8-bit RGB) to jpg with --jobs=1 and with one
#     worker per core, against the bare FreeImage load-and-save of the same
#     six files one after another (the floor);
#   - 200 tiny documents to png with one worker, against a build that
#     converts in-process (QM_BASELINE=path of such a quillmark; skipped
#     without it);
#   - the peak memory of the whole process tree (supervisor and workers),
#     sampled every 50 ms.
# Each figure is the best of QM_BENCH_RUNS runs (default 3). It prints
# figures; it is not a test.
#
#   bench/jobs_bench.sh          (after ./run has built build/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=$top/build/quillmark
build=${QM_BENCH_BUILD:-$top/build-bench}
runs=${QM_BENCH_RUNS:-3}
cores=$(nproc)
work=$(mktemp -d /tmp/quillmark-jobs.XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$work/big" "$work/tiny" "$work/out" "$work/gen"

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQM_TOOLS=ON >/dev/null
cmake --build "$build" --target convert_bench make_samples -j"$cores" >/dev/null
bench=$build/bench/convert_bench
"$bench" generate "$work/gen" >/dev/null
for i in 1 2 3 4 5 6; do cp "$work/gen/rgb8.psd" "$work/big/doc$i.psd"; done
for i in $(seq 200); do cp "$top/samples/grey-ramp.psd" "$work/tiny/t$i.psd"; done

# The summed resident size (KB) of a process and every process whose
# command line names it as a worker's parent, sampled until it ends.
peak_tree() {
  local pid=$1 peak=0 total rss
  while kill -0 "$pid" 2>/dev/null; do
    total=0
    for status in /proc/"$pid"/status $(grep -l -- "--conversion-worker" /proc/[0-9]*/cmdline 2>/dev/null | sed 's/cmdline$/status/'); do
      rss=$(awk '/^VmRSS:/ { print $2 }' "$status" 2>/dev/null || true)
      total=$((total + ${rss:-0}))
    done
    [ "$total" -gt "$peak" ] && peak=$total
    sleep 0.05
  done
  echo "$peak"
}

# best <command...>: the best wall time over $runs runs, and the highest
# peak of the process tree, as "seconds kilobytes".
best() {
  local bestTime="" bestPeak=0 start end peak
  for _ in $(seq "$runs"); do
    rm -rf "$work/out" && mkdir "$work/out"
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 &
    local pid=$!
    peak=$(peak_tree "$pid")
    wait "$pid" || true
    end=$(date +%s.%N)
    local took
    took=$(awk "BEGIN{print $end - $start}")
    if [ -z "$bestTime" ] || awk "BEGIN{exit !($took < $bestTime)}"; then bestTime=$took; fi
    [ "$peak" -gt "$bestPeak" ] && bestPeak=$peak
  done
  echo "$bestTime $bestPeak"
}

floor_all() {
  for doc in "$work"/big/*.psd; do "$bench" floor "$doc" jpg "$work/out/$(basename "$doc" .psd).jpg"; done
}

echo "Quillmark worker benchmark: best of $runs runs on $cores cores; seconds of wall time, MB of peak memory"
echo "(the supervisor and its workers together)"
read -r t1 m1 < <(best "$program" -q -i "$work/big" -o "$work/out" -c jpg --jobs=1)
read -r tn mn < <(best "$program" -q -i "$work/big" -o "$work/out" -c jpg --jobs="$cores")
read -r tf mf < <(best floor_all)
awk -v t1="$t1" -v tn="$tn" -v tf="$tf" -v m1="$m1" -v mn="$mn" -v n="$cores" 'BEGIN {
  printf "six 4000x3000 to jpg: 1 worker %.2f s (%.0f MB), %d workers %.2f s (%.0f MB), floor %.2f s\n",
         t1, m1 / 1024, n, tn, mn / 1024, tf
  printf "  speed-up %.2f (target %.2f), 1 worker / floor %.2f\n", t1 / tn, 0.9 * n, t1 / tf }'

read -r ti mi < <(best "$program" -q -i "$work/tiny" -o "$work/out" -c png --jobs=1)
if [ -n "${QM_BASELINE:-}" ]; then
  read -r tb mb < <(best "$QM_BASELINE" -q -i "$work/tiny" -o "$work/out" -c png)
  awk -v ti="$ti" -v tb="$tb" 'BEGIN {
    printf "200 tiny to png: one isolated worker %.2f s, in-process %.2f s: +%.1f %%\n", ti, tb, (ti / tb - 1) * 100 }'
else
  awk -v ti="$ti" 'BEGIN { printf "200 tiny to png: one isolated worker %.2f s (QM_BASELINE not set)\n", ti }'
fi
