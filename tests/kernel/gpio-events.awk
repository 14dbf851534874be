# Rebuilds the port bytes a program wrote through six GPIO lines from the kernel's gpio_value
# events ("... 4.612280: gpio_value: 1016 set 0"), one event per line per set.
#   awk -v lines=RS,E,D4,D5,D6,D7[,RW,BL] -f gpio-events.awk EVENTS
# lines: the line offsets, as in VELMORIN_LPT1=/dev/gpiochip0@...; the chip's base is the
# lowest GPIO number seen. R/W must be 0 and the backlight 1 in every set, the first too. Prints "0xNN TIME" per set (TIME of the E line, in µs); the first
# set (the request's initial values) is left out. E-high and E-low phases go to stderr.
BEGIN {
    n = split(lines, off, ",")
    split("0 1 4 5 6 7", bit, " ")  # the parallel cable: RS, E, D4-D7
    base = -1
}
/gpio_value: [0-9]+ set [01]/ {
    for (i = 1; i <= NF; i++) if ($i == "gpio_value:") { num[++count] = $(i + 1); val[count] = $(i + 3); t = $(i - 1) }
    sub(":", "", t); stamp[count] = t * 1e6
    if (base < 0 || num[count] < base) base = num[count]
}
END {
    if (count % n != 0) { print "gpio-events: " count " events is not a whole number of sets" > "/dev/stderr"; exit 1 }
    for (g = 1; g * n <= count; g++) {
        byte = 0; tE = 0
        for (k = (g - 1) * n + 1; k <= g * n; k++) {
            o = num[k] - base; idx = 0
            for (j = 1; j <= n; j++) if (off[j] == o) idx = j
            if (!idx) { print "gpio-events: line " o " is not one of " lines > "/dev/stderr"; exit 1 }
            if (seen[g, idx]++) { print "gpio-events: set " g " drives line " o " twice" > "/dev/stderr"; exit 1 }
            if (idx == 7 && val[k]) { print "gpio-events: set " g " has R/W high" > "/dev/stderr"; exit 1 }
            if (idx == 8 && !val[k]) { print "gpio-events: set " g " has the backlight off" > "/dev/stderr"; exit 1 }
            if (idx <= 6 && val[k]) byte += 2 ^ bit[idx]
            if (idx == 2) tE = stamp[k]
        }
        if (g == 1) continue  # the initial values of the request
        printf "0x%02x %.0f\n", byte, tE
        e = int(byte / 2) % 2
        if (e && !lastE && lastFall) lows[++nl] = tE - lastFall
        if (e && !lastE) rise = tE
        if (!e && lastE) { highs[++nh] = tE - rise; lastFall = tE }
        lastE = e
    }
    if (nh) printf "E high: %s; E low: %s (µs, min/median/max over %d pulses)\n", stats(highs, nh), stats(lows, nl), nh > "/dev/stderr"
}
function stats(a, n,    i, j, x) {
    for (i = 2; i <= n; i++) { x = a[i]; for (j = i - 1; j >= 1 && a[j] > x; j--) a[j + 1] = a[j]; a[j + 1] = x }
    return sprintf("%.0f/%.0f/%.0f", a[1], a[int((n + 1) / 2)], a[n])
}
