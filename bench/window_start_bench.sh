#!/usr/bin/env bash
# Window start-up: the time from the process start to the main window being
# mapped, and the peak memory of the running window, with the default theme
# package beside the program and without any (built-in pictures only).
# Prints figures and asserts nothing.
#
#   bench/window_start_bench.sh [RUNS]      (after ./run has built build/)
#
# QM_PROGRAM names another build of the program (an ASan build is much
# slower and larger). Needs Xvfb and xdotool (scripts/setup installs them);
# the benchmark starts its own X server and ends it.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
program=${QM_PROGRAM:-$here/build/quillmark}
runs=${1:-5}
[ -x "$program" ] || { echo "no program at $program: run ./run first" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, numbered by the server itself.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"

# The same program without its gfx/ folder.
mkdir -p "$work/bare"
cp "$program" "$work/bare/quillmark"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# One start: prints "milliseconds-to-map peak-kB".
measure() {
  local binary=$1 run=$2
  local config="$work/config-$run" runtime="$work/runtime-$run"
  mkdir -p "$config" "$runtime" && chmod 700 "$runtime"
  local start end pid
  start=$(now_ms)
  NO_AT_BRIDGE=1 XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$runtime" QUILLMARK_SITE=http://127.0.0.1:9 \
    "$binary" >/dev/null 2>&1 &
  pid=$!
  until xdotool search --onlyvisible --name '^Quillmark 2\.5$' >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || { echo "the program ended before its window showed" >&2; return 1; }
    sleep 0.005
  done
  end=$(now_ms)
  # Let it settle (first layout, pictures drawn) before reading the peak.
  sleep 1
  local peak
  peak=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
  kill "$pid" && wait "$pid" 2>/dev/null || true
  echo "$((end - start)) $peak"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : int((a[NR / 2] + a[NR / 2 + 1]) / 2)}'; }

report() {
  local label=$1 binary=$2
  local times=() peaks=()
  for run in $(seq "$runs"); do
    read -r t p < <(measure "$binary" "$label-$run")
    times+=("$t")
    peaks+=("$p")
  done
  printf '%-22s start to mapped: median %5s ms (runs: %s)   peak memory: median %6s kB\n' "$label" \
    "$(printf '%s\n' "${times[@]}" | median)" "${times[*]}" "$(printf '%s\n' "${peaks[@]}" | median)"
}

echo "program: $program, $runs runs each, display $DISPLAY"
report "with the theme" "$program"
report "built-in pictures" "$work/bare/quillmark"
