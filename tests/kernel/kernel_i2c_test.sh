#!/usr/bin/env bash
# Runs the real velmorin in a QEMU guest whose Debian kernel has an SMBus (i2c-dev:
# /dev/i2c-0) with a device at 0x27 that acknowledges every byte, as a PCF8574 backpack
# would. Checks the bytes QEMU saw sent there, decoded through the backpack's wiring. The
# PIIX4 (machine pc) is SMBus-only: one "send byte" a write. The ICH9 (-M q35) also does
# I2C block writes: the writes between two pauses go out in blocks of up to 32 bytes.
#   kernel_i2c_test.sh VELMORIN KERNEL_CHECK KERNEL_PICK
set -uo pipefail
velmorin=$1 check=$2 pick=$3
source "$(dirname "$0")/lib.sh"

# The bytes sent to 0x27, one per line, with the host time of each in µs and the number of
# the transaction that carried it.
i2c_bytes() {
    awk '/i2c_event start\(addr:0x27\)/ { n++ }
         /i2c_send send\(addr:0x27\) data:/ {
             split($1, t, /[@:]/); sub(/\./, "", t[2]); sub(/.*data:/, ""); print t[2], n, $1 }' \
        "$work/$1/trace.log" >"$work/$1.timed"
    cut -d' ' -f3 "$work/$1.timed" >"$work/$1.bytes"
}
# The first transmission after the start-up, bytes FROM to TO of the list: how many
# transactions carried it, and their bus time at 100 kHz (start, address and its ack,
# 9 clocks a byte, stop: 9 * (bytes + 1) + 2 clocks of 10 us each).
transmission() {
    awk -v from="$2" -v to="$3" 'NR >= from && NR <= to { if (!($2 in seen)) k++; seen[$2]++ }
        END { for (t in seen) clocks += 9 * (seen[t] + 1) + 2
              printf "%d transactions, %.1f ms on the bus at 100 kHz (%.2f ms a character)\n",
                     k, clocks / 100, clocks / 100 / 32 }' "$work/$1.timed"
}

guest backpack 7 -- VELMORIN_LPT1=/dev/i2c-0@0x27
i2c_bytes backpack
echo "backpack: $(count backpack) bytes sent to 0x27, guest status $(status backpack)"
if "$check" "$work/backpack.bytes" --backpack --ticks 1 >"$work/backpack.check"; then
    pass "VELMORIN_LPT1=/dev/i2c-0@0x27: start-up and clock ticks, decoded through the backpack"
    grep -E '^(start-up|whole|tick 1)' "$work/backpack.check"
    # One transmission (init + 32 characters, 241 bytes) after the 259 start-up bytes.
    echo "one transmission, send byte: $(transmission backpack 260 500)"
else
    bad "I2C backpack"
    cat "$work/backpack.check"
    output backpack
fi

# The display window's hardware line: the program starts on the emulator, and a second later
# "/dev/i2c-0" at 0x27 is picked from the list, as a user would. QEMU sees nothing before
# the choice, then the start-up and clock ticks; the user's file gets the one line.
program=$velmorin velmorin=$pick
guest pick 9 -- HOME=/tmp PICK=/dev/i2c-0 ADDRESS=0x27 SECONDS_ON=4
velmorin=$program
i2c_bytes pick
output pick | grep -E '^(listed|panel|VELMORIN)'
if output pick | grep -qx 'VELMORIN_LPT1=/dev/i2c-0@0x27' &&
    "$check" "$work/pick.bytes" --backpack --ticks 1 >"$work/pick.check"; then
    pass "picked in the list: /dev/i2c-0 at 0x27, then $(count pick) bytes: the start-up and a tick"
else
    bad "the hardware line's pick"
    cat "$work/pick.check" 2>/dev/null
    output pick
fi

