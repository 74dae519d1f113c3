#!/usr/bin/env bash
# A disk that fills up during writes, then frees space and takes writes again: every file must
# open, every table read, every change reported as saved be there and nothing reported as failed
# be half there. Needs root (it mounts a small tmpfs). Not part of the test suite; see README.md.
# Usage: bash bench/durability/disk_full.sh [BUILD_DIR] [RUNS]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../../build}
runs=${2:-10}
corpus=$here/../../../shared/corpus
jetwrite=$build/tools/jetwrite/jetwrite
jetdump=$build/tools/jetdump/jetdump
qvsql=$build/bin/qvsql
work=$(mktemp -d /tmp/qv-diskfull-XXXXXX)
mnt=$work/mnt
mkdir -p "$mnt"
cleanup() { umount "$mnt" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mount -t tmpfs -o size=3m tmpfs "$mnt" || { echo "cannot mount a tmpfs (root needed)"; exit 2; }

# Rows of a table, as our reader counts them ("-" when the table does not read).
count_rows() {
  "$jetdump" --table="$2" "$1" rows 2>/dev/null | awk 'NR > 2' | wc -l
}
# The table reads in our reader and in mdbtools.
table_reads() {
  "$jetdump" --table="$2" "$1" rows >/dev/null 2>&1 || return 1
  mdb-export "$1" "$2" >/dev/null 2>&1 || return 1
}
# Gives back a random 20..400 KiB of the filler, so the next write starts with some room and
# fills the disk part-way.
free_some() { [ -e "$mnt/filler" ] && truncate -s -$(( (RANDOM % 380 + 20) * 1024 )) "$mnt/filler" 2>/dev/null; true; }
rows_tsv() {  # N rows of (number, text of ~100 bytes)
  awk -v n="$1" -v s="$2" 'BEGIN { for (i = 1; i <= n; i++) printf "%d\t%s row %d %s\n", s + i, "filler", i, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx" }'
}

fails=0; insert_full=0; copy_full=0; drop_ok=0; px_full=0; after_ok=0
for run in $(seq 1 "$runs"); do
  rm -rf "${mnt:?}"/*
  db=$mnt/db.mdb
  "$jetwrite" create-db "$db" jet4 >/dev/null
  "$jetwrite" create-table "$db" T "N LONG, S TEXT(255)" >/dev/null
  # A filler eats most of the space, leaving a random amount.
  left=$(( (RANDOM % 900 + 100) * 1024 ))
  avail=$(df --output=avail -B1 "$mnt" | tail -1)
  head -c $(( avail - left > 0 ? avail - left : 0 )) /dev/zero > "$mnt/filler" 2>/dev/null
  seed=$(( run * 7919 )); RANDOM=$seed
  saved=0
  # 1. inserts until the disk is full: what jetwrite reports inserted must be there.
  for batch in 1 2 3 4 5 6 7 8; do
    rows_tsv 2000 $(( saved )) > "$work/rows.tsv"
    out=$("$jetwrite" insert "$db" T "$work/rows.tsv" 2>"$work/err"); st=$?
    if [ $st -eq 0 ]; then saved=$(( saved + 2000 ));
    else
      grep -q "rows inserted" <<<"$out" && { echo "run $run: a failed insert reported rows: $out"; fails=$((fails+1)); }
      insert_full=$((insert_full+1)); break
    fi
  done
  n=$(count_rows "$db" T)
  [ "$n" = "$saved" ] || { echo "run $run: T has $n rows, $saved reported saved"; fails=$((fails+1)); }
  [ -e "$db-journal" ] && { echo "run $run: journal left after a failed save"; fails=$((fails+1)); }
  # 2. a copy on the (nearly) full disk: it either reports its rows and the copy is whole, or no table.
  free_some
  out=$("$jetwrite" copy "$db" T C 2>/dev/null); st=$?
  if [ $st -eq 0 ]; then
    [ "$(count_rows "$db" C)" = "$saved" ] || { echo "run $run: copy reported but C is not whole"; fails=$((fails+1)); }
  else
    copy_full=$((copy_full+1))
    "$jetdump" "$db" schema 2>/dev/null | grep -qw C && { echo "run $run: failed copy left table C"; fails=$((fails+1)); }
  fi
  # 3. a Paradox table written into the full folder: whole or absent.
  free_some
  mkdir -p "$mnt/px"
  "$qvsql" "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=$db;JET OLEDB:Database Password=" \
    "SELECT * INTO [Paradox 5.x;Database=$mnt/px].[P.db] FROM [T]" >/dev/null 2>&1 || px_full=$((px_full+1))
  if [ -e "$mnt/px/P.DB" ]; then
    [ "$("$build/tools/paradoxdump/paradoxdump" "$mnt/px/P.DB" 2>/dev/null | grep -c '^')" -gt 0 ] || { echo "run $run: P.DB unreadable"; fails=$((fails+1)); }
  fi
  ls "$mnt/px" | grep -q '^~qv' && { echo "run $run: Paradox temporary files left"; fails=$((fails+1)); }
  # 4. a drop on the (nearly) full disk: the table is gone or whole.
  free_some
  if "$jetwrite" drop "$db" T >/dev/null 2>&1; then
    drop_ok=$((drop_ok+1))
    "$jetdump" "$db" schema 2>/dev/null | grep -qw T && { echo "run $run: dropped T still listed"; fails=$((fails+1)); }
  else
    table_reads "$db" T || { echo "run $run: T unreadable after a failed drop"; fails=$((fails+1)); }
  fi
  # 5. space freed: every table reads and a write goes through.
  rm -f "$mnt/filler"
  for t in $("$jetdump" "$db" schema 2>/dev/null | awk -F'\t' '$2 == "TABLE" { print $1 }'); do
    table_reads "$db" "$t" || { echo "run $run: table $t unreadable"; fails=$((fails+1)); }
  done
  rows_tsv 100 900000 > "$work/rows.tsv"
  "$jetwrite" create-table "$db" AFTER "N LONG, S TEXT(255)" >/dev/null 2>&1 &&
    "$jetwrite" insert "$db" AFTER "$work/rows.tsv" >/dev/null 2>&1 &&
    [ "$(count_rows "$db" AFTER)" = 100 ] && after_ok=$((after_ok+1)) || { echo "run $run: no write after freeing space"; fails=$((fails+1)); }
  mdb-tables -1 "$db" >/dev/null 2>&1 || { echo "run $run: mdb-tables fails"; fails=$((fails+1)); }
done
echo "runs $runs: inserts stopped by the full disk $insert_full, copies refused $copy_full, Paradox copies refused $px_full, drops done $drop_ok, writes after freeing space $after_ok, faults $fails"
[ $fails -eq 0 ]
