#!/usr/bin/env bash
# Builds the release program with profile-guided optimisation, in build-release/:
#   1. build-release/train: the operations benchmark, built to record which code runs how often;
#   2. its training run (both transfers through their handlers and the engines' own insert and
#      copy, 100,000 rows of a table unlike the benchmark's) writes build-release/profile;
#   3. build-release/opt: the program, tools and benchmarks, built with that profile.
# The profile is recorded again only when a source changed since the last one; otherwise this is
# an incremental build. Packages come from scripts/setup.sh. Usage: bash scripts/release.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
out=${QV_RELEASE_DIR:-$root/build-release}
profile=$out/profile
stamp=$out/opt/profile.stamp
jobs=$(nproc)
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
# No compiler cache: a cached object could carry an older profile than the one recorded now.
common=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_TESTS=OFF -DQV_PGO_DIR="$profile"
        -DCMAKE_C_COMPILER_LAUNCHER= -DCMAKE_CXX_COMPILER_LAUNCHER=)

changed() {
  [ ! -f "$stamp" ] ||
    [ -n "$(find "$root/src" "$root/bench" "$root/tools" "$root/cmake" "$root/CMakeLists.txt" -newer "$stamp" -print -quit)" ]
}

if changed; then
  echo "release: recording the profile (instrumented build and training run)"
  cmake -S "$root" -B "$out/train" "${generator[@]}" -DQV_PGO=GENERATE "${common[@]}" >/dev/null
  cmake --build "$out/train" --parallel "$jobs" --target bench_operations
  rm -rf "$profile"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  "$out/train/bench/operations/bench_operations" train "$work" 100000
  cmake -S "$root" -B "$out/opt" "${generator[@]}" -DQV_PGO=USE "${common[@]}" >/dev/null
  # Every object is compiled again with the new profile.
  cmake --build "$out/opt" --target clean
  cmake --build "$out/opt" --parallel "$jobs"
  touch "$stamp"
else
  cmake --build "$out/opt" --parallel "$jobs"
fi
echo "release: $out/opt/bin/quorvella"
