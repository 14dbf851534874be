#!/bin/sh
# Guest side of a serial run: QEMU's FTDI USB serial adapter (its output lands in a host
# file) under the kernel's ftdi_sio, then the program given as arguments.
/rig/bin/modload xhci_pci ftdi_sio || { echo "serial: modload failed"; exit 125; }
for _ in $(seq 100); do
    [ -e /dev/ttyUSB0 ] && break
    sleep 0.1
done
[ -e /dev/ttyUSB0 ] || { echo "serial: no /dev/ttyUSB0"; dmesg | tail -n 20; exit 125; }
echo "serial: /dev/ttyUSB0 is there"
"$@"