# The ICH9: the same bytes in I2C blocks that never span a pause, at most 32 bytes each.
guest block 5 -M q35 -- VELMORIN_LPT1=/dev/i2c-0@0x27
i2c_bytes block
largest=$(awk '{ n[$2]++ } END { for (t in n) if (n[t] > m) m = n[t]; print m + 0 }' "$work/block.timed")
per=$(transmission block 260 500)
if "$check" "$work/block.bytes" --backpack --ticks 1 >"$work/block.check" &&
    [ "$largest" -le 32 ] && [ "${per%% *}" -le 20 ]; then
    pass "q35 I2C blocks: start-up and a tick, at most $largest bytes a transaction"
    echo "one transmission, I2C blocks: $per"
else
    bad "q35 I2C blocks: largest $largest bytes, $per"
    cat "$work/block.check"
    output block
fi

# The mjkdz board: P6 RS, P4 E, P0-P3 D4-D7, backlight P7 on when low (held low).
guest mjkdz 7 -- VELMORIN_LPT1=/dev/i2c-0@0x27,mjkdz
i2c_bytes mjkdz
if "$check" "$work/mjkdz.bytes" --cable 6,4,0,1,2,3,0x00 --ticks 1 >"$work/mjkdz.check"; then
    pass "@0x27,mjkdz: $(count mjkdz) bytes, the start-up and a tick through the mjkdz wiring"
else
    bad "mjkdz wiring"
    cat "$work/mjkdz.check"
    output mjkdz
fi

# The MCP23008: byte mode (IOCON 0x05 = 0x20) and IODIR = 0x00 first, then transactions
# that each start with the GPIO register, 0x09, and carry values: one on the PIIX4, up to
# 31 on the ICH9. Adafruit's board: GP1 RS, GP2 E, GP3-GP6 D4-D7, GP7 backlight on when high.
for machine in pc q35; do
    guest mcp-$machine 7 -M $machine -- VELMORIN_LPT1=/dev/i2c-0@0x27,mcp23008
    i2c_bytes mcp-$machine
    if awk 'NR <= 4 { if ($3 != (NR == 1 ? "0x05" : NR == 2 ? "0x20" : "0x00")) exit 1; next }
            $2 != last { last = $2; if ($3 != "0x09") exit 1; next }
            { print $3 }' "$work/mcp-$machine.timed" >"$work/mcp-$machine.values" &&
        "$check" "$work/mcp-$machine.values" --cable 1,2,3,4,5,6,0x80 --ticks 1 >"$work/mcp-$machine.check"; then
        pass "@0x27,mcp23008 ($machine): 0x05 0x20 0x00 0x00, then $(wc -l <"$work/mcp-$machine.values") values after 0x09 in $(($(tail -n 1 "$work/mcp-$machine.timed" | cut -d' ' -f2) - 2)) transactions: start-up and a tick"
    else
        bad "MCP23008 ($machine)"
        head -n 6 "$work/mcp-$machine.bytes"
        cat "$work/mcp-$machine.check" 2>/dev/null
        output mcp-$machine
    fi
done

# @auto finds the device at 0x27, probing the expanders' ranges and nothing else (the
# wiring named: map= as the usual board's).
guest found 7 -- VELMORIN_LPT1=/dev/i2c-0@auto,map=01234567
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

# With no wiring named, the wiring is read back; QEMU's device at 0x27 is a monitor's DDC
# EEPROM, whose reads fit no expander: a sentence, and nothing written after the look.
guest ddc 5 -- VELMORIN_LPT1=/dev/i2c-0@auto
i2c_bytes ddc
if [ "$(status ddc)" = 1 ] && output ddc | grep -q "ce n'est pas un backpack" && [ "$(count ddc)" -lt 100 ]; then
    pass "@auto on a DDC EEPROM: exit 1 after $(count ddc) bytes, $(said ddc | cut -c1-90)"
else
    bad "@auto on a DDC EEPROM: status $(status ddc), $(count ddc) bytes"
    output ddc
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
