#!/usr/bin/env bash
# The window's Input list and conversion against the command line's:
#   1. a folder import of FILES files (100 folders) into the window, from the
#      drop to the completion text (the dialog's 700 ms pause taken off),
#      against the command line's scan of the same tree ("Importing..." to
#      "Import complete" on its console);
#   2. the memory the window grows by for those rows, per 10,000 rows;
#   3. the conversion of a batch (the samples, copied COPIES times, resized
#      to 1200 x 1200) from F5 to the "Conversion complete" dialog, against
#      the command line's run of the same batch; the two sets of files are
#      compared byte for byte.
# Prints figures and asserts nothing.
#
#   bench/window_list_bench.sh [FILES] [COPIES] [SMALL]   (after ./run has built build/)
#
# With SMALL, the batch of 3 is SMALL copies of the smallest sample,
# converted as they are: the per-document cost of each face.
#
# QM_PROGRAM names another build of the program. Needs Xvfb, openbox, xdotool and the
# program's test hooks (QUILLMARK_TEST_HOOKS), through which the drop is
# made.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
program=${QM_PROGRAM:-$here/build/quillmark}
files=${1:-100000}
copies=${2:-8}
small=${3:-0}
[ -x "$program" ] || { echo "no program at $program: run ./run first" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
wm_pid=""
window_pid=""
cleanup() {
  local status=$?
  # A child ended by the signal waits with 143; that is no failure here.
  for pid in $window_pid $wm_pid $xvfb_pid; do { kill "$pid" && wait "$pid"; } 2>/dev/null || true; done
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
# A window manager, so that keys reach the window made active.
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "making $files files in 100 folders..."
per_folder=$(( (files + 99) / 100 ))
python3 - "$work/tree" "$per_folder" <<'EOF'
import os, sys
root, each = sys.argv[1], int(sys.argv[2])
for d in range(100):
    folder = os.path.join(root, f"d{d:03}")
    os.makedirs(folder)
    for f in range(each):
        with open(os.path.join(folder, f"f{f:05}.psd"), "w") as out:
            out.write("x")
EOF

mkdir -p "$work/config/Ferroval/quillmark" "$work/runtime" "$work/runtime-cli" "$work/hooks" "$work/out-scan"
chmod 700 "$work/runtime" "$work/runtime-cli"
printf '\xEF\xBB\xBF\r\n[General]\r\nCFG = 17\r\nUpdate Range = 5\r\n[Output]\r\nFormat = png\r\n[Transform]\r\nDo Image Resize = %d\r\n' $(( small > 0 ? 0 : 1 )) >"$work/config/Ferroval/quillmark/config.ini"
printf 'Image Width = 1200\r\nImage Height = 1200\r\nKeep Aspect Ratio = 0\r\n' \
  >>"$work/config/Ferroval/quillmark/config.ini"
NO_AT_BRIDGE=1 XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QUILLMARK_SITE=http://127.0.0.1:9 \
  QUILLMARK_TEST_HOOKS="$work/hooks" "$program" >/dev/null 2>&1 &
window_pid=$!
until xdotool search --onlyvisible --name '^Quillmark 2\.5$' >/dev/null 2>&1; do sleep 0.05; done
main=$(xdotool search --onlyvisible --name '^Quillmark 2\.5$' | head -n1)

hook() {
  printf '%s' "$1" >"$work/hooks/command.tmp" && mv "$work/hooks/command.tmp" "$work/hooks/command"
  until [ -f "$work/hooks/reply" ]; do sleep 0.01; done
  cat "$work/hooks/reply" && rm "$work/hooks/reply"
}
rss() { awk '/^VmRSS/ {print $2}' "/proc/$window_pid/status"; }

# 1 and 2: the folder import.
for run in 1 2 3; do
  xdotool windowactivate --sync "$main" key ctrl+n
  sleep 0.5
  before=$(rss)
  start=$(now_ms)
  hook "drop
$work/tree" >/dev/null
  end=$(now_ms)
  after=$(rss)
  echo "$((end - start - 700)) $(( (after - before) * 10000 / files ))" >>"$work/window-import"
done
for run in 1 2 3; do
  start=$(now_ms)
  XDG_RUNTIME_DIR="$work/runtime-cli" "$program" -i "$work/tree/" -o "$work/out-scan/" -c png 2>/dev/null |
    while IFS= read -r line; do
      case $line in
        Importing*) echo "start $(now_ms)" ;;
        "Import complete"*) echo "end $(now_ms)"; break ;;
      esac
    done >"$work/cli-lines" || true
  s=$(awk '/^start/ {print $2}' "$work/cli-lines")
  e=$(awk '/^end/ {print $2}' "$work/cli-lines")
  echo $((e - s)) >>"$work/cli-import"
