#!/usr/bin/env bash
# The Debian package as a user gets it: its files, its control fields, lintian, the manual
# pages and the unpacked program; then, in CI (CI=true) or when asked
# (VELMORIN_TEST_INSTALL=1), and as root, apt-get install, the program and man from the
# installed files, and apt-get remove. Otherwise the system is left as it is.
#   package_test.sh DEB
set -uo pipefail
deb=$1
work=$(mktemp -d /tmp/velmorin-package-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
ok() { echo "ok   $*"; }
bad() { echo "FAIL $*"; failures=$((failures + 1)); }

# Exactly these files, nothing of the tests or the benchmarks.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files"
cat >"$work/expected" <<'LIST'
./usr/bin/velmorin
./usr/bin/velmorin-check
./usr/share/applications/org.velmorin.Velmorin.desktop
./usr/share/doc/velmorin/README.md.gz
./usr/share/doc/velmorin/changelog.Debian.gz
./usr/share/doc/velmorin/copyright
./usr/share/doc/velmorin/examples/60-velmorin-gpio.rules
./usr/share/doc/velmorin/examples/60-velmorin-usb-i2c.rules
./usr/share/doc/velmorin/examples/velmorin.conf
./usr/share/doc/velmorin/examples/velmorin.service
./usr/share/doc/velmorin/examples/velmorin-backpack/lcd_serializer.h
./usr/share/doc/velmorin/examples/velmorin-backpack/velmorin-backpack.ino
./usr/share/icons/hicolor/scalable/apps/org.velmorin.Velmorin.svg
./usr/share/man/fr/man1/velmorin-check.1.gz
./usr/share/man/fr/man1/velmorin.1.gz
./usr/share/man/man1/velmorin-check.1.gz
./usr/share/man/man1/velmorin.1.gz
./usr/share/metainfo/org.velmorin.Velmorin.metainfo.xml
LIST
if diff -u <(sort "$work/expected") "$work/files" >"$work/files.diff"; then
    ok "file list: $(wc -l <"$work/files") files"
else
    bad "file list"
    cat "$work/files.diff"
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package) $(field Version) $(field Architecture)" = "velmorin 1.00-1 amd64" ] &&
    ok "velmorin 1.00-1 amd64" || bad "name, version, architecture: $(field Package) $(field Version) $(field Architecture)"
[ "$(field Recommends)" = "qt6-wayland, i2c-tools" ] && ok "Recommends: $(field Recommends)" ||
    bad "Recommends: $(field Recommends)"

# Depends names exactly the packages that hold the libraries the binaries link (velmorin,
# and velmorin-check's libzip).
dpkg-deb -x "$deb" "$work/root"
needed=$(for b in velmorin velmorin-check; do objdump -p "$work/root/usr/bin/$b"; done |
    awk '$1 == "NEEDED" { print $2 }' | sort -u)
owners=$(for lib in $needed; do
    path=$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64/ { print $NF; exit }')
    # dpkg knows a file by the path its package gave, with or without /usr (usrmerge).
    real=$(readlink -f "$path")
    for p in "$path" "$real" "${real#/usr}" "/usr${path#/usr}"; do
        dpkg -S "$p" 2>/dev/null && break
    done | head -n 1 | cut -d: -f1
done | sort -u | tr '\n' ' ')
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | sort -u | tr '\n' ' ')
if [ -n "$owners" ] && [ "$owners" = "$depends" ]; then
    ok "Depends is what the binaries link: $depends"
else
    bad "Depends: $depends; the linked libraries' packages: $owners"
fi

# lintian: no error; a warning only where the note on the package says why.
lintian --no-tag-display-limit "$deb" >"$work/lintian" 2>&1
unexplained=$(grep -E '^[EW]: ' "$work/lintian" | grep -v 'initial-upload-closes-no-bugs')
if [ -z "$unexplained" ]; then
    ok "lintian: $(grep -c '^W: ' "$work/lintian") warning(s) kept, no error"
else
    bad "lintian"
    echo "$unexplained"
fi

for page in man/man1/velmorin.1.gz man/fr/man1/velmorin.1.gz man/man1/velmorin-check.1.gz \
    man/fr/man1/velmorin-check.1.gz; do
    f=$work/root/usr/share/$page
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$f" 2>&1 >/dev/null)
    name=$(lexgrog "$f" 2>&1)
    if [ -z "$warnings" ] && grep -qE ': "velmorin(-check)? - ' <<<"$name"; then
        ok "$page: no groff warning, $name"
    else
        bad "$page: $warnings $name"
    fi
done

XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen VELMORIN_LPT=emulator \
    timeout 2 "$work/root/usr/bin/velmorin" 2>/dev/null
rc=$?
[ "$rc" = 124 ] && ok "the unpacked program runs" || bad "the unpacked program: status $rc"

install=
[ "${CI:-}" = true ] || [ -n "${VELMORIN_TEST_INSTALL:-}" ] && install=1
if [ -n "$install" ] && [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    # Recommends left out: the test machine stays as it was, and no network is needed.
    if apt-get install -y -qq --no-install-recommends "$(readlink -f "$deb")" >"$work/apt" 2>&1 &&
        [ -x /usr/bin/velmorin ]; then
        en=$(man velmorin 2>/dev/null | grep -c 'SETTINGS FILE')
        fr=$(man -L fr velmorin 2>/dev/null | grep -c 'FICHIER DE RÉGLAGES')
        XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen VELMORIN_LPT=emulator timeout 2 /usr/bin/velmorin 2>/dev/null
        rc=$?
        if [ "$en" -ge 1 ] && [ "$fr" -ge 1 ] && [ "$rc" = 124 ]; then
            ok "apt-get install: man velmorin, man -L fr velmorin, and the program runs"
        else
            bad "installed: man velmorin $en, man -L fr velmorin $fr, program status $rc"
        fi
    else
        bad "apt-get install"
        tail -n 5 "$work/apt"
    fi
    if apt-get remove -y -qq velmorin >"$work/apt" 2>&1 && [ ! -e /usr/bin/velmorin ] &&
        [ ! -e /usr/share/man/fr/man1/velmorin.1.gz ]; then
        ok "apt-get remove velmorin"
    else
        bad "apt-get remove"
        tail -n 5 "$work/apt"
    fi
elif [ -n "$install" ]; then
    echo "skip apt-get install and remove: not root"
else
    echo "skip apt-get install and remove: CI=true or VELMORIN_TEST_INSTALL=1 asks for them"
fi
[ "$failures" = 0 ]
