#!/usr/bin/env bash
# The tools report as saved only what is on disk. A file size limit (ulimit -f, with SIGXFSZ
# ignored so writes fail with EFBIG) makes the saves fail part-way through an insert, a copy
# and a run of qvsql statements. Usage: save_failure_test.sh JETWRITE JETDUMP QVSQL
set -uo pipefail
jetwrite=$1 jetdump=$2 qvsql=$3
work=$(mktemp -d /tmp/qv-savefail-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }
rows() { "$jetdump" --table="$2" "$1" rows | awk 'NR > 2' | wc -l; }
# Room for about 100 KiB more than the file has now.
limited() { local kb=$(( $(stat -c %s db.mdb) / 1024 + 100 )); (trap '' XFSZ; ulimit -f $kb; "$@"); }

"$jetwrite" create-db db.mdb jet4 >/dev/null || fail "create-db"
"$jetwrite" create-table db.mdb T "N LONG, S TEXT(200)" >/dev/null || fail "create-table"
awk 'BEGIN { for (i = 1; i <= 20000; i++) printf "%d\ttext of row %d, long enough to fill pages quickly............\n", i, i }' > rows.tsv
head -3000 rows.tsv > first.tsv
"$jetwrite" insert db.mdb T first.tsv > /dev/null || fail "first insert"

# An insert that cannot be saved: no "rows inserted", exit 2, one error line, and the rows
# it says were saved before the failure are exactly the table's.
limited "$jetwrite" insert db.mdb T rows.tsv > out.txt 2> err.txt; st=$?
[ $st -eq 2 ] || fail "insert exit status $st"
grep -q "rows inserted" out.txt && fail "a failed insert reported rows: $(cat out.txt)"
grep -q "error 3026" err.txt || fail "no disk-full error: $(cat err.txt)"
[ "$(grep -c "^jetwrite: error" err.txt)" = 1 ] || fail "more than one error line"
saved=$(sed -n 's/^jetwrite: \([0-9]*\) rows* of this run saved before line.*/\1/p' err.txt)
[ -n "$saved" ] || fail "no count of saved rows: $(cat err.txt)"
[ "$(rows db.mdb T)" = $((3000 + saved)) ] || fail "T has $(rows db.mdb T) rows, 3000 + $saved reported saved"
[ -e db.mdb-journal ] && fail "journal left"
mdb-export db.mdb T > /dev/null 2>&1 || fail "mdb-export cannot read T"

# A copy that cannot be saved: reported failed, and no new table.
limited "$jetwrite" copy db.mdb T C > out.txt 2>&1 && fail "a copy past the limit succeeded: $(cat out.txt)"
grep -q "copied" out.txt && fail "a failed copy reported rows"
"$jetdump" db.mdb schema | grep -qw C && fail "a failed copy left table C"

# qvsql: a failed save (during the run or at the close) is reported once; exit 1.
awk 'BEGIN { for (i = 1; i <= 3000; i++) printf "INSERT INTO T VALUES (%d, %c%s%c)\n", 900000 + i, 39, "qvsql row ................................................................", 39 }' > inserts.sql
before=$(rows db.mdb T)
limited "$qvsql" "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=db.mdb;JET OLEDB:Database Password=" < inserts.sql > out.txt 2> err.txt; st=$?
[ $st -eq 1 ] || fail "qvsql exit status $st"
[ "$(grep -c "^error" err.txt)" = 1 ] || fail "qvsql printed $(grep -c "^error" err.txt) errors"

# Space again: every table reads and writes go through.
"$jetwrite" insert db.mdb T rows.tsv > out.txt 2>&1 || fail "insert after the limit: $(cat out.txt)"
after=$(rows db.mdb T)
[ "$after" -ge $((before + 20000)) ] || fail "T has $after rows after the last insert"
mdb-export db.mdb T > /dev/null 2>&1 || fail "mdb-export cannot read T at the end"
echo "ok: $saved rows saved before the insert failed"
