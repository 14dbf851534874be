#!/bin/bash
# build-initramfs.sh - prepare the qemu-lpt rig: Debian kernel + base initramfs.
#
# Produces in $LPTRIG_CACHE (default /tmp/qemu-lpt/cache):
#   vmlinuz      Debian's kernel (linux-image-<ver>-amd64, unpacked, never installed)
#   base.cpio    busybox-static, parport/parport_pc/ppdev and i2c-piix4/i2c-dev modules, /init,
#                /rig/bin/lptmark (trace markers), /rig/bin/lpttest (self test)
#   kernel-version
# Needs: qemu-system-x86 busybox-static cpio gcc libc6-dev (installed via
# apt-get when missing and running as root).  Env: LPTRIG_KVER=6.1.0-57-amd64
# pins a kernel; LPTRIG_FORCE=1 rebuilds.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CACHE=${LPTRIG_CACHE:-/tmp/velmorin-qemu-lpt/cache}
mkdir -p "$CACHE/debs"

log() { echo "build-initramfs: $*" >&2; }
die() { log "error: $*"; exit 1; }

# --- host packages -----------------------------------------------------------
need=()
command -v qemu-system-x86_64 >/dev/null || need+=(qemu-system-x86)
[ -x /bin/busybox ] && /bin/busybox --list 2>/dev/null | grep -qx insmod || need+=(busybox-static)
command -v cpio >/dev/null || need+=(cpio)
command -v gcc >/dev/null || need+=(gcc)
[ -f /usr/lib/x86_64-linux-gnu/libc.a ] || need+=(libc6-dev)
command -v xz >/dev/null || need+=(xz-utils)
if [ ${#need[@]} -gt 0 ]; then
    [ "$(id -u)" = 0 ] || die "missing packages: ${need[*]} (apt-get install them)"
    log "installing ${need[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}" >&2 \
        || { apt-get update >&2 && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}" >&2; }
fi
if ! file -L /bin/busybox | grep -q 'statically linked'; then
    die "/bin/busybox is not static; install busybox-static"
fi

# --- kernel ------------------------------------------------------------------
KVER=${LPTRIG_KVER:-}
if [ -z "$KVER" ]; then
    KVER=$(apt-cache depends linux-image-amd64 2>/dev/null |
           sed -n 's/.*Depends: linux-image-\(.*-amd64\)$/\1/p' | head -n1)
    if [ -z "$KVER" ]; then
        apt-get update >&2
        KVER=$(apt-cache depends linux-image-amd64 |
               sed -n 's/.*Depends: linux-image-\(.*-amd64\)$/\1/p' | head -n1)
    fi
fi
[ -n "$KVER" ] || die "cannot determine kernel version (set LPTRIG_KVER)"
case $KVER in *cloud*) die "cloud kernels lack parport modules; use a plain -amd64 kernel";; esac

if [ -z "${LPTRIG_FORCE:-}" ] && [ -f "$CACHE/base.cpio" ] && [ -f "$CACHE/vmlinuz" ] &&
   [ "$(cat "$CACHE/kernel-version" 2>/dev/null)" = "$KVER" ] &&
   [ -z "$(find "$HERE/guest-init.sh" "$HERE/src" "$0" -newer "$CACHE/base.cpio" 2>/dev/null)" ]; then
    exit 0   # up to date
fi

deb=$(ls "$CACHE"/debs/linux-image-"$KVER"_*.deb 2>/dev/null | head -n1 || true)
if [ -z "$deb" ]; then
    log "downloading linux-image-$KVER"
    (cd "$CACHE/debs" && { apt-get download "linux-image-$KVER" 2>&1 | grep -v unsandboxed >&2 ||
        { apt-get update >&2 && apt-get download "linux-image-$KVER" >&2; }; })
    deb=$(ls "$CACHE"/debs/linux-image-"$KVER"_*.deb | head -n1)
fi
kdir="$CACHE/kpkg-$KVER"
if [ ! -d "$kdir/boot" ]; then
    log "unpacking $(basename "$deb")"
    rm -rf "$kdir"; mkdir -p "$kdir"; dpkg -x "$deb" "$kdir"
fi
moddir=$(ls -d "$kdir"/lib/modules/*/ "$kdir"/usr/lib/modules/*/ 2>/dev/null | head -n1 || true)
[ -n "$moddir" ] || die "no modules in $deb"

# --- root tree ---------------------------------------------------------------
root=$(mktemp -d "$CACHE/root.XXXXXX")
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/{bin,dev,proc,sys,tmp,rig/bin,lib/modules}
cp /bin/busybox "$root/bin/busybox"

# Copy a module (decompressing .ko.xz/.ko.zst/.ko.gz: busybox insmod takes plain .ko).
fetch_mod() {
    local name=$1 f
    local pat; pat=$(printf '%s' "$name" | sed 's/[-_]/[-_]/g')   # i2c_smbus matches i2c-smbus.ko
    f=$(find "$moddir" -regex ".*/${pat}\.ko\(\.xz\|\.zst\|\.gz\)?" | head -n1)
    [ -n "$f" ] || die "module $name not found in $moddir"
    case $f in
        *.xz) xz -dc "$f" ;; *.zst) zstd -dcq "$f" ;; *.gz) gzip -dc "$f" ;; *) cat "$f" ;;
    esac > "$root/lib/modules/$name.ko"
}
# Load order: dependencies first (read from each module's depends= string).
order=()
add_mod() {
    local name=$1 dep deps
    for dep in "${order[@]}"; do [ "$dep" = "$name" ] && return 0; done
    fetch_mod "$name"
    deps=$(strings "$root/lib/modules/$name.ko" | sed -n 's/^depends=//p' | head -n1 | tr ',' ' ')
    for dep in $deps; do add_mod "${dep//-/_}"; done
    order+=("$name")
}
for m in parport parport_pc ppdev i2c-piix4 i2c-i801 i2c-dev; do add_mod "$m"; done
printf '%s\n' "${order[@]}" > "$root/lib/modules/load-order"
log "modules: ${order[*]}"

