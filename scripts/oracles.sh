#!/usr/bin/env bash
# Builds pxdump (pxlib) and installs the mdb-reader oracle into the build folder. The shared
# folder is read-only, so both are set up in build/oracles; each step is skipped when done.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
shared=${QV_SHARED_DIR:-$root/../shared}
out=${QV_BUILD_DIR:-$root/build}/oracles
mkdir -p "$out"

if [ ! -d "$shared/tools" ]; then
  echo "oracles: $shared/tools not found; oracle checks will fail" >&2
  exit 0
fi

if [ ! -x "$out/pxdump" ] || [ "$shared/tools/pxdump/pxdump.c" -nt "$out/pxdump" ]; then
  cc -std=c99 -O2 -w -o "$out/pxdump" "$shared/tools/pxdump/pxdump.c" -lpx -lm
fi

mdbr="$out/mdbreader-oracle"
if [ ! -f "$mdbr/node_modules/mdb-reader/package.json" ]; then
  mkdir -p "$mdbr"
  cp "$shared/tools/mdbreader-oracle/dump.js" "$shared/tools/mdbreader-oracle/package.json" \
     "$shared/tools/mdbreader-oracle/.npmrc" "$mdbr/"
  chmod u+w "$mdbr"/*  "$mdbr/.npmrc"
  (cd "$mdbr" && npm install --no-audit --no-fund --loglevel=error >/dev/null)
fi
