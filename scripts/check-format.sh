#!/usr/bin/env bash
# Checks that every tracked C++ source file is formatted as .clang-format says; prints the places
# that are not and exits non-zero. Usage: bash scripts/check-format.sh [files...]
# To format a file: clang-format -i FILE.
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
  mapfile -t files < <(git ls-files -- '*.h' '*.hpp' '*.cpp' '*.cc' '*.c')
fi
[ ${#files[@]} -gt 0 ] || exit 0
clang-format --dry-run -Werror "${files[@]}"
