#!/usr/bin/env bash
# The real program against failures that need more than one bad setting: a trace already
# written by another instance, a FIFO nobody reads, SIGTERM while the start-up error box is
# open, a display server that is not there or dies, an unknown Qt platform, Wayland without
# Qt's plugin, a bad settings file, a FIFO or /dev/zero in its place, SIGTERM during
# start-up. Each must end with status 1, within 5 s, with its French sentence.
#   fatal_cases.sh BINARY
set -u
binary=$1
work=$(mktemp -d /tmp/velmorin-fatal.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work VELMORIN_LPT=emulator
failures=0
check() {  # NAME RC OUTPUT REGEX
    if [ "$2" = 1 ] && grep -qE "^velmorin : .*$4" <<<"$3"; then
        echo "ok   $1: $(grep -E '^velmorin : ' <<<"$3" | head -n 1)"
    else
        echo "FAIL $1: status $2, output: $3"
        failures=$((failures + 1))
    fi
}

QT_QPA_PLATFORM=offscreen VELMORIN_TRACE=$work/t.vcd timeout 20 "$binary" 2>/dev/null &
# The first instance holds the trace once its header is written.
for _ in $(seq 200); do [ -s "$work/t.vcd" ] && break; sleep 0.05; done
out=$(QT_QPA_PLATFORM=offscreen VELMORIN_TRACE=$work/t.vcd timeout 5 "$binary" 2>&1)
check "second instance on the same trace" $? "$out" "déjà utilisé"

mkfifo "$work/fifo"
out=$(QT_QPA_PLATFORM=offscreen VELMORIN_TRACE=$work/fifo timeout 5 "$binary" 2>&1)
check "FIFO without a reader" $? "$out" "personne ne lit"

out=$(env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:97 timeout 5 "$binary" 2>&1)
check "a DISPLAY with no server" $? "$out" "serveur d'affichage « :97 »"

# A pipe whose reader stops reading: the program gives up after 2 s instead of hanging.
start=$(date +%s)
( QT_QPA_PLATFORM=offscreen VELMORIN_TRACE=/dev/stdout timeout 20 "$binary" 2>"$work/stall.err"
  echo $? >"$work/stall.rc" ) | sleep 12 &
for _ in $(seq 200); do [ -s "$work/stall.rc" ] && break; sleep 0.05; done
took=$(( $(date +%s) - start ))
out=$(cat "$work/stall.err")
if [ "$took" -le 9 ]; then
    check "a trace reader that stops reading (${took} s)" "$(cat "$work/stall.rc")" "$out" "ne lit plus"
else
    check "a trace reader that stops reading: ended after ${took} s" 0 "$out" ""
fi

# A file-size limit: EFBIG, not SIGXFSZ; the file ends on a whole record.
out=$(ulimit -f 64; QT_QPA_PLATFORM=offscreen VELMORIN_TRACE=$work/limit.vcd timeout 20 "$binary" 2>&1)
check "a file-size limit" $? "$out" "fichier trop gros ; libérez de la place"
[[ $(tail -n 1 "$work/limit.vcd") =~ ^[01][^\ ]+$ ]] || check "whole records under a size limit" 0 "" ""

out=$(env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=bogus timeout 5 "$binary" 2>&1)
check "an unknown QT_QPA_PLATFORM" $? "$out" "plateforme Qt « bogus ».*offscreen"
[ "$(grep -c . <<<"$out")" = 1 ] || check "one line only for QT_QPA_PLATFORM=bogus" 0 "$out" ""

if ! ls /usr/lib/*/qt6/plugins/platforms/libqwayland* >/dev/null 2>&1; then
    out=$(env -u QT_QPA_PLATFORM -u DISPLAY WAYLAND_DISPLAY=wayland-97 timeout 5 "$binary" 2>&1)
    check "Wayland only, without Qt's Wayland plugin" $? "$out" "qt6-wayland"
fi

# A settings file, as the menu launcher has it: its trace is written; a bad line ends the
# program naming the file and the line.
mkdir -p "$work/cfg/velmorin"
printf '# from the menu\nVELMORIN_TRACE = %s\n' "$work/conf.vcd" >"$work/cfg/velmorin/velmorin.conf"
XDG_CONFIG_HOME=$work/cfg QT_QPA_PLATFORM=offscreen timeout 2 "$binary" 2>/dev/null
rc=$?
if [ "$rc" = 124 ] && [ "$(grep -c '^#' "$work/conf.vcd" 2>/dev/null)" -gt 300 ]; then
    echo "ok   VELMORIN_TRACE from velmorin.conf: $(grep -c '^#' "$work/conf.vcd") timestamps written"
else
    echo "FAIL VELMORIN_TRACE from velmorin.conf: status $rc"
    failures=$((failures + 1))
fi
printf 'VELMORIN_DELAY=2\nVELMORIN_LCD=1\n' >"$work/cfg/velmorin/velmorin.conf"
out=$(XDG_CONFIG_HOME=$work/cfg QT_QPA_PLATFORM=offscreen timeout 5 "$binary" 2>&1)
check "an unknown name in velmorin.conf" $? "$out" "cfg/velmorin/velmorin.conf, ligne 2 : réglage « VELMORIN_LCD » inconnu"

# What stands in a settings file's place is looked at, never waited on or read whole.
rm -f "$work/cfg/velmorin/velmorin.conf"
mkfifo "$work/cfg/velmorin/velmorin.conf"
out=$(XDG_CONFIG_HOME=$work/cfg QT_QPA_PLATFORM=offscreen timeout 5 "$binary" 2>&1)
check "a FIFO as velmorin.conf" $? "$out" "velmorin.conf n'est pas un fichier ordinaire"
rm -f "$work/cfg/velmorin/velmorin.conf"
ln -s /dev/zero "$work/cfg/velmorin/velmorin.conf"
out=$(XDG_CONFIG_HOME=$work/cfg QT_QPA_PLATFORM=offscreen timeout 5 "$binary" 2>&1)
check "/dev/zero as velmorin.conf" $? "$out" "velmorin.conf n'est pas un fichier ordinaire"
rm -f "$work/cfg/velmorin/velmorin.conf"
# A quoted '#' is part of the trace's name.
printf 'VELMORIN_TRACE="%s"  # a comment\n' "$work/trace #1.vcd" >"$work/cfg/velmorin/velmorin.conf"
XDG_CONFIG_HOME=$work/cfg QT_QPA_PLATFORM=offscreen timeout 2 "$binary" 2>/dev/null
rc=$?
if [ "$rc" = 124 ] && [ "$(grep -c '^#' "$work/trace #1.vcd" 2>/dev/null)" -gt 300 ]; then
    echo "ok   a quoted '#' in VELMORIN_TRACE: the trace is at \"trace #1.vcd\""
else
    echo "FAIL a quoted '#' in VELMORIN_TRACE: status $rc"
    failures=$((failures + 1))
fi
rm -f "$work/cfg/velmorin/velmorin.conf"
# A FIFO as the state file: the program runs, the module choice is not remembered.
mkfifo "$work/cfg/velmorin/state.ini"
XDG_CONFIG_HOME=$work/cfg QT_QPA_PLATFORM=offscreen timeout 2 "$binary" >/dev/null 2>&1
rc=$?
if [ "$rc" = 124 ]; then
    echo "ok   a FIFO as state.ini: the program runs"
else
    echo "FAIL a FIFO as state.ini: status $rc"
    failures=$((failures + 1))
fi
rm -f "$work/cfg/velmorin/state.ini"

# SIGTERM during start-up (VELMORIN_DELAY=16 stretches the display's initialisation to
# about a second): status 1 and a sentence within 5 s.
QT_QPA_PLATFORM=offscreen VELMORIN_DELAY=16 VELMORIN_TRACE=$work/start.vcd timeout 20 "$binary" \
    2>"$work/start.err" &
p=$!
for _ in $(seq 200); do [ -s "$work/start.vcd" ] && break; sleep 0.01; done
kill -TERM $p
timeout 5 sh -c "while kill -0 $p 2>/dev/null; do sleep 0.05; done"
wait $p
check "SIGTERM during start-up" $? "$(cat "$work/start.err")" "arrêt demandé pendant le démarrage"

if command -v Xvfb >/dev/null; then
    # The X server dies under a running program: our sentence, status 1, a whole trace.
    Xvfb :96 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -e /tmp/.X11-unix/X96 ] && break; sleep 0.05; done
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:96 VELMORIN_TRACE=$work/x.vcd \
        timeout 20 "$binary" 2>"$work/x.err" &
    p=$!
    for _ in $(seq 200); do
        n=$(grep -c '^#' "$work/x.vcd" 2>/dev/null)
        [ "${n:-0}" -gt 300 ] && break
        sleep 0.05
    done
    kill $xvfb
    wait $p
    rc=$?
    out=$(cat "$work/x.err")
    check "the X server dies" $rc "$out" "serveur d'affichage « :96 » a disparu"
    [[ $(tail -n 1 "$work/x.vcd") =~ ^[01] ]] || check "a whole trace after the X server died" 0 "" ""
fi

if command -v xvfb-run >/dev/null; then
    # Under X the error is shown in a box; SIGTERM must still end the program at once.
    # The sentence reaches stderr just before the box opens.
    out=$(env -u QT_QPA_PLATFORM VELMORIN_LPT=ppdev xvfb-run -a sh -c \
        "'$binary' 2>'$work/err' & p=\$!
         timeout 10 sh -c \"until grep -q '^velmorin : ' '$work/err'; do sleep 0.05; done\"
         sleep 0.5; kill -TERM \$p || { echo 'ended before SIGTERM'; exit 99; }
         timeout 5 sh -c \"while kill -0 \$p 2>/dev/null; do sleep 0.1; done\" || kill -KILL \$p
         wait \$p; s=\$?
         cat '$work/err'; exit \$s" 2>&1)
    check "SIGTERM while the error box is open" $? "$out" "VELMORIN_LPT=ppdev"
else
    echo "skip SIGTERM during the error box: no xvfb-run"
fi
[ "$failures" = 0 ]
