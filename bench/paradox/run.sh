#!/usr/bin/env bash
# Paradox engine benchmarks; see README.md. Usage: bash bench/paradox/run.sh [BUILD_DIR] [ROWS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../../build}
rows=${2:-1000000}
pxdump=$build/oracles/pxdump
meter=$build/bench/paradox/paradox_bench_measure
work=$(mktemp -d /tmp/qv-paradox-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/table" "$work/copy"

# "CPU elapsed KiB" of a command (CPU = user + system seconds, peak resident memory), output discarded.
measure() { "$meter" "$@"; }
# Keeps in $1 (a variable name) whichever of its value and $2 has less CPU.
keep_best() {
  local -n best=$1
  if [ -z "$best" ] || awk -v a="${2%% *}" -v b="${best%% *}" 'BEGIN{ exit !(a < b) }'; then best=$2; fi
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b < 0.001) b = 0.001; printf "%.2f", a/b }'; }

# Best (least CPU) of three runs each: the writer; cp of its two files; and, for reference, cp
# followed by an fsync of the two copies (sync FILE...), which is what the writer does.
best_write=""; best_cp=""; best_cp_sync=""
for run in 1 2 3; do
  rm -f "$work/table/"* "$work/copy/"*
  sync
  keep_best best_write "$(measure "$build/bench/paradox/paradox_bench_write" "$work/table" "$rows")"
  keep_best best_cp "$(measure cp "$work/table/BENCH.DB" "$work/table/BENCH.MB" "$work/copy/")"
  rm -f "$work/copy/"*
  sync
  keep_best best_cp_sync "$(measure sh -c 'cp "$1" "$2" "$3" && sync "$3/BENCH.DB" "$3/BENCH.MB"' sh \
                              "$work/table/BENCH.DB" "$work/table/BENCH.MB" "$work/copy")"
done
# What the benchmark program costs without rows (start-up, the row pool, an empty table).
best_empty=""
for run in 1 2 3; do
  rm -rf "$work/empty"; mkdir "$work/empty"
  keep_best best_empty "$(measure "$build/bench/paradox/paradox_bench_write" "$work/empty" 0)"
done
read -r w_cpu w_sec w_kb <<< "$best_write"
read -r empty_cpu _ _ <<< "$best_empty"
read -r cp_cpu cp_sec _ <<< "$best_cp"
read -r cps_cpu cps_sec _ <<< "$best_cp_sync"
sync
read -r our_cpu our_sec our_kb < <(measure "$build/tools/paradoxdump/paradoxdump" "$work/table/BENCH.DB")
read -r px_cpu px_sec px_kb < <(measure "$pxdump" "$work/table/BENCH.DB")
sizes=$(du -k "$work/table/BENCH.DB" "$work/table/BENCH.MB" | awk '{printf "%s %s KiB; ", $2, $1}' | sed "s|$work/table/||g")
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)

echo "rows: $rows ($sizes) build: $build (${type:-RelWithDebInfo, the default}) load:$(uptime | sed 's/.*load average//')"
echo "write: CPU ours ${w_cpu}s, cp ${cp_cpu}s, ratio $(ratio "$w_cpu" "$cp_cpu") (goal <= 4); cp + fsync of the copies ${cps_cpu}s, ratio $(ratio "$w_cpu" "$cps_cpu")"
echo "       of ours, ${empty_cpu}s without rows (start-up, building the row pool, an empty table)"
echo "       elapsed ours ${w_sec}s (with fsync of both files), cp ${cp_sec}s (no fsync), cp + fsync ${cps_sec}s"
echo "dump:  ours ${our_sec}s, pxdump ${px_sec}s, speed-up $(ratio "$px_sec" "$our_sec") (goal >= 5); in CPU ours ${our_cpu}s, pxdump ${px_cpu}s, $(ratio "$px_cpu" "$our_cpu")"
echo "peak memory: write $((w_kb / 1024)) MiB, dump $((our_kb / 1024)) MiB (goal <= 64), pxdump $((px_kb / 1024)) MiB"
# The two dumps must agree, or the timing compares different work.
if diff <("$build/tools/paradoxdump/paradoxdump" "$work/table/BENCH.DB" | grep -E '^(field|rec)') \
        <("$pxdump" "$work/table/BENCH.DB" | grep -E '^(field|rec)') > /dev/null; then
  echo "dumps agree"
else
  echo "DUMPS DIFFER"; exit 1
fi
