#!/usr/bin/env bash
# Runs the real velmorin in a QEMU guest against a simulated CP2112 USB-I2C bridge (a uhid
# device, ours) under the kernel's own hid-cp2112 driver, which makes it /dev/i2c-N. That
# driver takes plain writes of at most 61 bytes and says nothing of it in I2C_FUNCS: the
# writes between two pauses must still reach the backpack whole, in order, and each
# transaction within the limit.
#   kernel_cp2112_test.sh VELMORIN KERNEL_CHECK
set -uo pipefail
velmorin=$1 check=$2
source "$(dirname "$0")/lib.sh"

gcc -O2 -Wall -Wextra -static -o "$work/cp2112sim" "$here/cp2112/cp2112sim.c" 2>"$work/sim.log" ||
    { cat "$work/sim.log"; skip "the simulated bridge does not build"; }
# cp2112_run NAME SECONDS [VAR=VALUE ...]: velmorin against the bridge; its writes, one byte
# a line, in $work/NAME.bytes, each transaction in $work/NAME.log.
cp2112_run() {
    local name=$1 seconds=$2
    shift 2
    WRAPPER=/rig/guest-cp2112.sh guest "$name" "$seconds" \
        -f "$here/cp2112/guest-cp2112.sh:/rig/guest-cp2112.sh" -f "$work/cp2112sim:/rig/cp2112sim" -- "$@"
    grep -E '^cp2112: ' "$work/$name.out"
    if grep -q '^cp2112: \(modload failed\|no adapter\)' "$work/$name.out"; then
        skip "no CP2112 adapter in the guest: $(grep '^cp2112: ' "$work/$name.out" | head -n 1)"
    fi
    sed -n '/^CP2112-LOG-BEGIN/,/^CP2112-LOG-END/p' "$work/$name.out" | grep '^W ' >"$work/$name.log"
    awk '{ for (i = 4; i <= NF; i++) print $i }' "$work/$name.log" >"$work/$name.bytes"
}
# decoded NAME DESCRIPTION: the start-up and whole clock transmissions, no write over 61 bytes.
decoded() {
    local longest
    longest=$(awk '$3 > m { m = $3 } END { print m + 0 }' "$work/$1.log")
    echo "$1: $(wc -l <"$work/$1.log") transactions, $(count "$1") bytes, the longest $longest, guest status $(status "$1")"
    if [ "$longest" -le 61 ] && "$check" "$work/$1.bytes" --backpack --ticks 1 >"$work/$1.check"; then
        pass "$2: start-up and clock ticks, no write over 61 bytes"
        grep -E '^(start-up|whole|tick 1)' "$work/$1.check"
    else
        bad "$2: the longest write $longest bytes; $(said "$1")"
        head -n 20 "$work/$1.check" 2>/dev/null
    fi
}

cp2112_run node 7
decoded node "VELMORIN_LPT1=/dev/i2c-N@0x27 on hid-cp2112"
# Transactions of the first transmission, after the start-up's 259 bytes.
awk 'BEGIN { n = 0 } { before = n; n += $3; if (before >= 259 && before < 259 + 241) k++ }
     END { print "one transmission: " k " transactions" }' "$work/node.log"

# The same bridge by its name and serial number, found through sysfs.
cp2112_run named 7 VELMORIN_LPT1=cp2112:0001@0x27
decoded named "VELMORIN_LPT1=cp2112:0001@0x27"
finish "CP2112 kernel test"
