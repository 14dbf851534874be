#!/usr/bin/env bash
# cmake --install into a scratch prefix: the binary runs, and the desktop entry, icon and
# AppStream metainfo are in place and pass their validators.
#   install_test.sh BUILD_DIR
set -uo pipefail
build=$1
prefix=$(mktemp -d /tmp/velmorin-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"
for f in bin/velmorin bin/velmorin-check share/man/man1/velmorin-check.1 \
    share/man/fr/man1/velmorin-check.1 share/applications/org.velmorin.Velmorin.desktop \
    share/icons/hicolor/scalable/apps/org.velmorin.Velmorin.svg \
    share/metainfo/org.velmorin.Velmorin.metainfo.xml; do
    [ -f "$prefix/$f" ] || fail "not installed: $f"
done
desktop-file-validate "$prefix/share/applications/org.velmorin.Velmorin.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/org.velmorin.Velmorin.metainfo.xml" >/dev/null ||
    fail "appstreamcli validate"
grep -q 'release version="1.00"' "$prefix/share/metainfo/org.velmorin.Velmorin.metainfo.xml" || fail "release 1.00"

# The installed binary starts and keeps running (the emulator needs no hardware).
QT_QPA_PLATFORM=offscreen VELMORIN_LPT=emulator timeout 2 "$prefix/bin/velmorin" 2>/dev/null
rc=$?
[ "$rc" = 124 ] || fail "installed velmorin exited with status $rc instead of running"
echo "ok: installed and validated under $prefix"
