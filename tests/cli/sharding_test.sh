#!/usr/bin/env bash
# The README's recipe for spreading a list over machines, run on this one:
# a list cut into four shards with split, one run per shard through GNU
# parallel's ssh login file (":" is the local machine), each shard into an
# output folder of its own. Together the shards must write exactly the
# files one run over the whole list writes, byte for byte.
#
#   sharding_test.sh PROGRAM SOURCE_DIR
set -euo pipefail
program=$1
source=$2
command -v parallel >/dev/null || { echo "GNU parallel is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/psd" "$work/one" "$work/run" "$work/shards" "$work/png"
export XDG_RUNTIME_DIR="$work/run"
# Twenty documents of four kinds (colour, alpha, 16 bits, grey).
for i in 1 2 3 4 5; do
  for sample in "$source"/samples/*.psd; do cp "$sample" "$work/psd/$i-$(basename "$sample")"; done
done
find "$work/psd" -name '*.psd' | sort >"$work/all.txt"
count=$(wc -l <"$work/all.txt")

"$program" -q -i "$work/all.txt" -o "$work/one/" -c png

split -n r/4 -d --additional-suffix=.txt "$work/all.txt" "$work/shards/shard-"
for s in "$work"/shards/shard-*.txt; do mkdir -p "$work/png/$(basename "$s" .txt)"; done
echo "1/:" >"$work/hosts.txt"
parallel --sshloginfile "$work/hosts.txt" --joblog "$work/shards.log" \
  "XDG_RUNTIME_DIR=$work/run '$program' -q -i {} -o $work/png/{/.}/ -c png" ::: "$work"/shards/shard-*.txt

# Every shard ended with 0, and the joblog says so too.
failed=$(awk 'NR > 1 && $7 != 0' "$work/shards.log" | wc -l)
[ "$failed" -eq 0 ] || { echo "shards failed:"; cat "$work/shards.log"; exit 1; }
[ "$(find "$work/one" -type f | wc -l)" -eq "$count" ] || { echo "one run wrote $(find "$work/one" -type f | wc -l) of $count"; exit 1; }
[ "$(find "$work/png" -type f | wc -l)" -eq "$count" ] || { echo "the shards wrote $(find "$work/png" -type f | wc -l) of $count"; exit 1; }
for output in "$work"/png/shard-*/*.png; do
  cmp "$output" "$work/one/$(basename "$output")" || exit 1
done
echo "4 shards wrote the $count files of one run"
