#!/usr/bin/env bash
# The Windows leg, under wine: the Qt-free unit tests, the window tests (Qt Test,
# offscreen), and the real velmorin.exe from the zip on Xvfb with a stand-in port library
# that logs every Out32. The bytes it sees must be the exact start-up sequence and whole
# clock transmissions (judged by kernel_check, as the kernel tests judge theirs); a click on
# LPT2 moves the writes to 0x278; each failure of the port library ends the program with
# status 1 and its sentence.
#   windows_test.sh BUILD_DIR QT_PREFIX|- ZIP|- KERNEL_CHECK
# With "-" for Qt and the zip, only the Qt-free unit tests run.
set -uo pipefail
build=$(readlink -f "$1") qt=$2 zip=$3 check=$(readlink -f "$4")
[ "$zip" = - ] || zip=$(readlink -f "$zip")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/velmorin-windows.XXXXXX)
failures=0
ok() { echo "ok   $*"; }
bad() { echo "FAIL $*"; failures=$((failures + 1)); }
winpath() { echo "Z:${1//\//\\}"; }

source "$here/wine_prefix.sh"
cleanup() {
    kill $(jobs -p) 2>/dev/null
    wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
start=$(date +%s)
wine_prefix "$work"
# Qt's offscreen platform told where the fonts are: wine passes no QT_* variable, the
# prefix's own environment reaches the program.
wine reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d 'C:\windows\Fonts' /f </dev/null >/dev/null 2>&1
runtime="$(winpath "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")");$(winpath /usr/x86_64-w64-mingw32/lib)"
[ "$qt" != - ] && runtime="$runtime;$(winpath "$qt/bin")"
export WINEPATH=$runtime
echo "wine prefix ready in $(($(date +%s) - start)) s"

# The stand-in library sits beside these tests: a test that reaches it drives real ports.
for t in hd44780_tests lcd_tests port_tests; do
    if INPOUT_LOG="$(winpath "$work/$t.inpout")" timeout 300 wine "$build/tests/$t.exe" </dev/null >"$work/$t.out" 2>&1 &&
        grep -q '^\[  PASSED  \]' "$work/$t.out" && [ ! -e "$work/$t.inpout" ]; then
        ok "$t under wine: $(grep -E '^\[  PASSED  \]' "$work/$t.out")$(grep -E 'DISABLED TESTS' "$work/$t.out" | sed 's/^ */, /')"
    else
        bad "$t under wine$([ -e "$work/$t.inpout" ] && echo ": it wrote through the port library")"
        grep -E 'Failure|FAILED|page fault' -A4 "$work/$t.out" | head -n 30
    fi
done

if [ "$qt" = - ]; then
    echo "skip the window half of the Windows leg: no Qt for MinGW (./scripts/qt-mingw --build makes one, about 30 min)"
    exit $((failures > 0))
fi

# QtTest prints nothing to stdout under wine: each writes its own file.
for t in form1_tests clock_texts_tests lcd_window_tests text_sender_tests; do
    timeout 300 wine "$build/tests/ui/$t.exe" -platform offscreen -o "$(winpath "$work/$t.txt"),txt" \
        </dev/null >/dev/null 2>&1
    rc=$?
    if [ "$rc" = 0 ]; then
        ok "$t under wine, offscreen: $(grep Totals "$work/$t.txt")"
    else
        bad "$t under wine: status $rc"
        grep -E 'FAIL|Loc' "$work/$t.txt" | head -n 10
    fi
done

# The real program, unzipped as a user would, with the stand-in library beside it.
mkdir -p "$work/app" && (cd "$work/app" && cmake -E tar xf "$zip")
app=$(find "$work/app" -name velmorin.exe -printf '%h\n' | head -n 1)
version=$(strings -el "$app/velmorin.exe" | grep -A1 -x 'FileVersion' | tail -n 1)
product=$(strings -el "$app/velmorin.exe" | grep -A1 -x 'ProductVersion' | tail -n 1)
[ "$version $product" = "1.00 1.00" ] && ok "version resource: FileVersion $version, ProductVersion $product" ||
    bad "version resource: FileVersion '$version', ProductVersion '$product'"
unset WINEPATH  # the zip must carry every DLL it needs

display=:$((60 + RANDOM % 30))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.05; done
export DISPLAY=$display
# Wine's desktop process was started without a display by the steps above: a new session,
# so that the program's windows reach this one.
wine_restart

# run NAME SECONDS [VAR=VALUE ...]: velmorin.exe under wine, French locale, Out32 logged.
run() {
    local name=$1 seconds=$2
    shift 2
    env LC_ALL=fr_FR.UTF-8 INPOUT_LOG="$(winpath "$work/$name.log")" "$@" \
        timeout "$seconds" wine "$app/velmorin.exe" </dev/null >"$work/$name.out" 2>&1
}

