#!/usr/bin/env bash
# How faithfully each output format holds the documents, as ImageMagick sees
# them: converts every document of a folder to each format at Auto depth,
# reads each output back with ImageMagick and compares it with ImageMagick's
# own rendering of the document (its merged image), both laid on white as a
# viewer shows them: an output that lost its alpha to black shows, colours
# under clear pixels do not. Prints per format the count of outputs, the
# share at or above 35 dB and 22 dB, the median PSNR and the three worst
# documents. Figures, not a test: lossy formats and documents ImageMagick
# renders otherwise lower them.
#
#   tools/corpus_fidelity.sh BINARY [FORMATS...]
#
# The documents are those of $DOCUMENTS, else ../shared/psd-corpus; the
# outputs stay in $KEEP when it is set.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 BINARY [FORMATS...]" >&2; exit 2; }
binary=$(realpath "$1")
shift
here=$(cd "$(dirname "$0")/.." && pwd)
folder=$(realpath "${DOCUMENTS:-$here/../shared/psd-corpus}")
formats=("$@")
[ ${#formats[@]} -gt 0 ] || formats=(bmp dds exr gif hdr ico j2k jng jp2 jpg jxr pbm pcx pfm pgm png ppm psd tga tiff wbmp webp xpm)
work=${KEEP:-$(mktemp -d)}
[ -n "${KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
mkdir -p "$work/reference" "$work/run"

# ImageMagick's rendering of each document, on white.
while IFS= read -r -d '' document; do
  name=${document#"$folder"/}
  name=${name%.psd}
  convert "$document[0]" -colorspace sRGB -background white -alpha remove -alpha off \
    "$work/reference/${name//\//_}.png" 2>/dev/null || true
done < <(find "$folder" -name '*.psd' -print0 | sort -z)

for format in "${formats[@]}"; do
  out="$work/$format"
  mkdir -p "$out"
  XDG_RUNTIME_DIR="$work/run" "$binary" -q -i "$folder/" -o "$out/" -c "$format" >/dev/null 2>&1 || true
  # Size and geometry as ImageMagick's rendering; the icon cap and the
  # JPEG 2000 minimum change the size, so those compare after resizing.
  while IFS= read -r -d '' output; do
    relative=${output#"$out"/}
    relative=${relative%.*}
    reference="$work/reference/${relative//\//_}.png"
    [ -f "$reference" ] || continue
    read_as=()
    # A floatmap states no transfer curve; it holds linear light, like the
    # other float formats ImageMagick already takes as linear.
    [ "$format" = pfm ] && read_as=(-set colorspace RGB)
    size=$(identify -format '%wx%h' "$reference" 2>/dev/null)
    psnr=$(convert "$output[0]" "${read_as[@]}" -colorspace sRGB -background white -alpha remove -alpha off \
      -resize "$size!" -depth 8 \
      \( "$reference" -depth 8 \) -metric PSNR -compare -format '%[distortion]' info: 2>/dev/null ||
      echo unreadable)
    printf '%s %s\n' "$psnr" "$relative"
  done < <(find "$out" -type f ! -name '.*' -print0) >"$work/$format.psnr"
  awk -v format="$format" '
    { n++; v = ($1 == "inf" || $1 == "0") ? 999 : ($1 == "unreadable" ? -1 : $1 + 0); values[n] = v; names[n] = $2
      if (v >= 35) good++; if (v >= 22) fair++ }
    END {
      if (n == 0) { printf "%-5s no outputs\n", format; exit }
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (values[j] < values[i]) {
        t = values[i]; values[i] = values[j]; values[j] = t; t = names[i]; names[i] = names[j]; names[j] = t }
      median = values[int((n + 1) / 2)]
      worst = ""; for (i = 1; i <= 3 && i <= n; i++) worst = worst sprintf(" %s (%s)", names[i], values[i] == 999 ? "inf" : values[i])
      printf "%-5s %3d outputs  >=35 dB %5.1f%%  >=22 dB %5.1f%%  median %s  worst:%s\n",
        format, n, 100 * good / n, 100 * fair / n, median == 999 ? "inf" : median, worst
    }' "$work/$format.psnr"
done
