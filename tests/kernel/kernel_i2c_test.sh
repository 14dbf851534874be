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

# The mjkdz board: P6 RS, P4 E, P0-P3 D4-D7, backlight P7 on when low (held low).
guest mjkdz 5 -- VELMORIN_LPT1=/dev/i2c-0@0x27,mjkdz
i2c_bytes mjkdz
if "$check" "$work/mjkdz.bytes" --cable 6,4,0,1,2,3,0x00 --ticks 1 >"$work/mjkdz.check"; then
    pass "@0x27,mjkdz: $(count mjkdz) bytes, the start-up and a tick through the mjkdz wiring"
else
    bad "mjkdz wiring"
    cat "$work/mjkdz.check"
    output mjkdz
fi

# The MCP23008: IODIR = 0x00 first, then one (GPIO register 0x09, value) write per Out32;
# Adafruit's board: GP1 RS, GP2 E, GP3-GP6 D4-D7, GP7 backlight on when high.
guest mcp 5 -- VELMORIN_LPT1=/dev/i2c-0@0x27,mcp23008
i2c_bytes mcp
if awk 'NR <= 2 { if ($1 != "0x00") exit 1; next }
        NR % 2 == 1 { if ($1 != "0x09") exit 1; next }
        { print }' "$work/mcp.bytes" >"$work/mcp.values" &&
    "$check" "$work/mcp.values" --cable 1,2,3,4,5,6,0x80 --ticks 1 >"$work/mcp.check"; then
    pass "@0x27,mcp23008: 0x00 0x00, then $(wc -l <"$work/mcp.values") (0x09, value) writes: start-up and a tick"
else
    bad "MCP23008"
    head -n 6 "$work/mcp.bytes"
    cat "$work/mcp.check" 2>/dev/null
    output mcp
fi

# @auto finds the device at 0x27, probing the expanders' ranges and nothing else.
guest found 5 -- VELMORIN_LPT1=/dev/i2c-0@auto
i2c_bytes found
others=$(grep -o 'addr:0x[0-9a-f]*' "$work/found/trace.log" | sort -u |
    grep -vE 'addr:0x(2[0-7]|3[89a-f])$' | tr '\n' ' ')
if "$check" "$work/found.bytes" --backpack --ticks 1 >"$work/found.check" && [ -z "$others" ]; then
    pass "@auto: found 0x27, start-up and a tick there, no address outside 0x20-0x27, 0x38-0x3f"
else
    bad "@auto (addresses outside the ranges: ${others:-none})"
    cat "$work/found.check"
    output found
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
