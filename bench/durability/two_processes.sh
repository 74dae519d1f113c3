#!/usr/bin/env bash
# One process writes a database (a long insert) while a second one, at random moments, opens it,
# reads it and tries to write it. The second writer must be refused with 3045 while the first
# lives; no row may be lost and every table must read at the end. Not part of the test suite;
# see README.md. Usage: bash bench/durability/two_processes.sh [BUILD_DIR] [RUNS] [ROWS]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../../build}
runs=${2:-200}
rows=${3:-60000}
jetwrite=$build/tools/jetwrite/jetwrite
jetdump=$build/tools/jetdump/jetdump
work=$(mktemp -d /tmp/qv-twoproc-XXXXXX)
trap 'rm -rf "$work"' EXIT
awk -v n="$rows" 'BEGIN { for (i = 1; i <= n; i++) printf "%d\ttext of row %d\n", i, i }' > "$work/rows.tsv"
printf '1\tsecond writer\n' > "$work/one.tsv"

count_rows() { "$jetdump" --table="$2" "$1" rows 2>/dev/null | awk 'NR > 2' | wc -l; }

faults=0; first_refused=0; refused=0; second_wrote=0; reads=0; read_failures=0
for run in $(seq 1 "$runs"); do
  db=$work/db.mdb
  rm -f "$db" "$db-journal" "$work/db.ldb"
  "$jetwrite" create-db "$db" jet4 >/dev/null
  "$jetwrite" create-table "$db" T "N LONG, S TEXT(50)" >/dev/null
  "$jetwrite" create-table "$db" U "N LONG, S TEXT(50)" >/dev/null
  "$jetwrite" insert "$db" T "$work/rows.tsv" > "$work/first.out" 2>&1 &
  first=$!
  # The second process comes at a random moment within the first one's run.
  sleep "0.$(printf '%03d' $((RANDOM % 600)))"
  if "$jetdump" "$db" schema >/dev/null 2>&1; then reads=$((reads+1)); else read_failures=$((read_failures+1)); fi
  out=$("$jetwrite" insert "$db" U "$work/one.tsv" 2>&1); second_st=$?
  if [ $second_st -eq 0 ]; then
    second_wrote=$((second_wrote+1))
  elif grep -q "error 3045" <<<"$out"; then
    refused=$((refused+1))
  else
    echo "run $run: second writer failed otherwise: $out"; faults=$((faults+1))
  fi
  wait $first; st=$?
  expected_t=$rows
  if [ $st -ne 0 ]; then
    # Started late (a loaded machine), the first writer may find the second one writing: it is
    # then refused with 3045 and writes nothing, which is right.
    if grep -q "error 3045" "$work/first.out" && [ $second_st -eq 0 ]; then
      first_refused=$((first_refused+1)); expected_t=0
    else
      echo "run $run: the first writer failed: $(cat "$work/first.out")"; faults=$((faults+1))
    fi
  fi
  n=$(count_rows "$db" T)
  [ "$n" = "$expected_t" ] || { echo "run $run: T has $n rows of $expected_t"; faults=$((faults+1)); }
  u=$(count_rows "$db" U)
  expected_u=$([ "$second_st" -eq 0 ] && grep -q "1 rows inserted" <<<"$out" && echo 1 || echo 0)
  [ "$u" = "$expected_u" ] || { echo "run $run: U has $u rows, $expected_u reported"; faults=$((faults+1)); }
  [ -e "$db-journal" ] && { echo "run $run: journal left"; faults=$((faults+1)); }
  [ -e "$work/db.ldb" ] && { echo "run $run: lock file left"; faults=$((faults+1)); }
  mdb-export "$db" T >/dev/null 2>&1 || { echo "run $run: mdb-export fails"; faults=$((faults+1)); }
done
echo "runs $runs of $rows rows: second writer refused with 3045 $refused, second writer after the first (or before it, the first refused with 3045: $first_refused) $second_wrote, reads by the second $reads (failed $read_failures), faults $faults"
[ $faults -eq 0 ]
