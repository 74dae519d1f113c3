#!/usr/bin/env bash
# Paradox engine benchmarks; see README.md. Usage: bash bench/paradox/run.sh [BUILD_DIR] [ROWS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../../build}
rows=${2:-1000000}
pxdump=$build/oracles/pxdump
work=$(mktemp -d /tmp/qv-paradox-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/table" "$work/copy"

# Elapsed seconds and peak resident memory (KiB) of a command, output discarded.
measure() {
  /usr/bin/time -f "%e %M" -o "$work/t" "$@" > /dev/null
  cat "$work/t"
}
# CPU seconds (user + system), elapsed seconds and peak memory (KiB) of a command, output discarded.
measure_cpu() {
  /usr/bin/time -f "%U %S %e %M" -o "$work/t" "$@" > /dev/null
  awk '{ printf "%.2f %s %s\n", $1 + $2, $3, $4 }' "$work/t"
}
# The best (least CPU) of three runs of the writer and of cp: "cpu elapsed KiB".
best_write=""; best_cp=""
for run in 1 2 3; do
  rm -f "$work/table/"* "$work/copy/"*
  sync
  w=$(measure_cpu "$build/bench/paradox/paradox_bench_write" "$work/table" "$rows")
  c=$(measure_cpu cp "$work/table/BENCH.DB" "$work/table/BENCH.MB" "$work/copy/")
  if [ -z "$best_write" ] || awk -v a="${w%% *}" -v b="${best_write%% *}" 'BEGIN{ exit !(a < b) }'; then best_write=$w; fi
  if [ -z "$best_cp" ] || awk -v a="${c%% *}" -v b="${best_cp%% *}" 'BEGIN{ exit !(a < b) }'; then best_cp=$c; fi
done
read -r w_cpu w_sec w_kb <<< "$best_write"
read -r cp_cpu cp_sec cp_kb <<< "$best_cp"
sync
read -r our_sec our_kb < <(measure "$build/tools/paradoxdump/paradoxdump" "$work/table/BENCH.DB")
read -r px_sec px_kb < <(measure "$pxdump" "$work/table/BENCH.DB")
sizes=$(du -k "$work/table/BENCH.DB" "$work/table/BENCH.MB" | awk '{printf "%s %s KiB; ", $2, $1}' | sed "s|$work/table/||g")

echo "rows: $rows ($sizes) load:$(uptime | sed 's/.*load average//')"
echo "write: CPU ours ${w_cpu}s, cp ${cp_cpu}s, ratio $(awk -v a="$w_cpu" -v b="$cp_cpu" 'BEGIN{ if (b < 0.01) b = 0.01; printf "%.1f", a/b }') (goal <= 4); elapsed ours ${w_sec}s (with fsync of both files), cp ${cp_sec}s (no fsync)"
echo "dump:  ours ${our_sec}s, pxdump ${px_sec}s, speed-up $(awk -v a="$px_sec" -v b="$our_sec" 'BEGIN{ if (b < 0.01) b = 0.01; printf "%.1f", a/b }') (goal >= 5)"
echo "peak memory: write $((w_kb / 1024)) MiB, dump $((our_kb / 1024)) MiB (goal <= 64), pxdump $((px_kb / 1024)) MiB"
# The two dumps must agree, or the timing compares different work.
if diff <("$build/tools/paradoxdump/paradoxdump" "$work/table/BENCH.DB" | grep -E '^(field|rec)') \
        <("$pxdump" "$work/table/BENCH.DB" | grep -E '^(field|rec)') > /dev/null; then
  echo "dumps agree"
else
  echo "DUMPS DIFFER"; exit 1
fi
