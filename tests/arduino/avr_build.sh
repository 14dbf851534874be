#!/usr/bin/env bash
# Builds the serial backpack's sketch for an Arduino Uno (ATmega328P, 16 MHz) with
# Debian's AVR compiler and Arduino core, the flags the Arduino IDE uses, and checks that
# it fits the board: 32,256 bytes of flash beside the bootloader, 2,048 bytes of RAM.
# Usage: avr_build.sh SKETCH_DIR WORK_DIR
set -euo pipefail
sketch=$1 work=$2
core=/usr/share/arduino/hardware/arduino/avr
if ! command -v avr-g++ >/dev/null || [ ! -d "$core/cores/arduino" ]; then
    echo "SKIP: no avr-g++ or Arduino AVR core (Debian: arduino-core-avr)"
    exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
defs=(-mmcu=atmega328p -DF_CPU=16000000L -DARDUINO=10807 -DARDUINO_AVR_UNO -DARDUINO_ARCH_AVR)
incs=(-I"$core/cores/arduino" -I"$core/variants/standard" -I"$here/avr" -I"$sketch")
cflags=(-c -Os -Wall -Wextra -ffunction-sections -fdata-sections -flto "${defs[@]}" "${incs[@]}")
objs=()
for src in "$core"/cores/arduino/*.{c,cpp,S}; do
    obj="$work/$(basename "$src").o"
    case "$src" in
        *.c) avr-gcc "${cflags[@]}" -std=gnu11 -w "$src" -o "$obj" ;;
        # Debian's avr-gcc 5.4 gives DECIMAL_DIG to C only; WString.cpp wants it in C++.
        # AVR's double is 32 bits wide, so 9 digits (float's value).
        *.cpp) avr-g++ "${cflags[@]}" -std=gnu++11 -fno-exceptions -fno-threadsafe-statics -DDECIMAL_DIG=9 -w \
                   "$src" -o "$obj" ;;
        *.S) avr-gcc "${cflags[@]}" -x assembler-with-cpp "$src" -o "$obj" ;;
    esac
    objs+=("$obj")
done
# The IDE puts #include <Arduino.h> before the sketch; the sketch itself warns nothing.
{ echo '#include <Arduino.h>'; echo "#line 1 \"velmorin-backpack.ino\""; cat "$sketch/velmorin-backpack.ino"; } \
    >"$work/sketch.cpp"
avr-g++ "${cflags[@]}" -std=gnu++11 -fno-exceptions -fno-threadsafe-statics -Werror \
    "$work/sketch.cpp" -o "$work/sketch.o"
avr-gcc -Os -flto -fuse-linker-plugin -Wl,--gc-sections -mmcu=atmega328p \
    -o "$work/sketch.elf" "$work/sketch.o" "${objs[@]}" -lm
# avr-size's Berkeley columns: flash is text + data, RAM is data + bss.
read -r text data bss _ < <(avr-size "$work/sketch.elf" | tail -1)
flash=$((text + data)) ram=$((data + bss))
echo "velmorin-backpack for ATmega328P: $flash bytes of flash (of 32256), $ram of RAM (of 2048)"
[ "$flash" -le 32256 ] && [ "$ram" -le 2048 ]
