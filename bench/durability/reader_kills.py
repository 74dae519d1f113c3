#!/usr/bin/env python3
"""Kills the writer at random moments of inserts, copies and drops, and reads the file left
behind with other programs before ours touches it again (so with the journal, if any, still
beside it): mdbtools (mdb-tables, mdb-export) and mdb-reader (the oracle's dump.js). Each must
read the whole file without an error, both must show the same tables and rows, and the rows of
every table must be a prefix of the rows sent (a copy: exactly the rows of its source). Then
our reader opens the file (undoing the journal) and the next step goes on from what it holds.
Not part of the test suite; see README.md.

Usage: python3 bench/durability/reader_kills.py [BUILD_DIR] [KILLS] [SEED]
  MDBREADER_DUMP: path of dump.js (default BUILD_DIR/oracles/mdbreader-oracle/dump.js).
"""
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "build")
kills_wanted = int(sys.argv[2]) if len(sys.argv) > 2 else 500
rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 2112)
jetwrite = os.path.join(build, "tools", "jetwrite", "jetwrite")
jetdump = os.path.join(build, "tools", "jetdump", "jetdump")
dumpjs = os.environ.get("MDBREADER_DUMP", os.path.join(build, "oracles", "mdbreader-oracle", "dump.js"))
for tool in (jetwrite, jetdump, dumpjs):
    if not os.path.exists(tool):
        sys.exit(f"missing {tool}")
if not shutil.which("mdb-export"):
    sys.exit("missing mdb-export (mdbtools)")

work = tempfile.mkdtemp(prefix="qv-readerkills-")
db = os.path.join(work, "db.mdb")
COLUMNS = "N LONG, S TEXT(50), M MEMO"


def memo(n):
    # Mostly short (in the row), every 9th row a long value on an LVAL page, every 97th a chain.
    if n % 97 == 0:
        return ("chain %d " % n) * 700
    if n % 9 == 0:
        return ("long %d " % n) * 120
    return "m%d" % n


def row(n):
    return [str(n), "text of row %d" % n, memo(n)]


def run(args, timeout=600):
    return subprocess.run(args, capture_output=True, text=True, timeout=timeout)


def mdbtools_view():
    """{table: [rows]} as mdbtools reads it, or an error text."""
    r = run(["mdb-tables", "-1", db])
    if r.returncode != 0 or r.stderr.strip():
        return f"mdb-tables: status {r.returncode}: {r.stderr.strip()[:300]}"
    view = {}
    for name in r.stdout.split():
        e = subprocess.run(["mdb-export", "-H", "-Q", "-d", "\t", "-R", "\x01", db, name],
                           capture_output=True, timeout=600)
        err = e.stderr.decode("utf-8", "replace").strip()
        if e.returncode != 0 or err:
            return f"mdb-export {name}: status {e.returncode}: {err[:300]}"
        text = e.stdout.decode("utf-8", "replace")
        view[name] = [line.split("\t") for line in text.split("\x01") if line != ""]
    return view


def mdbreader_view():
    r = run(["node", dumpjs, db])
    if r.returncode != 0:
        return f"mdb-reader: status {r.returncode}: {(r.stderr or r.stdout).strip()[:300]}"
    try:
        doc = json.loads(r.stdout)
    except ValueError as e:
        return f"mdb-reader: bad output: {e}"
    view = {}
    for t in doc["tables"]:
        if t.get("error"):
            return f"mdb-reader {t.get('name')}: {t['error']}"
        view[t["name"]] = [[("" if v is None else str(v)) for v in r] for r in t["rows"]]
    return view


def our_count(table):
    r = run([jetdump, "--table=" + table, db, "rows"])
    if r.returncode != 0:
        return None
    return max(0, len(r.stdout.splitlines()) - 2)


def check_prefix(view, who, expected_tables):
    """Faults of one reader's view; expected_tables: {name: (low, high)} allowed row counts."""
    faults = []
    for name, (low, high) in expected_tables.items():
        if name not in view:
            if low >= 0:
                faults.append(f"{who}: table {name} missing")
            continue
        rows = view[name]
        if not (max(low, 0) <= len(rows) <= high):
            faults.append(f"{who}: {name} has {len(rows)} rows, allowed {low}..{high}")
        # Rows come in page order (reused pages lie before older ones): the rows sent first,
        # whatever their order, each one exactly as sent.
        try:
            rows = sorted(rows, key=lambda r: int(r[0]))
        except (ValueError, IndexError):
            faults.append(f"{who}: {name} has a row without its number")
            continue
        for i, r in enumerate(rows):
            if r != row(i + 1):
                faults.append(f"{who}: {name} row {i + 1} is {str(r)[:120]}")
                break
    for name in view:
        if name not in expected_tables:
            faults.append(f"{who}: unexpected table {name}")
    return faults


