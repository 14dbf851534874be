#!/usr/bin/env bash
# Runs the real velmorin in a QEMU guest against simulated USB-I2C bridges (uhid devices,
# ours), each way it can reach them:
#  - CP2112 under the kernel's hid-cp2112, which makes it /dev/i2c-N. That driver takes
#    plain writes of at most 61 bytes and says nothing of it in I2C_FUNCS;
#  - MCP2221A under the kernel's hid-mcp2221, named as itself (mcp2221@0x27);
#  - both through their hidraw nodes (hid-generic), in their own reports, as on Windows.
# Each time the writes, decoded through the wiring, must be the exact start-up and then
# whole clock transmissions.
#   kernel_bridges_test.sh VELMORIN KERNEL_CHECK
set -uo pipefail
velmorin=$1 check=$2
source "$(dirname "$0")/lib.sh"

for sim in cp2112sim mcp2221sim; do
    gcc -O2 -Wall -Wextra -static -o "$work/$sim" "$here/bridges/$sim.c" 2>"$work/sim.log" ||
        { cat "$work/sim.log"; skip "the simulated bridge $sim does not build"; }
done
# bridge_run NAME BRIDGE DRIVER SECONDS [VAR=VALUE ...]: velmorin against the bridge; its
# writes, one byte a line, in $work/NAME.bytes, each transaction in $work/NAME.log.
bridge_run() {
    local name=$1 bridge=$2 driver=$3 seconds=$4
    shift 4
    WRAPPER="env BRIDGE=$bridge DRIVER=$driver /rig/guest-bridge.sh" guest "$name" "$seconds" \
        -f "$here/bridges/guest-bridge.sh:/rig/guest-bridge.sh" \
        -f "$work/cp2112sim:/rig/cp2112sim" -f "$work/mcp2221sim:/rig/mcp2221sim" -- "$@"
    grep -E '^bridge: ' "$work/$name.out"
    if grep -q '^bridge: \(modload failed\|no device\)' "$work/$name.out"; then
        skip "no $bridge in the guest: $(grep '^bridge: ' "$work/$name.out" | head -n 1)"
    fi
    # A look at the board (its reads, the last one ending it) comes before the start-up.
    sed -n '/^BRIDGE-LOG-BEGIN/,/^BRIDGE-LOG-END/p' "$work/$name.out" | grep '^[RWr] ' >"$work/$name.all"
    awk '/^r / { n = NR } { l[NR] = $0 } END { for (i = n + 1; i <= NR; i++) print l[i] }' \
        "$work/$name.all" | grep '^[RW] ' >"$work/$name.reports"
    grep '^W ' "$work/$name.reports" >"$work/$name.log"
    awk '{ for (i = 4; i <= NF; i++) print $i }' "$work/$name.log" >"$work/$name.bytes"
}
# decoded NAME DESCRIPTION LIMIT [CABLE]: the start-up and whole clock transmissions through
# the usual backpack's wiring or CABLE (kernel_check's), no write over LIMIT bytes.
decoded() {
    local longest wiring=(--backpack)
    [ -n "${4:-}" ] && wiring=(--cable "$4")
    longest=$(awk '$3 > m { m = $3 } END { print m + 0 }' "$work/$1.log")
    echo "$1: $(wc -l <"$work/$1.log") transactions, $(count "$1") bytes, the longest $longest, guest status $(status "$1")"
    if [ "$longest" -le "$3" ] && "$check" "$work/$1.bytes" "${wiring[@]}" --ticks 1 >"$work/$1.check"; then
        pass "$2: start-up and clock ticks, no write over $3 bytes"
        grep -E '^(start-up|whole|tick 1)' "$work/$1.check"
    else
        bad "$2: the longest write $longest bytes; $(said "$1")"
        head -n 20 "$work/$1.check" 2>/dev/null
    fi
}
# The first transmission, after the start-up's 259 bytes: its transactions, and the output
# reports the bridge received for them (a transaction's data reports come before its W
# line, its status requests after).
per_transmission() {
    awk -v start=259 -v size=241 '
        function mine(b) { return b >= start && b < start + size }
        $1 == "W" { before = n; n += $3; if (mine(before)) { k++; r += pending }; pending = 0; next }
        $2 == "0x10" || $2 == "0x15" { if (mine(before)) r++; next }
        { pending++ }
        END { print "one transmission: " k " transactions, " r " output reports" }' "$work/$1.reports"
}

