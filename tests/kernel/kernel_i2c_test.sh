#!/usr/bin/env bash
# Runs the real velmorin in a QEMU guest whose Debian kernel has a PIIX4 SMBus (i2c-piix4,
# i2c-dev: /dev/i2c-0) with a device at 0x27 that acknowledges every byte, as a PCF8574
# backpack would. Checks the bytes QEMU saw sent there, decoded through the backpack's
# wiring. PIIX4 is SMBus-only, so this proves the SMBus "send byte" path.
#   kernel_i2c_test.sh VELMORIN KERNEL_CHECK
set -uo pipefail
velmorin=$1 check=$2
source "$(dirname "$0")/lib.sh"

# The bytes sent to 0x27, one per line, with the host time of each in µs.
i2c_bytes() {
    sed -n 's/^[0-9]*@\([0-9]*\)\.\([0-9]*\):i2c_send send(addr:0x27) data:\(0x[0-9a-f]*\).*/\1\2 \3/p' \
        "$work/$1/trace.log" >"$work/$1.timed"
    cut -d' ' -f2 "$work/$1.timed" >"$work/$1.bytes"
}

guest backpack 5 -- VELMORIN_LPT1=/dev/i2c-0@0x27
i2c_bytes backpack
echo "backpack: $(count backpack) bytes sent to 0x27, guest status $(status backpack)"
if "$check" "$work/backpack.bytes" --backpack --ticks 1 >"$work/backpack.check"; then
    pass "VELMORIN_LPT1=/dev/i2c-0@0x27: start-up and clock ticks, decoded through the backpack"
    grep -E '^(start-up|whole|tick 1)' "$work/backpack.check"
    # One transmission (init + 32 characters, 241 bytes) after the 259 start-up bytes.
    awk 'NR == 260 { t0 = $1 } NR == 500 { printf "one transmission in the guest: %.1f ms for 241 bytes (%.0f us a byte)\n", ($1 - t0) / 1000, ($1 - t0) / 240 }' \
        "$work/backpack.timed"
else
    bad "I2C backpack"
    cat "$work/backpack.check"
    output backpack
fi

guest nobody 3 -- VELMORIN_LPT1=/dev/i2c-0@0x3f
if [ "$(status nobody)" = 1 ] && output nobody | grep -q 'rien ne répond' &&
    ! grep -q 'addr:0x3f) data' "$work/nobody/trace.log"; then
    pass "nothing at 0x3f: exit 1, $(said nobody)"
else
    bad "nothing at 0x3f: status $(status nobody)"
    output nobody
fi

guest nodev 3 -s i2c-dev -- VELMORIN_LPT1=/dev/i2c-0@0x27
if [ "$(status nodev)" = 1 ] && output nodev | grep -q 'modprobe i2c-dev'; then
    pass "without i2c-dev: exit 1, $(said nodev)"
else
    bad "without i2c-dev: status $(status nodev)"
    output nodev
fi

finish "kernel test (I2C)"
