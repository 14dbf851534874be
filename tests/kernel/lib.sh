# Shared by the kernel tests: runs the real velmorin in the QEMU rig's guest and collects
# what the guest's hardware saw. Sourced, with $velmorin set; skips (status 77, ctest's
# SKIP_RETURN_CODE) with a reason where the rig cannot run.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
rig=$here/qemu-lpt/run-in-guest.sh
work=$(mktemp -d /tmp/velmorin-kernel.XXXXXX)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
plugin=/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqoffscreen.so

skip() { echo "SKIP: $*"; exit 77; }
# The rig's cache: root's in /tmp/velmorin-qemu-lpt, each other user's beside it, so that one
# user's files never stop another's runs.
[ "$(id -u)" = 0 ] || export LPTRIG_CACHE=${LPTRIG_CACHE:-/tmp/velmorin-qemu-lpt-$(id -un)/cache}
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

# One guest run. The guest program runs velmorin for SECONDS (under WRAPPER, if given),
# then stops it with SIGTERM (it quits after the running handler), then prints the VCD
# trace, compressed. QEMU's trace log is kept as $work/NAME/trace.log.
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
${WRAPPER:-} timeout -s TERM $seconds /rig/velmorin
rc=\$?
if [ -f /tmp/t.vcd ]; then echo VCD-BEGIN; gzip -c /tmp/t.vcd | base64; echo VCD-END; fi
exit \$rc
EOS
    chmod +x "$work/$name.sh"
    "$rig" -m 512 -T 150 -k "$work/$name" "${opts[@]}" "${envs[@]}" -f "$velmorin:/rig/velmorin" \
        -f "$plugin" "$work/$name.sh" >"$work/$name.out" 2>"$work/$name.err"
    echo $? >"$work/$name.rc"
    # The byte list is what follows the rig's header lines.
    sed -n '/^--- data register writes/,$p' "$work/$name.out" | tail -n +2 >"$work/$name.bytes"
    sed -n '/^VCD-BEGIN/,/^VCD-END/p' "$work/$name.out" | sed '1d;$d' | base64 -d 2>/dev/null |
        gunzip -c >"$work/$name.vcd" 2>/dev/null || true
    grep -E '^velmorin' "$work/$name.out" | head -n 3
}
count() { wc -w <"$work/$1.bytes" | tr -d ' '; }
status() { cat "$work/$1.rc"; }
output() { sed -n '/^--- program output ---/,/^--- exit status/p' "$work/$1.out"; }
said() { output "$1" | grep -o 'velmorin : .*' | head -n 1; }

start=$(date +%s)
finish() {
    echo "$1: $(($(date +%s) - start)) s"
    if [ "$failures" -gt 0 ]; then
        echo "$failures kernel check(s) failed"
        exit 1
    fi
    exit 0
}
