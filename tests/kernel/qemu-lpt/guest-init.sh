#!/bin/busybox sh
# /init of the qemu-lpt rig's initramfs (copied there by build-initramfs.sh).
# Loads parport, parport_pc (io=0x378 irq=none or lptrig.irq=N) and ppdev, runs /rig/prog
# between two trace markers (see src/lptmark.c), then powers the guest off.
# Console (kernel + these messages): ttyS0.  Program stdout+stderr: ttyS1.
# Velmorin's copy adds lptrig.io=ADDR (the port's base) and lptrig.noppdev=1 (leave the
# ppdev module out), both set by run-in-guest.sh -p and -n, and lptrig.skip=a,b (modules
# left out, set by -s).
/bin/busybox mkdir -p /dev /proc /sys /tmp
/bin/busybox mount -t devtmpfs devtmpfs /dev
exec 0</dev/null 1>/dev/console 2>&1
/bin/busybox --install -s /bin
export PATH=/rig/bin:/bin HOME=/tmp TMPDIR=/tmp
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t tmpfs tmpfs /tmp

LPT_IO=0x378 LPT_IRQ=none NO_PPDEV= SKIP=
for kv in $(cat /proc/cmdline); do           # run-in-guest.sh -i IRQ sets lptrig.irq=
    case $kv in
        lptrig.irq=*) LPT_IRQ=${kv#lptrig.irq=} ;;
        lptrig.io=*) LPT_IO=${kv#lptrig.io=} ;;
        lptrig.noppdev=1) NO_PPDEV=1 ;;
        lptrig.skip=*) SKIP=,${kv#lptrig.skip=}, ;;
    esac
done
while read -r mod; do
    [ "$mod" = ppdev ] && [ -n "$NO_PPDEV" ] && continue
    case $SKIP in *,$mod,*) continue ;; esac
    case $mod in
        parport_pc) args="io=$LPT_IO irq=$LPT_IRQ" ;;
        *) args= ;;
    esac
    insmod "/lib/modules/$mod.ko" $args || echo "lptrig: insmod $mod failed"
done < /lib/modules/load-order
[ -c /dev/parport0 ] || mknod /dev/parport0 c 99 0
stty -F /dev/ttyS1 raw -echo 2>/dev/null

if [ -x /rig/prog ]; then
    set --
    [ -f /rig/cmd ] && . /rig/cmd      # sets "$@" and exports from the host
    cd /tmp
    lptmark 1 0 $LPT_IO
    /rig/prog "$@" </dev/null >/dev/ttyS1 2>&1
    rc=$?
    lptmark 2 $rc $LPT_IO
    echo "lptrig: program exit status $rc"
else
    echo "lptrig: no /rig/prog in initramfs"
fi
poweroff -f