cp "$build/tests/inpoutx64.dll" "$app/"
run lpt 25 &
runner=$!
w=$(timeout 20 xdotool search --sync --onlyvisible --name '^Velmorin$' 2>/dev/null | head -n 1)
if [ -n "$w" ] && timeout 10 xdotool search --sync --onlyvisible --name '^Afficheur LCD$' >/dev/null 2>&1; then
    ok "velmorin.exe shows both windows"
    sleep 5
    # A click where Form1 has no control gives it the focus; then LPT2, at twips (3360,
    # 120, 855, 375), 96 dpi, in the client area; then Alt+F4 closes it.
    xdotool mousemove --window "$w" 300 200 click 1
    sleep 0.5
    xdotool mousemove --window "$w" 240 20 click 1
    sleep 5
    xdotool key alt+F4
else
    bad "velmorin.exe did not show both windows; shown: $(for i in $(xdotool search --onlyvisible --name . 2>/dev/null); do printf '[%s] ' "$(xdotool getwindowname "$i")"; done)"
fi
wait $runner
rc=$?
wine_restart  # nothing of this run may linger for the next
awk '$1 == "0x378" { print $2 }' "$work/lpt.log" >"$work/lpt1.bytes"
after=$(awk '$1 == "0x278" { n++ } $1 == "0x378" && n { late++ } END { print n + 0, late + 0 }' "$work/lpt.log")
if "$check" "$work/lpt1.bytes" --ticks 1 >"$work/lpt1.check"; then
    ok "0x378: $(grep -E '^(start-up|whole)' "$work/lpt1.check" | tr '\n' ' ')"
    grep -E '^tick 1' "$work/lpt1.check"
else
    bad "the writes at 0x378"
    cat "$work/lpt1.check"
    head -n 5 "$work/lpt.out"
fi
# LPT2 re-initialises its module (the start-up sequence), then takes every transmission.
awk '$1 == "0x278" { print $2 }' "$work/lpt.log" >"$work/lpt2.bytes"
set -- $after
if [ "$2" = 0 ] && "$check" "$work/lpt2.bytes" --ticks 1 >"$work/lpt2.check"; then
    ok "after the click on LPT2, 0x278 only: $(grep -E '^(start-up|whole)' "$work/lpt2.check" | tr '\n' ' ')"
else
    bad "after the click on LPT2: $1 writes at 0x278, $2 at 0x378 after them"
    cat "$work/lpt2.check" 2>/dev/null
fi
[ "$rc" = 0 ] && ok "closing the window ends velmorin.exe with status 0" || bad "velmorin.exe ended with status $rc"

# A trace path with an accent and CJK characters, given in the environment: read in UTF-16,
# the file is written under that name.
trace="$work/trace été 日本.vcd"
# Wine reads the Unix environment in the Unix locale's encoding: a UTF-8 one.
run unicode 8 LC_ALL=C.UTF-8 VELMORIN_LPT=emulator "VELMORIN_TRACE=$(winpath "$trace")"
wine_restart
if [ "$(grep -c '^#' "$trace" 2>/dev/null)" -gt 200 ]; then
    ok "VELMORIN_TRACE with é and 日本: $(grep -c '^#' "$trace") timestamps written"
else
    bad "VELMORIN_TRACE with é and 日本: $(ls "$work" | grep -a trace) $(head -n 3 "$work/unicode.out")"
fi

# velmorin-check.exe from the zip on that trace: the same report as the Linux build's.
cp "$trace" "$work/capture.vcd"
linux_check=$(dirname "$check")/../src/velmorin-check
(cd "$work" && wine "$app/velmorin-check.exe" capture.vcd </dev/null >"$work/check.exe.out" 2>&1)
rc=$?
if [ -x "$linux_check" ]; then
    (cd "$work" && "$linux_check" capture.vcd >"$work/check.linux.out" 2>&1)
    tr -d '\r' <"$work/check.exe.out" | diff - "$work/check.linux.out" >"$work/check.diff"
fi
if [ "$rc" = 0 ] && grep -q '^Résumé : .* : capture conforme' "$work/check.exe.out" && [ ! -s "$work/check.diff" ]; then
    ok "velmorin-check.exe: $(grep '^Résumé' "$work/check.exe.out" | tr -d '\r'), as on Linux"
else
    bad "velmorin-check.exe: status $rc; $(head -n 12 "$work/check.exe.out"); $(cat "$work/check.diff" 2>/dev/null)"
fi
# And a PulseView session (.sr), read through the libzip linked in.
cp "$here/../fuzz/seeds/sr_fuzz/wake-up-bonjour.sr" "$work/capture.sr"
(cd "$work" && wine "$app/velmorin-check.exe" capture.sr </dev/null >"$work/sr.exe.out" 2>&1)
rc=$?
if [ "$rc" = 0 ] && grep -qa '|Bonjour' "$work/sr.exe.out"; then
    ok "velmorin-check.exe on a .sr: $(grep -a '^Échantillonnage' "$work/sr.exe.out" | cut -c1-40 | tr -d '\r')"
