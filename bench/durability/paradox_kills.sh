#!/usr/bin/env bash
# Paradox writes killed at random moments leave temporary files; the next write to the folder
# must remove every one of them and every table must still read. Not part of the test suite;
# see README.md. Usage: bash bench/durability/paradox_kills.sh [BUILD_DIR] [KILLS]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../../build}
kills=${2:-50}
qvsql=$build/bin/qvsql
jetwrite=$build/tools/jetwrite/jetwrite
pxdump=$build/oracles/pxdump
work=$(mktemp -d /tmp/qv-pxkill-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/px"
db=$work/src.mdb
"$jetwrite" create-db "$db" jet4 >/dev/null
"$jetwrite" create-table "$db" T "N LONG, S TEXT(200), M MEMO" >/dev/null
awk 'BEGIN { for (i = 1; i <= 150000; i++) printf "%d\trow %d of the source table\t%s\n", i, i, (i % 7 == 0 ? sprintf("%3000s", "memo") : "short") }' \
  > "$work/rows.tsv"
"$jetwrite" insert "$db" T "$work/rows.tsv" >/dev/null
cs="PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=$db;JET OLEDB:Database Password="
killed=0; left_total=0; left_max=0; faults=0
for k in $(seq 1 "$kills"); do
  "$qvsql" "$cs" "SELECT * INTO [Paradox 5.x;Database=$work/px].[K$k.db] FROM [T]" >/dev/null 2>&1 &
  pid=$!
  sleep "0.$(printf '%03d' $((RANDOM % 900)))"
  kill -9 $pid 2>/dev/null && killed=$((killed+1))
  wait $pid 2>/dev/null
  left=$(ls "$work/px" | grep -c '^~qv')
  left_total=$((left_total + left))
  [ "$left" -gt "$left_max" ] && left_max=$left
done
before=$(ls "$work/px" | grep -c '^~qv')
"$qvsql" "$cs" "SELECT * INTO [Paradox 5.x;Database=$work/px].[FINAL.db] FROM [T]" >/dev/null 2>&1 || { echo "the final write failed"; faults=$((faults+1)); }
after=$(ls "$work/px" | grep -c '^~qv')
[ "$after" = 0 ] || { echo "$after temporary files left after the next write"; faults=$((faults+1)); }
for t in "$work/px"/*.DB; do
  [ -e "$t" ] || continue
  n=$("$pxdump" "$t" 2>/dev/null | grep -c '^' || true)
  [ "$n" -gt 0 ] || { echo "$(basename "$t") does not read in pxdump"; faults=$((faults+1)); }
done
tables=$(ls "$work/px" | grep -c '\.DB$')
echo "kills $killed of $kills: temporary files seen after the kills $left_total (most at once $left_max, before the last write $before), after the last write $after; tables complete $tables; faults $faults"
[ $faults -eq 0 ]