bridge_run cp2112_node cp2112 hid_cp2112 7
decoded cp2112_node "VELMORIN_LPT1=/dev/i2c-N@0x27 on hid-cp2112" 61
per_transmission cp2112_node

bridge_run cp2112_named cp2112 hid_cp2112 7 VELMORIN_LPT1=cp2112:0001@0x27
decoded cp2112_named "VELMORIN_LPT1=cp2112:0001@0x27 on hid-cp2112" 61

bridge_run cp2112_hidraw cp2112 hid_generic 7 VELMORIN_LPT1=cp2112@0x27
decoded cp2112_hidraw "VELMORIN_LPT1=cp2112@0x27 through hidraw" 61
per_transmission cp2112_hidraw

bridge_run mcp2221_hidraw mcp2221 hid_generic 7 VELMORIN_LPT1=mcp2221@0x27
decoded mcp2221_hidraw "VELMORIN_LPT1=mcp2221@0x27 through hidraw" 4096
per_transmission mcp2221_hidraw

# The board's wiring read back (@auto), then the start-up and ticks through what was found:
# lcdxio (P4 RS, P6 E, P0-P3 D4-D7, PNP backlight on P7) through hidraw, in the bridge's
# own reports; then a board whose R/W is tied low, which falls back to the usual wiring.
looked() {  # NAME WORDS: the program said WORDS of the look
    output "$1" >"$work/$1.said"
    if grep -q "$2" "$work/$1.said"; then
        pass "$1: $(grep -o 'LPT1 (0x378) : .*' "$work/$1.said" | cut -c1-110)"
    else
        bad "$1: the look not said ($2)"
        output "$1" | head -n 20
        grep -c '^r ' "$work/$1.all"
    fi
}
bridge_run lcdxio_hidraw mcp2221 hid_generic 7 VELMORIN_LPT1=mcp2221@auto BACKPACK=45670123,pnp
echo "lcdxio_hidraw: the look took $(grep -c '^r ' "$work/lcdxio_hidraw.all") reads"
decoded lcdxio_hidraw "mcp2221@auto, an lcdxio board, through hidraw" 4096 4,6,0,1,2,3,0x00
looked lcdxio_hidraw "lcdxio trouvé par relecture"
bridge_run rwlow_hidraw cp2112 hid_generic 7 VELMORIN_LPT1=cp2112@auto BACKPACK=01234567,pnp,rw-low
decoded rwlow_hidraw "cp2112@auto, R/W tied low: the usual wiring" 61
looked rwlow_hidraw "ne répond pas en relecture.*polarité du rétroéclairage inconnue"

# hid-mcp2221's probe takes about 25 s on the rig before the bus is usable.
bridge_run mcp2221_kernel mcp2221 hid_mcp2221 7 VELMORIN_LPT1=mcp2221@0x27
decoded mcp2221_kernel "VELMORIN_LPT1=mcp2221@0x27 on hid-mcp2221" 4096
per_transmission mcp2221_kernel
# mjkdz (P6 RS, P4 E, P0-P3 D4-D7, PNP backlight on P7) found through the kernel's own
# adapter, named as the /dev/i2c-N it became.
bridge_run mjkdz_kernel mcp2221 hid_mcp2221 9 AT=auto BACKPACK=65470123,pnp
decoded mjkdz_kernel "/dev/i2c-N@auto, an mjkdz board, on hid-mcp2221" 4096 6,4,0,1,2,3,0x00
looked mjkdz_kernel "mjkdz trouvé par relecture"
finish "USB-I2C bridge kernel test"
