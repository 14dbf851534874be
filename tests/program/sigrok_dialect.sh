#!/usr/bin/env bash
# velmorin-check meets sigrok's own VCD dialect: the program's trace of a real run, turned
# by sigrok-cli into the VCD it writes (one flat scope, its own identifiers and date, the
# changes of one time on one line), is judged the same as the original.
#   sigrok_dialect.sh VELMORIN VELMORIN_CHECK
set -uo pipefail
velmorin=$1 check=$2
command -v sigrok-cli >/dev/null || { echo "SKIP: no sigrok-cli (Debian: sigrok-cli)"; exit 77; }
work=$(mktemp -d /tmp/velmorin-sigrok.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

export XDG_RUNTIME_DIR=$work HOME=$work
QT_QPA_PLATFORM=offscreen VELMORIN_LPT=emulator VELMORIN_TRACE="$work/t.vcd" timeout -s TERM 2 \
    "$velmorin" 2>/dev/null
[ -s "$work/t.vcd" ] || fail "no trace written"
# sigrok's VCD input takes 1-bit wires only: the data byte and the write counter go.
awk '!/\$var (wire 8|integer)/ && !/^b/' "$work/t.vcd" >"$work/wires.vcd"
sigrok-cli -I vcd -i "$work/wires.vcd" -O vcd -o "$work/sigrok.vcd" || fail "sigrok-cli"
grep -q 'libsigrok' "$work/sigrok.vcd" || fail "not sigrok's dialect"
# sigrok drops the very last change: compared at 1 s, before it.
# The file, the scope and the signals are named differently; the rest must agree.
same() { grep -v -e '^velmorin-check : ' -e '^Portée jugée' -e '^Broches'; }
"$check" --at 1s "$work/t.vcd" | same >"$work/ours.txt"
"$check" --at 1s "$work/sigrok.vcd" | same >"$work/theirs.txt"
diff "$work/ours.txt" "$work/theirs.txt" || fail "sigrok's dialect judged otherwise"
grep -q '^Résumé : .* capture conforme' "$work/ours.txt" || fail "$(cat "$work/ours.txt")"
echo "ok: sigrok-cli's VCD judged as the original: $(grep '^Résumé' "$work/ours.txt")"
