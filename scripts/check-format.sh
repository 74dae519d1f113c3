#!/usr/bin/env bash
# Checks that every tracked C++ source file is formatted as .clang-format says; prints the places
# that are not and exits non-zero. Usage: bash scripts/check-format.sh [files...]
# To format a file: clang-format -i FILE.
# Left out: files that are data laid out by position (the empty-database descriptions, the
# collation tables, and the table tools/collation/gen_general_codes.py generates), whose columns
# say more than the formatter's line breaks would.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"
if ! command -v clang-format >/dev/null 2>&1; then
  echo "check-format: clang-format is not installed (scripts/setup.sh installs it)" >&2
  exit 2
fi
if [ $# -gt 0 ]; then
  files=("$@")
else
  # The tracked files of a git checkout; every source file of an unpacked source tree.
  list_sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
      git ls-files -- '*.h' '*.hpp' '*.cpp' '*.cc' '*.c'
    else
      find src tests tools bench fuzz -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' -o -name '*.c' \) | sort
    fi
  }
  mapfile -t files < <(list_sources |
    grep -v -E '^src/engine/jet/write/(empty_database|index_key_scripts|index_key_blocks)\.cpp$')
fi
[ ${#files[@]} -gt 0 ] || exit 0
clang-format --dry-run -Werror "${files[@]}"
