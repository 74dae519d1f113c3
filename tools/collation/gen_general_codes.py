#!/usr/bin/env python3
"""Builds src/engine/jet/write/index_key_blocks.cpp, the General sort order's character codes
past U+06FF, from the data files beside this script (general_v0.txt for sort version 0,
"General - Legacy", and general_v1.txt for sort version 1, Access 2010 and later).

Data file format (whitespace-separated tokens, '#' starts a comment):
  @XXXX          the next entry is the code of U+XXXX; the characters skipped are refused
  =XXXX          check: the next entry is the code of U+XXXX (catches a miscounted run)
  !XXXX-YYYY     refuse U+XXXX..U+YYYY whatever the entries say (see docs/formats/jet-writing.md)
  X              a character the order gives no weight (refused)
  S<hex>         simple: the bytes go into the key's main part
  I<hex>,<hex>   international: main-part bytes, accent-part bytes
  U<hex>         unprintable: the bytes go into the unprintable part
  P<hex>         accent modifier: the byte is added to the accent byte of the character before
  Z<hex>,<hex>,F kana: main-part bytes, accent-part bytes (may be empty) and a kana flag (F = 1
                 for the small kana, empty for the others) that goes into the key's kana part
  S<hex>+N       N simple entries, the first <hex>, each next one 1 higher, where the last
                 byte runs 02..FF and carries into the byte before it
Hex strings with an odd count of digits have a leading 0 left out.

The output lists runs of consecutive characters of one type whose codes follow each other by a
fixed step (in the same 02..FF arithmetic), which keeps regular blocks (CJK ideographs, Hangul
syllables) to a few lines.

Usage: gen_general_codes.py [--check]   (--check: fail when the checked-in file differs)
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
OUT = os.path.join(ROOT, "src", "engine", "jet", "write", "index_key_blocks.cpp")
FIRST = 0x0700
LAST = 0xFFFF
MAX_INL = 10
MAX_EXTRA = 3


def hexbytes(s, where):
    if not s:
        raise SystemExit(f"{where}: empty code")
    if len(s) % 2:
        s = "0" + s
    return bytes(int(s[i:i + 2], 16) for i in range(0, len(s), 2))


def to_num(b):
    # the last byte counts 02..FF (254 values), the bytes before it plainly
    if b[-1] < 2:
        return None
    hi = int.from_bytes(b[:-1], "big") if len(b) > 1 else 0
    return hi * 254 + (b[-1] - 2)


def from_num(n, length):
    hi, lo = divmod(n, 254)
    if length == 1:
        return bytes([lo + 2]) if hi == 0 else None
    if hi >= 256 ** (length - 1):
        return None
    return hi.to_bytes(length - 1, "big") + bytes([lo + 2])


def parse(path):
    codes = {}
    refused = []
    pos = None
    with open(path, encoding="ascii") as f:
        for lineno, line in enumerate(f, 1):
            line = line.split("#", 1)[0]
            for tok in line.split():
                where = f"{os.path.basename(path)}:{lineno}: {tok}"
                if tok[0] == "@":
                    cp = int(tok[1:], 16)
                    if pos is not None and cp < pos:
                        raise SystemExit(f"{where}: goes back (now at U+{pos:04X})")
                    pos = cp
                    continue
                if tok[0] == "=":
                    cp = int(tok[1:], 16)
                    if pos != cp:
                        raise SystemExit(f"{where}: the entry here is U+{pos:04X}")
                    continue
                if tok[0] == "!":
                    a, b = tok[1:].split("-")
                    refused.append((int(a, 16), int(b, 16)))
                    continue
                if pos is None:
                    raise SystemExit(f"{where}: entry before any @")
                if 0xD800 <= pos <= 0xDFFF:
                    raise SystemExit(f"{where}: surrogate code point U+{pos:04X}")
                kind = tok[0]
                body = tok[1:]
                if kind == "X":
                    if body:
                        raise SystemExit(f"{where}: bad entry")
                    codes[pos] = None
                    pos += 1
                elif kind == "S" and "+" in body:
                    start, count = body.split("+")
                    b = hexbytes(start, where)
                    n0 = to_num(b)
                    for i in range(int(count)):
                        v = from_num(n0 + i, len(b))
                        if v is None:
                            raise SystemExit(f"{where}: run overflows")
                        codes[pos] = ("S", v, b"")
                        pos += 1
                elif kind in "SUP":
                    v = hexbytes(body, where)
                    if kind == "P" and len(v) != 1:
                        raise SystemExit(f"{where}: a modifier is one byte")
                    codes[pos] = ("M" if kind == "P" else kind, v, b"")
                    pos += 1
                elif kind == "I":
                    a, e = body.split(",")
                    codes[pos] = ("I", hexbytes(a, where), hexbytes(e, where))
                    pos += 1
                elif kind == "Z":
                    a, e, flag = body.split(",")
                    if flag not in ("", "1"):
                        raise SystemExit(f"{where}: bad kana flag")
                    codes[pos] = ("Z" if flag == "1" else "z", hexbytes(a, where),
                                  hexbytes(e, where) if e else b"")
                    pos += 1
                else:
                    raise SystemExit(f"{where}: unknown entry type")
                if pos > LAST + 1:
                    raise SystemExit(f"{where}: past U+FFFF")
    for a, b in refused:
        for cp in range(a, b + 1):
            codes[cp] = None
    # A modifier changes the accent byte of the character before it: taken for combining marks
    # only (a modifier entry of a letter or symbol is not a trustworthy fact).
    import unicodedata
    for cp, c in codes.items():
        if c is not None and c[0] == "M" and unicodedata.category(chr(cp)) not in ("Mn", "Mc", "Me"):
            codes[cp] = None
    return codes


def check_compatibility(codes, version):
    # A compatibility ideograph or a Kangxi radical has the code of the ideograph it stands for:
    # a check that a long run of ideographs was counted right.
    import unicodedata
    checked = 0
    for cp, c in codes.items():
        if c is None or not (0x2E80 <= cp <= 0x2FDF or 0xF900 <= cp <= 0xFAFF):
            continue
        target = unicodedata.normalize("NFKC", chr(cp))
        if len(target) != 1 or ord(target) not in codes or codes[ord(target)] is None:
            continue
        if codes[ord(target)] != c:
            raise SystemExit(f"version {version}: U+{cp:04X} and U+{ord(target):04X} have different codes")
        checked += 1
    return checked


def runs(codes):
    out = []
    cur = None
    for cp in sorted(codes):
        c = codes[cp]
        if c is None:
            cur = None
            continue
        kind, inl, extra = c
        if len(inl) > MAX_INL or len(extra) > MAX_EXTRA:
            raise SystemExit(f"U+{cp:04X}: code too long")
        if cur is not None and cur["first"] + cur["count"] == cp and cur["kind"] == kind \
                and cur["extra"] == extra and len(cur["inl"]) == len(inl) and cur["count"] < 0xFFFF:
            n0 = to_num(cur["inl"])
            n = to_num(inl)
            if n0 is not None and n is not None:
                if cur["count"] == 1:
                    step = n - n0
                    if 0 <= step <= 255:
                        cur["step"] = step
                        cur["count"] = 2
                        continue
                elif n == n0 + cur["step"] * cur["count"]:
                    cur["count"] += 1
                    continue
        cur = {"first": cp, "count": 1, "kind": kind, "inl": inl, "extra": extra, "step": 0}
        out.append(cur)
    # a run's expansion must give back every code it stands for
    for r in out:
        n0 = to_num(r["inl"]) if r["count"] > 1 else None
        for i in range(r["count"]):
            v = r["inl"] if i == 0 else from_num(n0 + r["step"] * i, len(r["inl"]))
            assert v == codes[r["first"] + i][1], f"U+{r['first'] + i:04X}"
    return out


def cbytes(b):
    return "{" + ", ".join(f"0x{x:02X}" for x in b) + "}" if b else "{}"


def emit(tables):
    lines = [
        "// Generated by tools/collation/gen_general_codes.py from tools/collation/general_v0.txt and",
        "// general_v1.txt; do not edit. The General sort order's codes of characters past U+06FF as",
        "// runs: run character i has the code of the first with `step * i` added to its main-part bytes",
        "// (the last byte counting 02..FF and carrying into the byte before). Characters in no run are",
        "// refused. Facts and their checks: docs/formats/jet-writing.md, \"Characters beyond U+00FF\".",
        '#include "engine/jet/write/index_key_codes.h"',
        "",
        "namespace qv::jet::collation {",
        "",
        "namespace {",
        "",
    ]
    for version, rs in tables:
        lines.append(f"constexpr CodeRun kRunsV{version}[] = {{")
        for r in rs:
            lines.append(
                f"    {{0x{r['first']:04X}, {r['count']}, {r['step']}, '{r['kind']}', {len(r['inl'])}, "
                f"{len(r['extra'])}, {cbytes(r['inl'])}, {cbytes(r['extra'])}}},")
        lines.append("};")
        lines.append("")
    lines += [
        "}  // namespace",
        "",
        "std::span<const CodeRun> BlockRuns(int version) {",
        "  if (version == 0) return kRunsV0;",
        "  return kRunsV1;",
        "}",
        "",
        "}  // namespace qv::jet::collation",
        "",
    ]
    return "\n".join(lines)


def main():
    tables = []
    for version in (0, 1):
        codes = {}
        path = os.path.join(HERE, f"general_v{version}.txt")
        codes = parse(path)
        for cp in codes:
            if cp < FIRST:
                raise SystemExit(f"general_v{version}.txt: U+{cp:04X} is below U+{FIRST:04X}")
        checked = check_compatibility(codes, version)
        print(f"version {version}: {checked} compatibility characters agree with their ideographs",
              file=sys.stderr)
        rs = runs(codes)
        covered = sum(r["count"] for r in rs)
        print(f"version {version}: {covered} characters in {len(rs)} runs", file=sys.stderr)
        tables.append((version, rs))
    text = emit(tables)
    if "--check" in sys.argv:
        with open(OUT, encoding="ascii") as f:
            if f.read() != text:
                raise SystemExit(f"{OUT} is not what the data files give: run {sys.argv[0]}")
        return
    with open(OUT, "w", encoding="ascii") as f:
        f.write(text)


if __name__ == "__main__":
    main()
