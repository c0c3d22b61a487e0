# Shared opening of the shell benchmarks: sourced after $program and
# $magick are set. Checks both exist and makes $work (in/, out/ and state/
# for the single-instance lock), removed when the script ends.

[ -x "$program" ] || { echo "no program at $program" >&2; exit 1; }
command -v "$magick" >/dev/null || { echo "no ImageMagick convert" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/in" "$work/out" "$work/state"

# make_noisy_document <path>: a $size document, 8 bits per channel, with
# noise so that compression and filters have work.
make_noisy_document() {
  "$magick" -size "$size" gradient:'#C86432'-'#3264C8' -attenuate 0.4 +noise Uniform -depth 8 "$1"
}
