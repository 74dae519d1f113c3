#!/usr/bin/env bash
# Set-up, build, and start Quorvella. Usage: bash scripts/run.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
release_dir=${QV_RELEASE_DIR:-$root/build-release}
bash "$here/setup.sh"
bash "$here/release.sh"
app="$release_dir/opt/bin/quorvella"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot open."
  echo "Start it under a virtual display instead:"
  echo "    xvfb-run -a -s '-screen 0 1280x1024x24' $app"
  exit 1
fi
exec "$app"
