#!/bin/sh
# Command-line benchmarks; prints figures, asserts nothing.
#
#  1. A folder of 200 small documents converted to png in one run: the
#     whole run against the sum of the job times. The job times come from
#     the debug lines, stamped as they arrive ("Processing:" to "OK"), so
#     the product needs no timing code of its own.
#  2. The folder scan of a tree of 100,000 files (stamped between
#     "Importing..." and "Import complete"; the run is stopped there)
#     against `find` over the same tree.
#
# Usage: bench/cli_bench.sh [build folder]   (default: build, a Release build)
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
program=$(cd "${1:-$here/build}" && pwd)/quillmark
[ -x "$program" ] || { echo "no program at $program" >&2; exit 1; }
command -v convert >/dev/null || { echo "ImageMagick's convert is needed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-cli-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/runtime" "$work/config" "$work/docs" "$work/out" "$work/tree" "$work/out2"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config"

# A few different small documents, copied to 200 names.
for size in 64x48 48x64 96x72 32x32; do
  convert -size "$size" plasma:fractal -seed 7 "$work/seed-$size.psd" 2>/dev/null ||
    convert -size "$size" xc:red "$work/seed-$size.psd"
done
i=0
while [ $i -lt 200 ]; do
  for size in 64x48 48x64 96x72 32x32; do
    [ $i -lt 200 ] && cp "$work/seed-$size.psd" "$work/docs/doc$i.psd"
    i=$((i + 1))
  done
done

# Runs the program with debug output, stamps each line on arrival and
# prints the figures. With a stop pattern, ends the program on that line.
stamp() {
  python3 - "$@" <<'EOF'
import subprocess, sys, time
label, stop, args = sys.argv[1], sys.argv[2], sys.argv[3:]
start = time.perf_counter()
child = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, bufsize=1)
marks, jobs, began, ended, gaps, first = {}, [], None, None, 0.0, None
for line in child.stdout:
    now = time.perf_counter()
    if first is None:
        first = now
    line = line.rstrip("\n")
    if line.startswith("Processing: "):
        began = now
        if ended is not None:
            gaps += now - ended
    elif line in ("OK", "Not OK") and began is not None:
        jobs.append(now - began)
        began, ended = None, now
    for key in ("Importing...", "Import complete", "Files converted"):
        if line.startswith(key):
            marks[key] = now
    if stop and line.startswith(stop):
        child.terminate()
        break
child.wait()
total = time.perf_counter() - start
if label == "convert":
    job_sum = sum(jobs)
    print(f"  files converted:            {len(jobs)}")
    print(f"  whole run:                  {total * 1000:8.1f} ms")
    print(f"  sum of job times:           {job_sum * 1000:8.1f} ms")
    print(f"  overhead beyond the jobs:   {(total - job_sum) * 1000:8.1f} ms "
          f"({(total - job_sum) / job_sum * 100:.1f} % of the job time)")
    print(f"    start until the first line: {(first - start) * 1000:6.1f} ms")
    print(f"    between files:              {gaps * 1000:6.1f} ms ({gaps / job_sum * 100:.1f} %)")
    print(f"    after the last file:        {(total - (ended - start)) * 1000:6.1f} ms")
else:
    scan = marks["Import complete"] - marks["Importing..."]
    print(f"  folder scan (import):       {scan * 1000:8.1f} ms")
EOF
}

echo "1. 200 small documents to png"
# One run to warm the caches, then the measured one.
"$program" -i "$work/docs" -o "$work/out" -c png -q
stamp convert "" "$program" -i "$work/docs" -o "$work/out" -c png -d

python3 - "$program" <<'EOF'
import subprocess, sys, time
best = None
for _ in range(10):
    start = time.perf_counter()
    subprocess.run([sys.argv[1], "--version"], stdout=subprocess.DEVNULL, check=True)
    took = time.perf_counter() - start
    best = took if best is None else min(best, took)
print(f"  for comparison, --version:  {best * 1000:8.1f} ms (best of 10: loading the libraries)")
EOF

echo "2. folder scan of 100,000 files"
python3 - "$work/tree" <<'EOF'
import os, sys
root = sys.argv[1]
for d in range(100):
    folder = os.path.join(root, f"d{d:02}", f"e{d % 7}")
    os.makedirs(folder, exist_ok=True)
    for f in range(1000):
        with open(os.path.join(folder, f"f{f:04}.psd"), "wb") as out:
            out.write(b"x")
EOF
find "$work/tree" -type f >/dev/null
for round in 1 2 3; do
  stamp scan "Import complete" "$program" -i "$work/tree" -o "$work/out2" -c png
done
python3 - "$work/tree" <<'EOF'
import subprocess, sys, time
for args in (["find", sys.argv[1], "-type", "f"], ["find", sys.argv[1], "-type", "f", "-size", "+0"]):
    best = None
    for _ in range(3):
        start = time.perf_counter()
        subprocess.run(args, stdout=subprocess.DEVNULL, check=True)
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
    print(f"  {' '.join(args[:1] + ['TREE'] + args[2:]):<28}{best * 1000:8.1f} ms (best of 3)")
EOF
