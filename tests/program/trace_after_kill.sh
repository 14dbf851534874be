#!/usr/bin/env bash
# A program killed while idle has written out every port write it made: the trace holds the
# start-up writes and whole transmissions only, and ends on a whole record.
#   trace_after_kill.sh BINARY
set -u
binary=$1
work=$(mktemp -d /tmp/velmorin-kill.XXXXXX)
trap 'rm -rf "$work"' EXIT
XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen VELMORIN_LPT=emulator VELMORIN_TRACE=$work/t.vcd \
    "$binary" 2>/dev/null &
pid=$!
# Records after the header: "#time" lines, one per write.
count() { sed -n '/^\$end$/,$p' "$work/t.vcd" 2>/dev/null | grep -c '^#'; }
# 259 start-up writes, then ticks of three transmissions of 241 writes. The trace only
# reaches that shape when the program flushes on going idle, and the next tick is about
# 0.9 s away: kill as soon as it is seen, however slowly the machine started the program.
for _ in $(seq 300); do
    writes=$(count)
    [ "$writes" -ge 982 ] && [ $(((writes - 259) % 723)) = 0 ] && break
    sleep 0.05
done
kill -KILL $pid
wait $pid 2>/dev/null
writes=$(count)
last=$(tail -n 1 "$work/t.vcd")
if [ "$writes" -ge 982 ] && [ $(((writes - 259) % 723)) = 0 ] && [[ $last =~ ^[01][^\ ]+$ ]]; then
    echo "ok: $writes writes = 259 + $(((writes - 259) / 723)) x 723, last line \"$last\""
else
    echo "FAIL: $writes writes (259 + k x 723 expected), last line \"$last\""
    exit 1
fi
