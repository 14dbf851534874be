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
WRAPPER=/rig/guest-cp2112.sh guest cp2112 7 -f "$here/cp2112/guest-cp2112.sh:/rig/guest-cp2112.sh" \
    -f "$work/cp2112sim:/rig/cp2112sim" --
grep -E '^cp2112: ' "$work/cp2112.out"
if grep -q '^cp2112: \(modload failed\|no adapter\)' "$work/cp2112.out"; then
    skip "no CP2112 adapter in the guest: $(grep '^cp2112: ' "$work/cp2112.out" | head -n 1)"
fi
sed -n '/^CP2112-LOG-BEGIN/,/^CP2112-LOG-END/p' "$work/cp2112.out" | grep '^W ' >"$work/cp2112.log"
awk '{ for (i = 4; i <= NF; i++) print $i }' "$work/cp2112.log" >"$work/cp2112.bytes"
longest=$(awk '$3 > m { m = $3 } END { print m + 0 }' "$work/cp2112.log")
echo "cp2112: $(wc -l <"$work/cp2112.log") transactions, $(count cp2112) bytes, the longest $longest, guest status $(status cp2112)"
if [ "$longest" -le 61 ] && "$check" "$work/cp2112.bytes" --backpack --ticks 1 >"$work/cp2112.check"; then
    pass "VELMORIN_LPT1=/dev/i2c-N@0x27 on hid-cp2112: start-up and clock ticks, no write over 61 bytes"
    grep -E '^(start-up|whole|tick 1)' "$work/cp2112.check"
    # Transactions of the first transmission, after the start-up's 259 bytes.
    awk 'BEGIN { n = 0 } { before = n; n += $3; if (before >= 259 && before < 259 + 241) k++ }
         END { print "one transmission: " k " transactions" }' "$work/cp2112.log"
else
    bad "hid-cp2112: the longest write $longest bytes; $(said cp2112)"
    cat "$work/cp2112.check" 2>/dev/null | head -n 20
fi
finish "CP2112 kernel test"
