#!/usr/bin/env bash
# Installs whatever the build and the tests need and is missing, then prepares the oracle tools.
# Idempotent and quick when nothing is missing. Debian 12; needs root (or sudo) only to install.
# With --program: only what building the program needs (no test packages, no oracles).
set -euo pipefail
program_only=false
[ "${1:-}" = "--program" ] && program_only=true
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build_dir=${QV_BUILD_DIR:-$root/build}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "setup: installing packages needs root; run this script as root or install sudo" >&2
    exit 1
  fi
}

lists=("$here"/packages.d/*.txt)
if $program_only; then
  lists=()
  for list in "$here"/packages.d/*.txt; do
    case "$(basename "$list")" in tests*|oracles*) ;; *) lists+=("$list") ;; esac
  done
fi
wanted=$(cat "${lists[@]}" | sed -e 's/#.*//' -e 's/[[:space:]]//g' | grep -v '^$' | sort -u)
missing=()
for pkg in $wanted; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done
# Node.js runs the mdb-reader oracle; any Node 18+ will do, from Debian or elsewhere.
if ! $program_only && { ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; }; then
  missing+=(nodejs npm)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

$program_only || QV_BUILD_DIR=$build_dir bash "$here/oracles.sh"