else
    bad "velmorin-check.exe on a .sr: status $rc; $(head -n 8 "$work/sr.exe.out")"
fi

# Each way the port library can be missing or unusable: its sentence on stderr and in a
# message box, which must show; answering it ends the program with status 1, before any
# write.
fails() {  # NAME REGEX [VAR=VALUE ...]
    local name=$1 regex=$2
    shift 2
    run "$name" 30 "$@" &
    local runner=$! box
    box=$(timeout 20 xdotool search --sync --onlyvisible --name '^Velmorin$' 2>/dev/null | head -n 1)
    if [ -n "$box" ]; then
        sleep 0.5
        xdotool mousemove --window "$box" 5 5 click 1 && sleep 0.3 && xdotool key Return
    fi
    wait $runner
    local s=$?
    local said
    said=$(grep -m1 '^velmorin : ' "$work/$name.out")
    if [ -n "$box" ] && [ "$s" = 1 ] && grep -qE "$regex" <<<"$said" && [ ! -s "$work/$name.log" ]; then
        ok "$name: a box, status 1, $said"
    else
        bad "$name: box '${box:-none}', status $s, $(head -n 3 "$work/$name.out")"
    fi
}
rm -f "$app/inpoutx64.dll"
fails "inpout without the library" 'inpoutx64.dll introuvable \(cherchée dans : Z:.*; C:\\windows\\system32\)' VELMORIN_LPT=inpout
i686-w64-mingw32-gcc-posix -shared -o "$app/inpout32.dll" "$here/inpout_standin.c"
fails "only inpout32.dll" "seule inpout32.dll.*besoin d'inpoutx64.dll" VELMORIN_LPT=auto
cp "$app/inpout32.dll" "$app/inpoutx64.dll"
fails "a 32-bit inpoutx64.dll" "erreur 193" VELMORIN_LPT=auto
rm -f "$app/inpout32.dll"
cp "$build/tests/inpout_no_out32.dll" "$app/inpoutx64.dll"
fails "no Out32 export" "n'exporte pas Out32" VELMORIN_LPT=inpout
cp "$build/tests/inpoutx64.dll" "$app/inpoutx64.dll"
fails "the driver blocked or not installed" "pilote ne s'ouvre pas.*Intégrité de la mémoire.*mcp2221@0x27.*administrateur" INPOUT_DRIVER=closed
fails "ppdev on Windows" "n'existe que sous Linux" VELMORIN_LPT=ppdev
# A serial backpack on COM1, which the prefix maps to a host pseudo-terminal whose output
# socat keeps: velmorin.exe's bytes must be the protocol's start-up, then clock texts.
com1() {
    local protocol=$1 start=$2
    # The last run's socat goes first: on its way out it takes its link with it.
    [ -n "${keeper:-}" ] && { kill "$keeper" 2>/dev/null; wait "$keeper" 2>/dev/null; }
    rm -f "$work/com1" "$work/com1.bin"
    socat -u PTY,link="$work/com1",raw,echo=0 CREATE:"$work/com1.bin" 2>/dev/null &
    keeper=$!
    for _ in $(seq 50); do [ -e "$work/com1" ] && break; sleep 0.1; done
    wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$(readlink -f "$work/com1")" /f \
        </dev/null >/dev/null 2>&1
    wine_restart
    ln -sfn "$(readlink -f "$work/com1")" "$WINEPREFIX/dosdevices/com1"
    run "$protocol" 10 "VELMORIN_LPT1=COM1@$protocol"
    wine_restart
    local line
    line=$(od -An -v -tx1 "$work/com1.bin" 2>/dev/null | tr -s ' \n' ' ')
    if [[ $line == " $start "* ]] && grep -qaE '[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}' "$work/com1.bin"; then
        ok "COM1@$protocol: $(wc -c <"$work/com1.bin") bytes, the start-up then clock texts"
    else
        bad "COM1@$protocol: the line began '${line:0:60}'; $(head -n 3 "$work/$protocol.out")"
    fi
}
com1 lcdserializer "fe 38 fe 0c fe 06 fe 01 fe 40"
com1 matrix-orbital "fe d1 14 02 fe 42 00 fe 4b fe 54 fe 52 fe 58"

# wine's cfgmgr32 lacks a function hidapi needs, so the HID layer never starts there: the
# bridge's sentence says so (on Windows proper, the same setting finds the bridge).
fails "a USB bridge without a HID layer" "ponts USB-I2C sont hors d'atteinte.*couche HID" VELMORIN_LPT1=mcp2221@0x27

echo "Windows leg: $(($(date +%s) - start)) s"
[ "$failures" = 0 ]
