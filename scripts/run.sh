#!/usr/bin/env bash
# Builds Quorvella and starts it: a plain Release build, in build-run/, of the two programs and
# nothing else (no tests, benchmarks or oracles). Installs missing build packages first.
# The profile-guided build for packagers is scripts/release.sh. Usage: bash scripts/run.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
out=${QV_RUN_DIR:-$root/build-run}
bash "$here/setup.sh" --program
generator=()
command -v ninja >/dev/null 2>&1 && [ ! -f "$out/Makefile" ] && generator=(-G Ninja)
mkdir -p "$out"
log="$out/build.log"
echo "run: building the program in $out (log: $log)"
if ! { cmake -S "$root" -B "$out" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF &&
       cmake --build "$out" --parallel "$(nproc)" --target quorvella quorvella-cli; } >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "run: the build failed; the whole log is $log" >&2
  exit 1
fi
app="$out/bin/quorvella"
echo "run: built $app and $out/bin/quorvella-cli"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot open."
  echo "It can start under a virtual display, where nobody sees it and only automation can reach it:"
  echo "    xvfb-run -a -s '-screen 0 1280x1024x24' $app"
  echo "The command-line program needs no display: $out/bin/quorvella-cli --help"
  exit 1
fi
exec "$app"
