#!/usr/bin/env bash
# The real program asked to end by the system: SIGHUP (the terminal closed) ends it as
# SIGTERM does, with a whole trace; SIGTERM after a burst of clicks ends it within 5 s,
# whatever transmissions were queued.
#   signal_cases.sh BINARY
set -u
binary=$1
work=$(mktemp -d /tmp/velmorin-signal.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work VELMORIN_LPT=emulator
failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

# SIGHUP while idle: status 0, and the trace holds the start-up writes and whole ticks.
count() { sed -n '/^\$end$/,$p' "$work/t.vcd" 2>/dev/null | grep -c '^#'; }
QT_QPA_PLATFORM=offscreen VELMORIN_TRACE=$work/t.vcd "$binary" 2>/dev/null &
pid=$!
for _ in $(seq 300); do [ "$(count)" -ge 982 ] && break; sleep 0.05; done
kill -HUP $pid
timeout 5 sh -c "while kill -0 $pid 2>/dev/null; do sleep 0.05; done"
wait $pid
rc=$?
writes=$(count)
if [ "$rc" = 0 ] && [ $(((writes - 259) % 723)) = 0 ] && [[ $(tail -n 1 "$work/t.vcd") =~ ^[01] ]]; then
    echo "ok   SIGHUP: status 0, $writes writes = 259 + k x 723"
else
    fail "SIGHUP: status $rc, $writes writes"
fi

if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
    # Ten clicks on "Envoyer texte vers LCD" at VELMORIN_DELAY=16 queue about 10 s of
    # transmissions; SIGTERM right after them must end the program within 5 s.
    out=$(env -u QT_QPA_PLATFORM VELMORIN_DELAY=16 xvfb-run -a sh -c "
        '$binary' 2>/dev/null & p=\$!
        w=\$(timeout 10 xdotool search --sync --onlyvisible --name '^Velmorin\$' | head -n 1)
        [ -n \"\$w\" ] || { echo 'no window'; exit 99; }
        sleep 1.5
        xdotool mousemove --window \$w 60 52 click --repeat 10 --delay 30 1
        kill -TERM \$p; start=\$(date +%s%N)
        timeout 8 sh -c \"while kill -0 \$p 2>/dev/null; do sleep 0.05; done\" || kill -KILL \$p
        wait \$p; s=\$?
        echo \"status \$s after \$(( (\$(date +%s%N) - start) / 1000000 )) ms\"" 2>&1)
    ms=$(sed -n 's/.*status 0 after \([0-9]*\) ms.*/\1/p' <<<"$out")
    if [ -n "$ms" ] && [ "$ms" -lt 5000 ]; then
        echo "ok   SIGTERM after ten clicks: $out"
    else
        fail "SIGTERM after ten clicks: $out"
    fi
else
    echo "skip SIGTERM after a burst of clicks: no xvfb-run or xdotool"
fi
[ "$failures" = 0 ]
