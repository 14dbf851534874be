#!/bin/sh
# Guest side of a bridge run: the simulated bridge (answering at 0x27, logging each write)
# under a kernel driver, then the program given as arguments, then the bridge's log.
#   BRIDGE=cp2112|mcp2221 DRIVER=hid_cp2112|hid_mcp2221|hid_generic guest-bridge.sh PROGRAM
# With a bridge driver, the program drives the I2C bus the bridge became (/dev/i2c-N@0x27
# unless VELMORIN_LPT1 names the bridge); with hid_generic, the hidraw node. Copy the
# simulators to /rig/cp2112sim and /rig/mcp2221sim. BACKPACK: the board behind the bridge
# (backpack.h's arguments, comma-separated: "65470123,pnp"). AT: the device text's part after
# "@" for the bus the bridge became (auto: its wiring read back).
/rig/bin/modload uhid "$DRIVER" || { echo "bridge: modload failed"; exit 125; }
# The kernel lists these ids as having a driver of their own, which hid-generic leaves them
# to, unless told otherwise: as where the bridge's driver is blacklisted or not built.
[ "$DRIVER" = hid_generic ] && echo 1 >/sys/module/hid/parameters/ignore_special_drivers
/rig/${BRIDGE}sim 0x27 $(echo "${BACKPACK:-}" | tr , " ") >/tmp/i2c.log 2>/tmp/sim.err &
sim=$!
found=
for _ in $(seq 400); do
    if [ "$DRIVER" = hid_generic ]; then
        [ -e /dev/hidraw0 ] && found=/dev/hidraw0
    else
        for d in /sys/bus/i2c/devices/i2c-*; do
            grep -qi "$BRIDGE" "$d/name" 2>/dev/null && found=/dev/${d##*/}
        done
        # hid-mcp2221's probe ends with its GPIO chip; until then it may still be asking
        # the bridge questions, on the buffer I2C requests share.
        [ "$BRIDGE" = mcp2221 ] && ! ls /sys/bus/gpio/devices/gpiochip* >/dev/null 2>&1 && found=
    fi
    [ -n "$found" ] && [ -e "$found" ] && break
    found=
    sleep 0.1
done
[ -n "$found" ] || { echo "bridge: no device"; cat /tmp/sim.err; dmesg | tail -n 20; exit 125; }
echo "bridge: $BRIDGE is $found"
[ -n "${VELMORIN_LPT1:-}" ] || export VELMORIN_LPT1=$found@${AT:-0x27}
"$@"
rc=$?
kill $sim
echo BRIDGE-LOG-BEGIN
cat /tmp/i2c.log
echo BRIDGE-LOG-END
exit $rc
