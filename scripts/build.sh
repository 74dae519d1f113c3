#!/usr/bin/env bash
# Configures and builds the project in build/. Warnings are errors under CI.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build_dir=${QV_BUILD_DIR:-$root/build}
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
generator=()
command -v ninja >/dev/null 2>&1 && [ ! -f "$build_dir/Makefile" ] && generator=(-G Ninja)
cmake -S "$root" -B "$build_dir" "${generator[@]}" -DQV_WERROR=$werror "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
