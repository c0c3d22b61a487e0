#!/usr/bin/env bash
# The document reader benchmark: what reading the document's own structure
# before the library's reader costs, and how long composing takes.
#   (a) the job on documents that carry a merged image (the repository's
#       samples and, when the corpus is there, a set of its documents), to
#       png, with this build against an older quillmark (QM_BASELINE, the
#       path of its program; skipped without it);
#   (b) loading a 4000 x 3000 document of ten partly transparent layers in
#       several blend modes, saved without a merged image, so that every
#       pixel goes through the compositor (made by document_check layered);
#   (c) the same size with layer effects (drop shadow, stroke, colour
#       overlay) and adjustment layers (levels, curves, hue/saturation,
#       exposure) among ten layers (made by bench/make_effects_document.py).
# Each figure is the median wall time of QM_BENCH_RUNS runs (default 5),
# after one run not counted. It prints figures; it is not a test.
#
#   bench/document_bench.sh     (after building build/ with -DQM_TOOLS=ON)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=${QM_PROGRAM:-$top/build/quillmark}
check=${QM_DOCUMENT_CHECK:-$top/build/tools/document_check}
baseline=${QM_BASELINE:-}
corpus=${QM_CORPUS:-$top/../shared/psd-corpus}
runs=${QM_BENCH_RUNS:-5}
[ -x "$program" ] || { echo "no program at $program" >&2; exit 1; }
[ -x "$check" ] || { echo "no document_check at $check (configure with -DQM_TOOLS=ON)" >&2; exit 1; }

work=$(mktemp -d /tmp/quillmark-documents.XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$work/in" "$work/out"

# Documents with a real merged image: the samples, and corpus documents of
# every colour mode and depth that have one (the larger ones included).
cp "$top"/samples/*.psd "$work/in/"
if [ -d "$corpus" ]; then
  for name in colormodes/4x4_8bit_rgb colormodes/4x4_8bit_rgba colormodes/4x4_8bit_cmyk colormodes/4x4_8bit_grayscale \
    colormodes/4x4_8bit_index_color colormodes/4x4_8bit_lab 16bit5x5 32bit5x5 mask masks patterns text stroke \
    clipping-mask blend-modes/rgb-blend-modes layers/curves third-party-psds/cactus_top history layer_comps; do
    [ -f "$corpus/$name.psd" ] && cp "$corpus/$name.psd" "$work/in/$(echo "$name" | tr / _).psd"
  done
fi
documents=$(find "$work/in" -name '*.psd' | wc -l)
bytes=$(du -sb "$work/in" | cut -f1)

# median <command...>: the median wall time in seconds over $runs runs.
median() {
  local times=() start end
  "$@" >/dev/null 2>&1 || true
  for _ in $(seq "$runs"); do
    rm -rf "$work/out" && mkdir "$work/out"
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.3f", t[int((NR + 1) / 2)] }'
}

job() { "$1" -q -i "$work/in" -o "$work/out" -c png; }

echo "documents with a merged image: $documents files, $((bytes / 1024)) KB, to png"
new=$(median job "$program")
echo "  this build:     ${new} s"
if [ -n "$baseline" ] && [ -x "$baseline" ]; then
  old=$(median job "$baseline")
  echo "  baseline build: ${old} s   (this / baseline: $(awk -v a="$new" -v b="$old" 'BEGIN { printf "%.2f", a / b }'))"
else
  echo "  baseline build: skipped (set QM_BASELINE to another build's quillmark)"
fi

"$check" layered "$work/layered.psd" 4000 3000 10
echo "4000 x 3000 document of 10 layers without a merged image ($(($(stat -c %s "$work/layered.psd") / 1024 / 1024)) MB)"
echo "  load (read layers and compose): $(median "$check" load "$work/layered.psd") s"
rm -f "$work/in"/*.psd
cp "$work/layered.psd" "$work/in/"
echo "  job to png:                     $(median job "$program") s"

python3 "$top/bench/make_effects_document.py" "$work/effects.psd" 4000 3000 >/dev/null
echo "4000 x 3000 document of 10 layers with effects and adjustments, without a merged image"
echo "  load (read layers and compose): $(median "$check" load "$work/effects.psd") s"
rm -f "$work/in"/*.psd
cp "$work/effects.psd" "$work/in/"
echo "  job to png:                     $(median job "$program") s"
