#!/usr/bin/env bash
# Kills overwriting transfers with SIGKILL at random moments and checks, with the independent
# readers (pxdump over pxlib for the Paradox table, mdb-export of mdbtools for the Access table),
# that after the next run's clean-up the table is there whole: the old one or the new one, every
# time, with nothing temporary left.
#
#   bash bench/operations/overwrite_kill.sh [RUNS_PER_DIRECTION] [ROWS] [BUILD_DIR]
#
# Defaults: 100 runs per direction, 100000 rows. Not part of the test suite (it takes minutes).
set -euo pipefail
runs=${1:-100}
rows=${2:-100000}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${3:-$here/../../build}
driver=$build/bench/operations/overwrite_driver
pxdump=$build/oracles/pxdump
command -v mdb-export >/dev/null || { echo "mdbtools is missing (scripts/setup.sh)"; exit 1; }
[ -x "$driver" ] && [ -x "$pxdump" ] || { echo "build $driver and $pxdump first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$driver" prepare "$work/base" "$rows"

# The whole run's length, to spread the kills over it.
cp -a "$work/base" "$work/t"
start=$(date +%s%N); "$driver" to-paradox "$work/t"; p_ns=$(( $(date +%s%N) - start ))
rm -rf "$work/t"; cp -a "$work/base" "$work/t"
start=$(date +%s%N); "$driver" to-access "$work/t"; a_ns=$(( $(date +%s%N) - start ))
rm -rf "$work/t"

# "old" or "new" for the table as the independent reader sees it, or the problem.
paradox_state() {
  local dir=$1 out records tags
  ls "$dir/p" | grep -qi '^~qv' && { echo "temporary files left: $(ls "$dir/p" | tr '\n' ' ')"; return; }
  out=$("$pxdump" "$dir/p/BIG.DB" 2>&1) || { echo "pxdump failed"; return; }
  grep -q 'errors=0' <<<"$out" || { echo "pxdump reports errors"; return; }
  records=$(awk -F'\t' '$1=="records"{print $2}' <<<"$out")
  tags=$(awk -F'\t' '$1=="rec" && $3=="\"TAG\""{print $4}' <<<"$out" | sort -u | tr -d '"' | tr '\n' ' ')
  if [ "$records" = "$rows" ] && [ "$tags" = "P " ]; then echo old
  elif [ "$records" = "$((rows + 7))" ] && [ "$tags" = "A " ]; then echo new
  else echo "records=$records tags=$tags"; fi
}
access_state() {
  local dir=$1 tables count tags
  tables=$(mdb-tables -1 "$dir/a.mdb" 2>&1) || { echo "mdb-tables failed"; return; }
  [ "$tables" = "BIG" ] || { echo "tables: $(tr '\n' ' ' <<<"$tables")"; return; }
  count=$(mdb-export -H "$dir/a.mdb" BIG | wc -l)
  tags=$(mdb-export -H "$dir/a.mdb" BIG | cut -d, -f2 | sort -u | tr -d '"' | tr '\n' ' ')
  if [ "$count" = "$((rows + 7))" ] && [ "$tags" = "A " ]; then echo old
  elif [ "$count" = "$rows" ] && [ "$tags" = "P " ]; then echo new
  else echo "rows=$count tags=$tags"; fi
}

fail=0
for direction in to-paradox to-access; do
  total_ns=$p_ns; [ "$direction" = to-access ] && total_ns=$a_ns
  old=0; new=0; bad=0
  for ((i = 1; i <= runs; i++)); do
    dir=$work/run
    rm -rf "$dir"; cp -a "$work/base" "$dir"
    # Over the whole run and a little beyond (a kill after the end finds the new table).
    delay_us=$(( (RANDOM * 32768 + RANDOM) % (total_ns * 13 / 10000 + 1) ))
    "$driver" "$direction" "$dir" 2>/dev/null &
    pid=$!
    sleep "$(awk -v us="$delay_us" 'BEGIN { printf "%.6f", us / 1000000 }')"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    "$driver" clean-up "$dir"
    if [ "$direction" = to-paradox ]; then state=$(paradox_state "$dir"); else state=$(access_state "$dir"); fi
    case $state in
      old) old=$((old + 1)) ;;
      new) new=$((new + 1)) ;;
      *) bad=$((bad + 1)); echo "$direction run $i (kill after ${delay_us} us): $state" ;;
    esac
  done
  echo "$direction: $runs runs over $((total_ns / 1000000)) ms: old table $old, new table $new, neither whole $bad"
  [ "$bad" = 0 ] || fail=1
done
exit $fail
