#!/bin/bash
# run-in-guest.sh - run an x86-64 Linux program inside a small QEMU (TCG) guest
# that has an emulated ISA parallel port at 0x378 driven by the real Debian
# kernel's parport + parport_pc + ppdev, and print every byte the program wrote
# to the port's data register, in order, parsed from QEMU's trace log.
# The guest also has /dev/i2c-0 with a device at 0x27 that acknowledges every byte: the PIIX4 SMBus
# (machine pc, SMBus transfers only), or with -M q35 the ICH9 SMBus (i2c-i801), which also does
# I2C block writes (I2C_SMBUS_I2C_BLOCK_DATA: up to 32 bytes in one transaction under QEMU 7.2; 33
# time out there, a QEMU fault). -k DIR keeps trace.log, whose "i2c_send send(addr:0x27) data:0x.."
# lines list what was sent, and "i2c_event start(addr:0x27)" lines open each transaction.
#
# Usage: run-in-guest.sh [options] PROGRAM [ARGS...]
#   -t          timed list: index, µs since first data write, µs since previous, value
#   -a          every register write (data/control/status/EPP) with µs since start
#   -q          print only the byte list (no program output / status lines)
#   -e VAR=VAL  export VAR in the guest (repeatable)
#   -f SRC[:DST] copy a host file into the guest (default DST=SRC); repeatable.
#               Dynamically linked ELF files (PROGRAM included) bring their
#               ldd-resolved libraries along automatically.
#   -k DIR      keep artifacts in DIR: trace.log console.log output.log strobed.bin
#   -i IRQ      give parport_pc irq=IRQ (QEMU wires the port to IRQ 7); default none
#   -m MB       guest memory (default 256)   -T SEC  timeout (default 120)
#   -M MACHINE  QEMU machine: pc (default, PIIX4 SMBus) or q35 (ICH9 SMBus; SPD EEPROMs at 0x50-0x57)
#   -p ADDR     put the port at I/O address ADDR instead of 0x378 (Velmorin's copy)
#   -n          do not load the ppdev module (Velmorin's copy)
#   -s MODULE   do not load MODULE, e.g. i2c_dev (Velmorin's copy; repeatable)
#   -X ARGS     more QEMU arguments, split at spaces (repeatable), e.g. a USB serial adapter whose
#               output lands in a host file: -X "-device qemu-xhci -chardev file,id=u,path=/tmp/u.bin
#               -device usb-serial,chardev=u"
# The guest runs PROGRAM as root in /tmp with stdin=/dev/null; stdout and stderr
# (merged) come back through the guest's second serial port.
# Exit status: the program's own, 124 on timeout, 125 when the rig failed.
set -uo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CACHE=${LPTRIG_CACHE:-/tmp/velmorin-qemu-lpt/cache}
mode=hex quiet=0 keep= mem=256 timeout=120 irq=none machine=pc io=0x378 noppdev=0 skip=none
envs=() files=() extra=()

usage() { sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit "${1:-2}"; }
die() { echo "run-in-guest: $*" >&2; exit 125; }

while getopts "taqe:f:k:i:m:M:T:p:ns:X:h" opt; do
    case $opt in
        t) mode=timed ;; a) mode=all ;; q) quiet=1 ;;
        e) [[ $OPTARG == [A-Za-z_]*=* ]] || die "-e wants VAR=VALUE"; envs+=("$OPTARG") ;;
        f) files+=("$OPTARG") ;;
        k) keep=$OPTARG ;; i) irq=$OPTARG ;; m) mem=$OPTARG ;; M) machine=$OPTARG ;; T) timeout=$OPTARG ;;
        p) io=$OPTARG ;; n) noppdev=1 ;; s) skip=$skip,$OPTARG ;;
        X) read -r -a xa <<<"$OPTARG"; extra+=("${xa[@]}") ;;
        h) usage 0 ;; *) usage ;;
    esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || usage
prog=$1; shift
[ -f "$prog" ] || die "no such file: $prog"

"$HERE/build-initramfs.sh" >&2 || die "build-initramfs.sh failed"

work=$(mktemp -d /tmp/lptrig.XXXXXX)
trap 'rm -rf "$work"' EXIT
ov=$work/overlay
mkdir -p "$ov/rig"

sq() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }   # shell-quote