def fresh_database():
    for p in (db, db + "-journal", os.path.join(work, "db.ldb")):
        if os.path.exists(p):
            os.remove(p)
    kind = rng.choice(["jet4", "jet4", "ace2010"])
    global db_kind
    db_kind = kind
    assert run([jetwrite, "create-db", db, kind]).returncode == 0
    assert run([jetwrite, "create-table", db, "T", COLUMNS]).returncode == 0


db_kind = None
fresh_database()
t_rows = 0            # rows of T on disk (as our reader counts them after recovery)
copies = {}           # copy name -> rows (each a copy of T at that moment)
serial = 0
kills = 0
finished = 0
faults = []
steps = {"insert": 0, "copy": 0, "drop": 0}
journals_seen = 0
started = time.time()
while kills < kills_wanted:
    if t_rows > 15000 or rng.random() < 0.02:
        fresh_database()
        t_rows, copies = 0, {}
    op = rng.choice(["insert", "insert", "copy", "drop"])
    if op == "drop" and not copies:
        op = "copy"
    if op == "copy" and len(copies) >= 4:
        op = "drop"
    steps[op] += 1
    expected = {"T": (t_rows, t_rows)}
    for name, n in copies.items():
        expected[name] = (n, n)
    if op == "insert":
        count = rng.randint(300, 6000)
        tsv = os.path.join(work, "rows.tsv")
        with open(tsv, "w") as f:
            for n in range(t_rows + 1, t_rows + count + 1):
                f.write("\t".join(row(n)) + "\n")
        args = [jetwrite, "insert", db, "T", tsv]
        expected["T"] = (t_rows, t_rows + count)
        delay = rng.uniform(0.0, 0.02 + count / 6000.0 * 0.25)
    elif op == "copy":
        serial += 1
        target = f"C{serial}"
        args = [jetwrite, "copy", db, "T", target]
        expected[target] = (-1, t_rows)  # absent, or whole: checked below
        delay = rng.uniform(0.0, 0.04 + t_rows / 15000.0 * 0.12)
    else:
        target = rng.choice(sorted(copies))
        args = [jetwrite, "drop", db, target]
        expected[target] = (-1, copies[target])
        delay = rng.uniform(0.0, 0.08)
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    time.sleep(delay)
    killed = proc.poll() is None
    if killed:
        proc.send_signal(signal.SIGKILL)
    proc.wait()
    if killed:
        kills += 1
    else:
        finished += 1
        if proc.returncode != 0:
            faults.append(f"step {op} failed on its own: {proc.stderr.read()[:300]}")
    if os.path.exists(db + "-journal"):
        journals_seen += 1
    # The other programs read the file as the kill left it.
    here_faults = []
    views = {}
    for who, get in (("mdbtools", mdbtools_view), ("mdb-reader", mdbreader_view)):
        v = get()
        if isinstance(v, str):
            here_faults.append(v)
            continue
        views[who] = v
        here_faults += check_prefix(v, who, expected)
        # A copy is there whole (as many rows as its source) or not at all.
        if op == "copy" and target in v and len(v[target]) != t_rows:
            here_faults.append(f"{who}: copy {target} has {len(v[target])} of {t_rows} rows")
        if op == "drop" and target in v and len(v[target]) != copies[target]:
            here_faults.append(f"{who}: dropped {target} has {len(v[target])} of {copies[target]} rows")
    if len(views) == 2:
        a, b = views["mdbtools"], views["mdb-reader"]
        if sorted(a) != sorted(b) or any(len(a[k]) != len(b[k]) for k in a):
            here_faults.append("the readers disagree: "
                               + str({k: len(v) for k, v in a.items()}) + " / " + str({k: len(v) for k, v in b.items()}))
    for f in here_faults:
        faults.append(f"kill {kills} ({op}, {'killed' if killed else 'finished'}, {db_kind}): {f}")
    if here_faults:
        keep = os.path.join(tempfile.gettempdir(), f"qv-readerkills-fault-{len(faults)}")
        shutil.copytree(work, keep, dirs_exist_ok=True)
        print("fault:", here_faults[0], "-> files kept in", keep, flush=True)
    # Our program now opens the file (undoing the journal) and the next step goes on from it.
    n = our_count("T")
    if n is None:
        faults.append(f"kill {kills}: our reader cannot read T after recovery")
        fresh_database()
        t_rows, copies = 0, {}
        continue
    t_rows = n
    if op == "copy":
        c = our_count(target)
        if c is not None:
            copies[target] = c
    elif op == "drop":
        if our_count(target) is None:
            del copies[target]
    if kills and kills % 25 == 0 and killed:
        print(f"{kills} kills, {finished} finished, {len(faults)} faults, {time.time() - started:.0f} s", flush=True)

shutil.rmtree(work, ignore_errors=True)
print(f"kills {kills} (steps finished before their kill {finished}; inserts {steps['insert']}, copies {steps['copy']}, "
      f"drops {steps['drop']}); kills that left a journal {journals_seen}; faults {len(faults)}; "
      f"{time.time() - started:.0f} s")
for f in faults[:40]:
    print("  " + f)
sys.exit(1 if faults else 0)
