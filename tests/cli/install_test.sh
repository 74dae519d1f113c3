#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks that every file lands in its standard place,
# runs both programs from there (the window on Qt's offscreen platform, with a home folder of its
# own) and makes the .deb, whose declared dependencies must name the libraries the programs use.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

app_id=example.kestrune.Quorvella
for file in bin/quorvella bin/quorvella-cli share/quorvella/HAND-M.CUR share/quorvella/Samples/sample.mdb \
            share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
            share/icons/hicolor/48x48/apps/$app_id.png share/icons/hicolor/256x256/apps/$app_id.png \
            share/man/man1/quorvella-cli.1; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done
[ -x "$prefix/bin/quorvella" ] && [ -x "$prefix/bin/quorvella-cli" ] || fail "the programs are not executable"
[ ! -e "$prefix/share/quorvella/Samples/.made" ] || fail "the build's stamp file was installed"
grep -q "^Exec=quorvella$" "$prefix/share/applications/$app_id.desktop" || fail "the .desktop file does not start quorvella"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$prefix/share/metainfo/$app_id.metainfo.xml" ||
  fail "the AppStream metadata does not name the .desktop file"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "the .desktop file is not valid"
fi
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" >/dev/null ||
    fail "the AppStream metadata is not valid"
fi
if command -v groff >/dev/null 2>&1; then
  warnings=$(groff -man -Tutf8 -ww -z "$prefix/share/man/man1/quorvella-cli.1" 2>&1)
  [ -z "$warnings" ] || fail "the man page has faults: $warnings"
fi

# The command-line program needs Qt Core only.
if readelf -d "$prefix/bin/quorvella-cli" | grep NEEDED | grep -Eq 'Qt6(Gui|Widgets)'; then
  fail "quorvella-cli links Qt Gui or Widgets"
fi

# Both programs from the prefix, in a home of their own so no user's settings or data are touched.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$HOME"
cli=$prefix/bin/quorvella-cli
listed=$("$cli" tables "$prefix/share/quorvella/Samples")
[ "$listed" = "$(printf 'archive/ORDERLOG\nSTOCK\nSUPPLIER')" ] || fail "tables listed: $listed"
before=$(cd "$prefix/share/quorvella/Samples" && find . -type f -exec md5sum {} + | sort)
"$cli" to-access "$prefix/share/quorvella/Samples" "$work/out.accdb" --all >"$work/summary" ||
  fail "to-access from the installed samples failed: $(cat "$work/summary")"
grep -q "^to-access: 3 tables: 3 done, 0 failed, 0 skipped, 0 not found$" "$work/summary" || fail "summary: $(cat "$work/summary")"
"$cli" to-paradox "$prefix/share/quorvella/Samples/sample.mdb" "$work/paradox" --all >/dev/null ||
  fail "to-paradox from the installed sample database failed"
after=$(cd "$prefix/share/quorvella/Samples" && find . -type f -exec md5sum {} + | sort)
[ "$before" = "$after" ] || fail "reading the installed samples changed them"

# The window: it must start and keep running until it is stopped (timeout's status 124). No
# display and no browser: the home page that start-up opens now and then goes nowhere.
status=0
BROWSER=true QT_QPA_PLATFORM=offscreen timeout 5 env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/quorvella" >"$work/window.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the window program ended with status $status: $(cat "$work/window.log")"

# The Debian package.
(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null) || fail "cpack failed"
deb=$(ls "$work"/package/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libssl3 libstdc++6 fonts-liberation; do
  case "$depends" in *"$package"*) ;; *) fail "the .deb does not declare $package: $depends" ;; esac
done
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/quorvella ./usr/bin/quorvella-cli ./usr/share/quorvella/HAND-M.CUR \
            ./usr/share/applications/$app_id.desktop ./usr/share/man/man1/quorvella-cli.1; do
  grep -q " $file\$" <<<"$contents" || fail "the .deb lacks $file"
done
echo "install_test: passed"
