#!/bin/sh
# Guest side of a CP2112 run: the kernel's hid-cp2112, the simulated bridge (answering at
# 0x27, logging each write), then the program given as arguments on the I2C bus the bridge
# became (or as VELMORIN_LPT1 says), and the bridge's log. Copy cp2112sim to /rig/cp2112sim.
/rig/bin/modload uhid hid_cp2112 || { echo "cp2112: modload failed"; exit 125; }
/rig/cp2112sim 0x27 >/tmp/i2c.log 2>/tmp/sim.err &
sim=$!
bus=
for _ in $(seq 100); do
    for d in /sys/bus/i2c/devices/i2c-*; do
        grep -q CP2112 "$d/name" 2>/dev/null && bus=${d##*/}
    done
    [ -n "$bus" ] && [ -e "/dev/$bus" ] && break
    sleep 0.1
done
[ -n "$bus" ] || { echo "cp2112: no adapter"; cat /tmp/sim.err; dmesg | tail -n 20; exit 125; }
echo "cp2112: the bridge is /dev/$bus ($(cat /sys/bus/i2c/devices/$bus/name))"
# The bus by its node, unless the run names the bridge itself.
[ -n "${VELMORIN_LPT1:-}" ] || export VELMORIN_LPT1=/dev/$bus@0x27
"$@"
rc=$?
kill $sim
echo CP2112-LOG-BEGIN
cat /tmp/i2c.log
echo CP2112-LOG-END
exit $rc
