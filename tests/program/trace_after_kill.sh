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
sleep 2.6   # ticks at about 1 s and 2 s take 0.11 s each: idle now
kill -KILL $pid
wait $pid 2>/dev/null
# Records after the header: "#time" lines, one per write.
writes=$(sed -n '/^\$end$/,$p' "$work/t.vcd" | grep -c '^#')
last=$(tail -n 1 "$work/t.vcd")
# 259 start-up writes, then ticks of three transmissions of 241 writes.
if [ "$writes" -ge 259 ] && [ $(((writes - 259) % 723)) = 0 ] && [[ $last =~ ^[01][^\ ]+$ ]]; then
    echo "ok: $writes writes = 259 + $(((writes - 259) / 723)) x 723, last line \"$last\""
else
    echo "FAIL: $writes writes (259 + k x 723 expected), last line \"$last\""
    exit 1
fi
