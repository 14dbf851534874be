#!/usr/bin/env bash
# Runs the real velmorin in a QEMU guest whose Debian kernel drives an emulated ISA parallel
# port through parport, parport_pc and ppdev, and checks the bytes QEMU saw on the data
# register. Skips, saying why, where the rig cannot run.
#   kernel_test.sh VELMORIN KERNEL_CHECK
set -uo pipefail
velmorin=$1 check=$2
here=$(cd "$(dirname "$0")" && pwd)
rig=$here/qemu-lpt/run-in-guest.sh
work=$(mktemp -d /tmp/velmorin-kernel.XXXXXX)
trap 'rm -rf "$work"' EXIT
plugin=/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqoffscreen.so

skip() { echo "SKIP: $*"; exit 77; }  # ctest: SKIP_RETURN_CODE
[ "$(uname -m)" = x86_64 ] || skip "the rig runs x86-64 guests only"
[ -f "$plugin" ] || skip "no Qt offscreen plugin at $plugin"
if ! command -v qemu-system-x86_64 >/dev/null && [ "$(id -u)" != 0 ]; then
    skip "qemu-system-x86 is not installed and installing it needs root"
fi
if ! "$here/qemu-lpt/build-initramfs.sh" >"$work/setup.log" 2>&1; then
    tail -n 5 "$work/setup.log"
    skip "the rig could not be set up (qemu, busybox-static or the kernel package): see above"
fi

failures=0
pass() { echo "ok   $*"; }
bad() { echo "FAIL $*"; failures=$((failures + 1)); }

# One guest run. The guest program runs velmorin for SECONDS, then stops it with SIGTERM
# (it quits after the running handler), then prints the VCD trace, compressed.
#   guest NAME SECONDS [rig options] -- [VAR=VALUE ...]
guest() {
    local name=$1 seconds=$2
    shift 2
    local opts=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do opts+=("$1"); shift; done
    shift
    local envs=(-e QT_QPA_PLATFORM=offscreen -e LANG=fr_FR.UTF-8 -e XDG_RUNTIME_DIR=/tmp)
    for e in "$@"; do envs+=(-e "$e"); done
    cat >"$work/$name.sh" <<EOS
#!/bin/sh
timeout -s TERM $seconds /rig/velmorin
rc=\$?
if [ -f /tmp/t.vcd ]; then echo VCD-BEGIN; gzip -c /tmp/t.vcd | base64; echo VCD-END; fi
exit \$rc
EOS
    chmod +x "$work/$name.sh"
    "$rig" -m 512 -T 150 "${opts[@]}" "${envs[@]}" -f "$velmorin:/rig/velmorin" -f "$plugin" \
        "$work/$name.sh" >"$work/$name.out" 2>"$work/$name.err"
    echo $? >"$work/$name.rc"
    # The byte list is what follows the rig's header lines.
    sed -n '/^--- data register writes/,$p' "$work/$name.out" | tail -n +2 >"$work/$name.bytes"
    sed -n '/^VCD-BEGIN/,/^VCD-END/p' "$work/$name.out" | sed '1d;$d' | base64 -d 2>/dev/null |
        gunzip -c >"$work/$name.vcd" 2>/dev/null || true
    grep -E '^velmorin' "$work/$name.out" | head -n 3
}
count() { wc -w <"$work/$1.bytes" | tr -d ' '; }
output() { sed -n '/^--- program output ---/,/^--- exit status/p' "$work/$1.out"; }

start=$(date +%s)

guest ppdev 5 -- VELMORIN_LPT=ppdev VELMORIN_TRACE=/tmp/t.vcd
echo "ppdev: $(count ppdev) bytes at 0x378, guest status $(cat "$work/ppdev.rc")"
if "$check" "$work/ppdev.bytes" --ticks 1 --vcd "$work/ppdev.vcd"; then
    pass "VELMORIN_LPT=ppdev: start-up, clock ticks and VCD agree with the kernel's port"
else
    bad "VELMORIN_LPT=ppdev"
    tail -n 20 "$work/ppdev.out" "$work/ppdev.err"
fi

guest auto 4 --
if "$check" "$work/auto.bytes" --ticks 1 >"$work/auto.check"; then
    pass "auto picks ppdev for the parport at 0x378 ($(count auto) bytes)"
else
    bad "auto"
    cat "$work/auto.check"
fi

guest noppdev 3 -n --
if [ "$(cat "$work/noppdev.rc")" = 1 ] && output noppdev | grep -q 'modprobe ppdev' && [ "$(count noppdev)" = 0 ]; then
    pass "without the ppdev module: exit 1, $(output noppdev | grep -o 'velmorin : .*' | head -n 1)"
else
    bad "without ppdev: status $(cat "$work/noppdev.rc"), $(count noppdev) bytes"
    output noppdev
fi

# A port that is not at 0x378. (QEMU decodes only three registers at 0x3bc, so the rig's
# markers at base + 7 would be lost there; 0x278 keeps all eight.)
guest elsewhere 3 -p 0x278 --
if [ "$(cat "$work/elsewhere.rc")" = 0 ] && [ "$(count elsewhere)" = 0 ] &&
    output elsewhere | grep -q 'aucun port à 0x378 ; /dev/parport0 est à 0x278'; then
    pass "a parport at 0x278 only: auto drives 0x378 on the emulator and says where the port is"
else
    bad "parport at 0x278: status $(cat "$work/elsewhere.rc"), $(count elsewhere) bytes"
    output elsewhere
fi

guest mapped 3 -p 0x278 -- VELMORIN_LPT1=/dev/parport0
if "$check" "$work/mapped.bytes" --startup-only >"$work/mapped.check"; then
    pass "VELMORIN_LPT1=/dev/parport0 sends LPT1's bytes to the port at 0x278 ($(count mapped) bytes)"
else
    bad "VELMORIN_LPT1 mapping"
    cat "$work/mapped.check"
    output mapped
fi

echo "kernel test: $(($(date +%s) - start)) s"
if [ "$failures" -gt 0 ]; then
    echo "$failures kernel check(s) failed"
    exit 1
fi
