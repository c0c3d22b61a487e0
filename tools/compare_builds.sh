#!/usr/bin/env bash
# Converts every document of a folder with two builds of the program and
# compares the outputs byte for byte, per format. Used to show that a
# change of structure changed no output.
#
#   tools/compare_builds.sh OLD_BINARY NEW_BINARY [FORMATS...]
#
# The formats default to png jpg tiff psd; the documents are those of
# $DOCUMENTS, else ../shared/psd-corpus. Options for both runs (a mask, a
# watermark, ...) may be given in $OPTIONS. Prints one line per format and
# ends with 1 when any output differs.
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: $0 OLD_BINARY NEW_BINARY [FORMATS...]" >&2; exit 2; }
old=$(realpath "$1")
new=$(realpath "$2")
here=$(cd "$(dirname "$0")/.." && pwd)
folder=$(realpath "${DOCUMENTS:-$here/../shared/psd-corpus}")
shift 2
formats=("$@")
[ ${#formats[@]} -gt 0 ] || formats=(png jpg tiff psd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert_with() {  # binary label format
  local out="$work/$2/$3"
  mkdir -p "$out" "$work/run-$2"
  # Each build gets its own lock folder so the two never meet.
  XDG_RUNTIME_DIR="$work/run-$2" "$1" -i "$folder/" -o "$out/" -c "$3" -q ${OPTIONS:-} >/dev/null 2>&1 || true
}

status=0
for format in "${formats[@]}"; do
  convert_with "$old" old "$format"
  convert_with "$new" new "$format"
  count=$(find "$work/old/$format" -type f | wc -l)
  if diff -r -q "$work/old/$format" "$work/new/$format" >"$work/diff-$format"; then
    echo "$format: $count outputs, identical"
  else
    echo "$format: $count outputs, DIFFERENT:"
    sed 's/^/  /' "$work/diff-$format"
    status=1
  fi
done
exit $status
