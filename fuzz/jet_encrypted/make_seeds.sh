#!/usr/bin/env bash
# Seeds for fuzz_jet_encrypted from the corpus' password-protected and encrypted files
# (passwords.tsv): each seed is the password's length (one byte), the password and the file cut
# to its first LIMIT bytes (the header, the catalog and the first tables' pages), so that an
# input stays small enough for many runs a second. Usage: make_seeds.sh OUT_DIR [LIMIT]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$1
limit=${2:-196608}
corpus=$here/../../../shared/corpus/access
mkdir -p "$out"
while IFS=$'\t' read -r path password _; do
  case "$path" in '#'*|'') continue ;; esac
  [ -f "$corpus/$path" ] || continue
  name=$(basename "$path")
  {
    printf "\\$(printf '%03o' "${#password}")"
    printf '%s' "$password"
    head -c "$limit" "$corpus/$path"
  } > "$out/$name.seed"
done < "$corpus/passwords.tsv"
ls "$out" | wc -l