# Optional modules: in the initramfs but not loaded at boot. A guest program loads what it needs
# with `modload NAME...`, which loads the dependencies first (lib/modules/deps/NAME lists them).
# USB: xhci_pci (QEMU's -device qemu-xhci) with ftdi_sio (-device usb-serial) and cdc_acm;
# HID: uhid (userspace HID devices), hid_generic (gives each one a /dev/hidrawN) and the
# USB-I2C bridges' drivers, which make a bridge an I2C adapter (/dev/i2c-N) instead.
mkdir -p "$root/lib/modules/deps"
for m in uhid hid_generic hid_mcp2221 hid_cp2112 hid_ft260 xhci_pci ftdi_sio cdc_acm; do
    order=(); add_mod "$m"
    printf '%s\n' "${order[@]}" > "$root/lib/modules/deps/$m"
done
log "optional modules: $(ls "$root/lib/modules/deps" | tr '\n' ' ')"
install -m 0755 "$HERE/src/modload.sh" "$root/rig/bin/modload"

gcc -static -O2 -Wall -Wextra -o "$root/rig/bin/lptmark" "$HERE/src/lptmark.c"
gcc -static -O2 -Wall -Wextra -o "$root/rig/bin/lpttest" "$HERE/src/lpttest.c"
install -m 0755 "$HERE/guest-init.sh" "$root/init"

(cd "$root" && find . | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet) > "$CACHE/base.cpio.tmp"
mv "$CACHE/base.cpio.tmp" "$CACHE/base.cpio"
cp "$kdir/boot/vmlinuz-$KVER" "$CACHE/vmlinuz"
cp "$root/rig/bin/lpttest" "$root/rig/bin/lptmark" "$CACHE/"
echo "$KVER" > "$CACHE/kernel-version"
log "ready: $CACHE/vmlinuz $CACHE/base.cpio ($(du -h "$CACHE/base.cpio" | cut -f1), kernel $KVER)"
