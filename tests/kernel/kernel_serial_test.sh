#!/usr/bin/env bash
# Runs the real velmorin in a QEMU guest against QEMU's FTDI USB serial adapter, whose
# output lands in a host file, as a serial backpack: once speaking lcdserializer, once the
# Matrix Orbital command set. The file, decoded here, must hold the start-up (no wake-up
# write, no width switch), the four glyphs, then whole clock texts.
#   kernel_serial_test.sh VELMORIN
set -uo pipefail
velmorin=$1
source "$(dirname "$0")/lib.sh"

# One token a line: "I 0x38" an instruction, "C 0x58 ..." a command and its arguments,
# "D 65" a character.
decode() {
    case $1 in
    lcdserializer) # 0xFE, then an instruction; any other byte is data
        awk '{ for (i = 1; i <= NF; i++) {
                if (esc) { printf "I 0x%02x\n", $i; esc = 0 } else if ($i == 254) esc = 1
                else print "D " $i } }' ;;
    matrix-orbital) # 0xFE, a command letter, its arguments (how many: by the letter)
        awk 'BEGIN { n[71] = 2; n[78] = 9; n[209] = 2; n[66] = 1  # G N 0xD1 B: awk has no hex
                     n[80] = 1; n[153] = 1; n[208] = 3 }
             { for (i = 1; i <= NF; i++) {
                if (args > 0) { tok = tok " " $i; if (--args == 0) print tok; continue }
                if (esc) { esc = 0; tok = sprintf("C 0x%02x", $i); args = n[$i] + 0
                           if (args == 0) print tok; continue }
                if ($i == 254) esc = 1; else print "D " $i } }' ;;
    esac
}

# judge PROTOCOL START GLYPHS: the line must begin with START, and GLYPHS (an awk program
# on the tokens) must count four whole glyph loads.
judge() {
    local protocol=$1 expected=$2 line=$work/$1.bin got glyphs ticks
    : >"$line"
    WRAPPER=/rig/guest-serial.sh guest "$protocol" 9 \
        -X "-device qemu-xhci -chardev file,id=u,path=$line -device usb-serial,chardev=u" \
        -f "$here/serial/guest-serial.sh:/rig/guest-serial.sh" -- \
        "VELMORIN_LPT1=/dev/ttyUSB0@$protocol"
    grep -E '^serial: ' "$work/$protocol.out"
    grep -q '^serial: \(modload failed\|no /dev\)' "$work/$protocol.out" &&
        skip "no USB serial adapter in the guest: $(grep '^serial: ' "$work/$protocol.out" | head -n 1)"
    od -An -v -tu1 "$line" | decode "$protocol" >"$work/$protocol.tokens"
    echo "$protocol: $(wc -c <"$line") bytes on the line, $(grep -vc '^D' "$work/$protocol.tokens") \
instructions or commands, guest status $(status "$protocol")"

    got=$(paste -sd' ' "$work/$protocol.tokens" | cut -c "1-${#expected}")
    if [ "$got" = "$expected" ]; then
        pass "$protocol: the start-up, $expected"
    else
        bad "$protocol: the start-up begins '$got', not '$expected'; $(said "$protocol")"
    fi
    glyphs=$(awk "$3" "$work/$protocol.tokens")
    [ "$glyphs" -ge 4 ] && pass "$protocol: the four glyphs, eight rows each" ||
        bad "$protocol: $glyphs whole glyph loads"
    # The clock: each run of characters between two instructions or commands (its first
    # line follows the re-initialisation's clear, its second the move to line 2).
    awk '$1 != "D" { if (text != "") print text; text = ""; next }
         { text = text sprintf("%c", $2 + 0) } END { if (text != "") print text }' \
        "$work/$protocol.tokens" >"$work/$protocol.texts"
    ticks=$(grep -acE '^[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}' "$work/$protocol.texts")
    if [ "$ticks" -ge 2 ]; then
        pass "$protocol: $ticks whole clock texts, the first \"$(grep -a -m1 -E '^[0-9]{2}/' "$work/$protocol.texts")\""
    else
        bad "$protocol: $ticks clock texts; the texts sent: $(head -n 3 "$work/$protocol.texts" | paste -sd'|')"
    fi
}

# Each glyph: its CGRAM address, then its eight rows.
judge lcdserializer "I 0x38 I 0x0c I 0x06 I 0x01 I 0x40" '
    $1 == "I" { if (addr != "" && n == 8) ok++; addr = ""; n = 0
                if ($2 ~ /^0x(40|48|50|58)$/) addr = $2; next }
    addr != "" { n++ } END { print ok + 0 }'
# Each glyph: one definition, its number and eight rows.
judge matrix-orbital "C 0xd1 20 2 C 0x42 0 C 0x4b C 0x54 C 0x52 C 0x58" '
    $1 == "C" && $2 == "0x4e" && NF == 11 { seen[$3] = 1 } END { print length(seen) }'
finish "serial kernel test"
