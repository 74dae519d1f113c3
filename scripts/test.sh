#!/usr/bin/env bash
# Set-up, build, and every test. Usage: bash scripts/test.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build_dir=${QV_BUILD_DIR:-$root/build}
bash "$here/setup.sh"
bash "$here/build.sh"
cd "$build_dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 600
