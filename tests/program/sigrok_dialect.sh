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

# PulseView's own session file (.sr) of a 1 MHz capture (a board's wake-up, then a text),
# made by sigrok-cli from a VCD: the same report, the period from its metadata.
{
    printf '$timescale 1 us $end\n$scope module la $end\n'
    i=0
    for pin in RS E D4 D5 D6 D7; do printf '$var wire 1 %s %s $end\n' "p$i" "$pin"; i=$((i + 1)); done
    printf '$upscope $end\n$enddefinitions $end\n#0\n0p0\n0p1\n0p2\n0p3\n0p4\n0p5\n'
    t=20000
    nibble() {  # RS, then the four data bits D4-D7, E high 2 us
        printf '#%d\n%sp0\n%sp2\n%sp3\n%sp4\n%sp5\n#%d\n1p1\n#%d\n0p1\n' \
            "$t" "$1" "$2" "$3" "$4" "$5" $((t + 1)) $((t + 3))
        t=$((t + 5000))
    }
    nibble 0 1 1 0 0; nibble 0 1 1 0 0; nibble 0 1 1 0 0; nibble 0 0 1 0 0  # 0x3 x3, 0x2
    nibble 0 0 1 0 0; nibble 0 0 0 0 1                                      # 0x28
    nibble 0 0 0 0 0; nibble 0 0 0 1 1                                      # 0x0C
    nibble 1 0 0 1 0; nibble 1 0 1 0 0                                      # 'B' 0x42
    printf '#%d\n' "$t"
} >"$work/board.vcd"
sigrok-cli -I vcd -i "$work/board.vcd" -o "$work/board.sr" || fail "sigrok-cli -o .sr"
"$check" "$work/board.vcd" | same | grep -v '^Échantillonnage' >"$work/vcd.txt"
"$check" "$work/board.sr" | same >"$work/sr.txt"
status=$?
grep -q '^Échantillonnage : 1,000 µs (1 MHz)' "$work/sr.txt" || fail "the .sr's rate: $(head -n 3 "$work/sr.txt")"
diff "$work/vcd.txt" <(grep -v '^Échantillonnage' "$work/sr.txt") || fail ".sr judged otherwise than its VCD"
grep -q '^  |B ' "$work/sr.txt" || fail "the .sr's display: $(cat "$work/sr.txt")"
echo "ok: the .sr judged as its VCD, at its own 1 MHz: $(grep '^Résumé' "$work/sr.txt")"