# Copy a host file into the overlay; pull in shared-library deps of ELF files.
libdirs=()
add_file() {   # SRC DST
    local src=$1 dst=$2 lib
    mkdir -p "$ov$(dirname "$dst")"
    cp -L "$src" "$ov$dst" || die "cannot copy $src"
    if readelf -l "$src" 2>/dev/null | grep -q 'program interpreter'; then
        while read -r lib; do
            [ -e "$ov$lib" ] && continue
            mkdir -p "$ov$(dirname "$lib")"
            cp -L "$lib" "$ov$lib" || die "cannot copy $lib"
            libdirs+=("$(dirname "$lib")")
        done < <(ldd "$src" 2>/dev/null | grep -o '/[^ ]*' | sort -u)
    fi
}
add_file "$prog" /rig/prog
chmod 0755 "$ov/rig/prog"
for f in "${files[@]}"; do
    src=${f%%:*}; dst=${f#*:}; [ "$f" = "$src" ] && dst=$src
    [ -f "$src" ] || die "no such file: $src"
    add_file "$src" "$dst"
done
{
    printf 'set --'; for a in "$@"; do printf ' %s' "$(sq "$a")"; done; echo
    if [ ${#libdirs[@]} -gt 0 ]; then
        printf 'export LD_LIBRARY_PATH=%s\n' "$(sq "$(printf '%s\n' "${libdirs[@]}" | sort -u | paste -sd:)")"
    fi
    for e in "${envs[@]}"; do printf 'export %s=%s\n' "${e%%=*}" "$(sq "${e#*=}")"; done
} > "$ov/rig/cmd"

(cd "$ov" && find . | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet) > "$work/overlay.cpio" ||
    die "cpio failed"
cat "$CACHE/base.cpio" "$work/overlay.cpio" > "$work/initrd"

start=$(date +%s.%N)
timeout -k 5 "$timeout" qemu-system-x86_64 \
    -nodefaults -no-user-config -machine "$machine",accel=tcg -m "$mem" -display none \
    -kernel "$CACHE/vmlinuz" -initrd "$work/initrd" \
    -append "console=ttyS0 quiet panic=-1 lptrig.irq=$irq lptrig.io=$io lptrig.noppdev=$noppdev lptrig.skip=$skip" -no-reboot \
    -chardev file,id=con,path="$work/console.log" -serial chardev:con \
    -chardev file,id=out,path="$work/output.log" -serial chardev:out \
    -chardev file,id=lpt,path="$work/strobed.bin" \
    -device isa-parallel,chardev=lpt,iobase=$io,irq=7 -device i2c-ddc,address=0x27 -trace i2c_send -trace i2c_event \
    -trace 'parallel_ioport_*' -D "$work/trace.log" -msg timestamp=on "${extra[@]}" \
    </dev/null >"$work/qemu.log" 2>&1
qrc=$?
elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')

awk -v mode="$mode" -v rcfile="$work/rc" -f "$HERE/lpt-trace.awk" "$work/trace.log" > "$work/bytes.txt" 2>/dev/null
prc=$?
nbytes=$(awk -v mode=timed -f "$HERE/lpt-trace.awk" "$work/trace.log" 2>/dev/null | grep -vc '^#')

if [ -n "$keep" ]; then
    mkdir -p "$keep" && cp "$work"/{trace.log,console.log,output.log,strobed.bin,qemu.log,bytes.txt} "$keep"/ 2>/dev/null
    cp "$ov/rig/cmd" "$keep/guest-cmd.sh" 2>/dev/null
fi

if [ "$quiet" = 0 ]; then
    echo "--- program output ---"
    cat "$work/output.log" 2>/dev/null
    echo "--- exit status: $(cat "$work/rc" 2>/dev/null || echo unknown) (guest run ${elapsed}s) ---"
    echo "--- data register writes at $io: $nbytes ---"
fi
cat "$work/bytes.txt"

if [ $qrc -eq 137 ] || [ $qrc -eq 124 ]; then
    echo "run-in-guest: timed out after ${timeout}s (bytes above are partial)" >&2
    tail -n 5 "$work/console.log" >&2
    exit 124
fi
if [ $prc -ne 0 ]; then
    echo "run-in-guest: rig failure (qemu exit $qrc, trace markers missing: $prc); console tail:" >&2
    tail -n 15 "$work/console.log" "$work/qemu.log" >&2
    exit 125
fi
exit "$(cat "$work/rc")"
