#!/usr/bin/env bash
# The real program against failures that need more than one bad setting: a trace already
# written by another instance, a FIFO nobody reads, SIGTERM while the start-up error box is
# open, and a display server that is not there. Each must end with status 1, within 5 s,
# with its French sentence.
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
