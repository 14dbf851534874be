#!/usr/bin/env bash
# velmorin-check's exit status and its one sentence: 0 for a clean capture, 1 for a
# violation, 2 for a file it cannot read or one where nothing executed, never a crash.
#   check_status.sh VELMORIN_CHECK
set -uo pipefail
check=$1
work=$(mktemp -d /tmp/velmorin-check.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect NAME STATUS PATTERN [ARGS...]: status and a line of stdout+stderr
    local name=$1 status=$2 pattern=$3
    shift 3
    "$check" "$@" >"$work/$name.out" 2>&1
    local rc=$?
    if [ "$rc" = "$status" ] && grep -qE "$pattern" "$work/$name.out"; then
        echo "ok   $name: status $rc, $(grep -E "$pattern" "$work/$name.out" | head -n 1)"
    else
        echo "FAIL $name: status $rc (expected $status)"
        cat "$work/$name.out"
        failures=$((failures + 1))
    fi
}
header='$timescale 1 ns $end
$scope module top $end
$var wire 1 ! RS $end
$var wire 1 " E $end
$var wire 4 # DB [7:4] $end
$upscope $end
$enddefinitions $end'
map=RS=RS,E=E,D4=DB[4],D5=DB[5],D6=DB[6],D7=DB[7]
# The wake-up nibble 0x3, E high 1 us, 20 ms after the start; then the same with 200 ns.
printf '%s\n#0\n0!\n0"\nb0000 #\n#20000000\nb0011 #\n1"\n#20001000\n0"\n' "$header" >"$work/clean.vcd"
printf '%s\n#0\n0!\n0"\nb0000 #\n#20000000\nb0011 #\n1"\n#20000200\n0"\n' "$header" >"$work/short.vcd"
printf '%s\n' '$timescale 1 ns $end' '$scope module top $end' '$var wire 1 ! RS' >"$work/cut.vcd"
printf '%s\n#0\n0!\n#5x\n' "$header" >"$work/bad.vcd"
# E and RS already high when the capture begins; every change at one time.
printf '%s\n#0\n1!\n1"\nb0011 #\n#20001000\n0"\n' "$header" >"$work/high.vcd"
printf '%s\n#0\n0!\n1"\nb0011 #\n0"\n' "$header" >"$work/still.vcd"

expect clean 0 '^Résumé : .* capture conforme' --map "$map" "$work/clean.vcd"
expect short-pulse 1 '^  E haut 200 ns < 230 ns \(t = 0,020000 s\)' --map "$map" "$work/short.vcd"
expect truncated 2 "^velmorin-check : .*cut.vcd, ligne 3 : « \\\$var » sans son \\\$end" "$work/cut.vcd"
expect bad-line 2 "^velmorin-check : .*bad.vcd, ligne 10 : temps « #5x » illisible" --map "$map" "$work/bad.vcd"
expect a-folder 2 "n'est pas un fichier ordinaire" "$work"
expect no-such-file 2 "introuvable" "$work/none.vcd"
expect bad-option 2 "^velmorin-check : --module « 17x3 » : valeur inconnue" --module 17x3 "$work/clean.vcd"
# Two ports' scopes, only the second driven: it is the one judged, and the other named.
two='$timescale 1 ns $end'
for scope in a b; do
    two+=$'\n'"\$scope module $scope \$end"
    for pin in RS E D4 D5 D6 D7; do two+=$'\n'"\$var wire 1 $scope$pin $pin \$end"; done
    two+=$'\n''$upscope $end'
done
printf '%s\n$enddefinitions $end\n#20000000\n1bD4\n1bD5\n1bE\n#20001000\n0bE\n' "$two" >"$work/two.vcd"
expect two-scopes 0 "^Portée jugée : b, la plus active \(autres : a ; --scope" "$work/two.vcd"
expect scope-a 2 "rien n'a pu être jugé" --scope a "$work/two.vcd"
# PulseView's session files: a whole one, one cut short.
seed=$(dirname "$0")/../fuzz/seeds/sr_fuzz/wake-up-bonjour.sr
expect session 0 '^  \|Bonjour' "$seed"
head -c 300 "$seed" >"$work/cut.sr"
expect session-cut 2 "cut.sr : archive illisible \\(pas une archive zip complète\\)" "$work/cut.sr"
expect e-high 0 "^E déjà haut au début de la capture" --map "$map" "$work/high.vcd"
expect nothing-executed 2 "aucune instruction exécutée, rien n'a pu être jugé" --map "$map" "$work/still.vcd"
expect at-nan 2 "^velmorin-check : --at « nan » : valeur inconnue" --at nan "$work/clean.vcd"
expect at-huge 2 "^velmorin-check : --at « 1e10 » : valeur inconnue" --at 1e10 "$work/clean.vcd"
expect past-the-end 0 "^--at 5,000000 s : après la fin de la capture" --map "$map" --at 5 "$work/clean.vcd"
expect help 0 "^usage : velmorin-check" --help
expect version 0 "^velmorin-check 1" --version
[ "$failures" = 0 ]
