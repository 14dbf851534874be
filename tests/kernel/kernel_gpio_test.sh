#!/usr/bin/env bash
# Runs the real velmorin in a QEMU guest whose Debian kernel has a GPIO chip of 8 output
# lines (the rig's lcdgpio_chip module, built here against the guest kernel's headers), and
# rebuilds the port bytes from the kernel's gpio_value events.
#   kernel_gpio_test.sh VELMORIN KERNEL_CHECK
set -uo pipefail
velmorin=$1 check=$2
source "$(dirname "$0")/lib.sh"

kver=$(cat "${LPTRIG_CACHE:-/tmp/velmorin-qemu-lpt/cache}/kernel-version")
headers=/usr/src/linux-headers-$kver
if [ ! -d "$headers" ]; then
    [ "$(id -u)" = 0 ] || skip "linux-headers-$kver is not installed and installing it needs root"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "linux-headers-$kver" >"$work/headers.log" 2>&1 ||
        { tail -n 3 "$work/headers.log"; skip "linux-headers-$kver cannot be installed"; }
fi
cp -r "$here/qemu-lpt/gpio-chip" "$work/chip"
make -C "$work/chip" KVER="$kver" >"$work/chip.log" 2>&1 ||
    { tail -n 5 "$work/chip.log"; skip "the GPIO chip module does not build against $headers"; }

# Runs velmorin on the chip with VELMORIN_LPT1=/dev/gpiochip0@LINES; the bytes rebuilt from
# the events go to $work/NAME.bytes.
gpio_guest() {  # NAME SECONDS LINES
    WRAPPER=/rig/guest-gpio.sh guest "$1" "$2" -f "$here/qemu-lpt/gpio-chip/guest-gpio.sh:/rig/guest-gpio.sh" \
        -f "$work/chip/lcdgpio_chip.ko:/rig/lcdgpio_chip.ko" -- "VELMORIN_LPT1=/dev/gpiochip0@$3"
    sed -n '/^GPIO-TRACE-BEGIN/,/^GPIO-TRACE-END/p' "$work/$1.out" | grep ' gpio_value: ' >"$work/$1.events"
    awk -v lines="$3" -f "$here/gpio-events.awk" "$work/$1.events" >"$work/$1.timed" 2>"$work/$1.phases"
    cut -d' ' -f1 "$work/$1.timed" >"$work/$1.bytes"
}

# Six lines, in two orders; then all eight, R/W on line 6 and the backlight on line 7.
for lines in 0,1,2,3,4,5 5,4,3,2,1,0 7,6,5,4,3,2,1,0; do
    name=lines${lines//,/}
    gpio_guest "$name" 6 "$lines"
    echo "@$lines: $(wc -l <"$work/$name.events") events, $(count "$name") sets, guest status $(status "$name")"
    if "$check" "$work/$name.bytes" --ticks 1 >"$work/$name.check"; then
        pass "VELMORIN_LPT1=/dev/gpiochip0@$lines: start-up and a clock tick on the lines"
        grep -E '^(whole|tick 1)' "$work/$name.check"
        cat "$work/$name.phases"
        awk 'NR == 260 { t0 = $2 } NR == 500 { printf "one transmission in the guest: %.1f ms\n", ($2 - t0) / 1000 }' \
            "$work/$name.timed"
    else
        bad "GPIO @$lines"
        cat "$work/$name.check" "$work/$name.phases"
        output "$name"
    fi
done

gpio_guest missing 3 0,1,2,3,4,9
if [ "$(status missing)" = 1 ] && output missing | grep -q 'pas de ligne 9' && [ ! -s "$work/missing.events" ]; then
    pass "a line the chip lacks: exit 1, no event, $(said missing)"
else
    bad "line 9: status $(status missing), $(wc -l <"$work/missing.events") events"
    output missing
fi

finish "kernel test (GPIO)"
