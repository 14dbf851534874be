#!/usr/bin/env bash
# Runs the real velmorin in a QEMU guest against QEMU's FTDI USB serial adapter, whose
# output lands in a host file, as a serial backpack speaking lcdserializer. The file,
# decoded here, must hold the start-up's instructions (no wake-up write, no width switch),
# the four glyphs, then whole clock texts.
#   kernel_serial_test.sh VELMORIN
set -uo pipefail
velmorin=$1
source "$(dirname "$0")/lib.sh"

line=$work/line.bin
: >"$line"
WRAPPER=/rig/guest-serial.sh guest serial 9 \
    -X "-device qemu-xhci -chardev file,id=u,path=$line -device usb-serial,chardev=u" \
    -f "$here/serial/guest-serial.sh:/rig/guest-serial.sh" -- VELMORIN_LPT1=/dev/ttyUSB0@lcdserializer
grep -E '^serial: ' "$work/serial.out"
grep -q '^serial: \(modload failed\|no /dev\)' "$work/serial.out" &&
    skip "no USB serial adapter in the guest: $(grep '^serial: ' "$work/serial.out" | head -n 1)"

# lcdserializer: 0xFE, then an instruction; any other byte is data. One token a line:
# "I 0x38", "D 65".
od -An -v -tu1 "$line" | awk '{ for (i = 1; i <= NF; i++) {
        if (esc) { printf "I 0x%02x\n", $i; esc = 0 } else if ($i == 254) esc = 1
        else print "D " $i } }' >"$work/tokens"
echo "serial: $(wc -c <"$line") bytes on the line, $(grep -c '^I' "$work/tokens") instructions, guest status $(status serial)"

expected="I 0x38 I 0x0c I 0x06 I 0x01 I 0x40"
first=$(head -n 5 "$work/tokens" | paste -sd' ')
if [ "$first" = "$expected" ]; then
    pass "the start-up: function set 0x38 (2 lines, the board's 8-bit link), display, entry, clear"
else
    bad "the start-up begins '$first', not '$expected'; $(said serial)"
fi
# Each glyph: its CGRAM address, then its eight rows.
glyphs=$(awk '$1 == "I" { if (addr != "" && n == 8) ok++; addr = ""; n = 0
                          if ($2 ~ /^0x(40|48|50|58)$/) addr = $2; next }
              addr != "" { n++ } END { print ok + 0 }' "$work/tokens")
[ "$glyphs" -ge 4 ] && pass "the four glyphs, eight rows each" || bad "$glyphs whole glyph loads"
# The clock: each run of characters between two instructions (its first line follows the
# re-initialisation's clear, its second the DDRAM address 0xC0).
awk '$1 == "I" { if (text != "") print text; text = ""; next }
     { text = text sprintf("%c", $2 + 0) } END { if (text != "") print text }' "$work/tokens" \
    >"$work/texts"
ticks=$(grep -cE '^[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}' "$work/texts")
if [ "$ticks" -ge 2 ]; then
    pass "$ticks whole clock texts, the first \"$(grep -m1 -E '^[0-9]{2}/' "$work/texts")\""
else
    bad "$ticks clock texts; the texts sent: $(head -n 3 "$work/texts" | paste -sd'|')"
fi
finish "serial kernel test"