done
echo "folder import of $files files: window $(cut -d' ' -f1 "$work/window-import" | median) ms," \
  "command line $(median <"$work/cli-import") ms (medians of 3)"
echo "window memory per 10,000 rows: $(cut -d' ' -f2 "$work/window-import" | head -n1) kB (first import)"

# 3: the conversion.
mkdir -p "$work/batch-window" "$work/batch-cli" "$work/out-cli"
resize=(--width=1200 --height=1200)
if [ "$small" -gt 0 ]; then
  copies=0
  resize=()
  for i in $(seq "$small"); do
    cp "$here/samples/more/line-art.psd" "$work/batch-window/s$i.psd"
    cp "$here/samples/more/line-art.psd" "$work/batch-cli/s$i.psd"
  done
fi
for i in $(seq "$copies"); do
  for f in "$here"/samples/*.psd "$here"/samples/more/*.psd; do
    b=$(basename "$f" .psd)
    cp "$f" "$work/batch-window/$b-$i.psd"
    cp "$f" "$work/batch-cli/$b-$i.psd"
  done
done
xdotool windowactivate --sync "$main" key ctrl+n
sleep 0.5
hook "drop
$work/batch-window" >/dev/null
for run in 1 2 3; do
  xdotool windowactivate --sync "$main"
  start=$(now_ms)
  xdotool key F5
  # The dialog is found once, then its title changes are followed by
  # xprop as the X server reports them: a loop of searches running
  # through the whole conversion would take the processors it measures.
  until dialog=$(xdotool search --onlyvisible --name '^Converting' 2>/dev/null | head -n1) && [ -n "$dialog" ] ||
    xdotool search --onlyvisible --name '^Conversion complete' >/dev/null 2>&1; do sleep 0.02; done
  if [ -n "${dialog:-}" ]; then
    while IFS= read -r title; do
      case $title in *"Conversion complete"*) break ;; esac
    done < <(xprop -spy -id "$dialog" WM_NAME 2>/dev/null)
  fi
  end=$(now_ms)
  dialog=""
  echo $((end - start)) >>"$work/window-convert"
  xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Conversion complete' | head -n1)" key Return
  sleep 0.5
  start=$(now_ms)
  XDG_RUNTIME_DIR="$work/runtime-cli" "$program" -i "$work/batch-cli/" -o "$work/out-cli/" -c png -q \
    "${resize[@]}" >/dev/null 2>&1 || true
  end=$(now_ms)
  echo $((end - start)) >>"$work/cli-convert"
done
count=$(ls "$work/batch-cli"/*.psd | wc -l)
echo "conversion of $count documents: window $(median <"$work/window-convert") ms," \
  "command line $(median <"$work/cli-convert") ms (medians of 3)"
differ=0
for f in "$work/out-cli"/*.png; do cmp -s "$f" "$work/batch-window/$(basename "$f")" || differ=$((differ + 1)); done
echo "files that differ between the window and the command line: $differ of $(ls "$work/out-cli"/*.png | wc -l)"
