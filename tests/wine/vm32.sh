#!/usr/bin/env bash
# Test harness: a small Debian virtual machine for the 32-bit Windows tests, on machines whose
# kernel does not run 32-bit programs (some virtual machines boot with ia32_emulation off). Its
# stock kernel runs the 32-bit Wine loader; qemu emulates the whole machine in software.
# (qemu's user-mode emulation of the 32-bit loader alone was tried first: under it Wine's
# per-thread state breaks, and the programs crash or hang at random points.)
#
#   vm32.sh --root DIR make                   build the machine's tree and its Wine prefix once
#                                             (7 to 15 minutes)
#   vm32.sh --root DIR run --share PATH... -- COMMAND...
#                                             boot it, run COMMAND in the current folder with
#                                             each PATH shared at the same place, power off;
#                                             exits with COMMAND's exit status
#   vm32.sh --root DIR wine-run --share PATH... -- PROGRAM ARGS...
#                                             the same for a Windows program, run through
#                                             wine-env.sh in the machine's own prefix
#
# Needs qemu-system-x86, debootstrap and e2fsprogs (mkfs.ext4 -d). One make or run per DIR at a
# time (a lock); every boot starts afresh from the tree that make built.
set -euo pipefail

root=""
if [ "${1:-}" = "--root" ]; then root="$2"; shift 2; fi
[ -n "$root" ] || { echo "vm32.sh: --root DIR is required" >&2; exit 2; }
cmd="${1:-}"; shift || true
mkdir -p "$root"
root="$(cd "$root" && pwd)"
rootfs="$root/rootfs"
disk="$root/disk.img"
here="$(cd "$(dirname "$0")" && pwd)"

# The guest's packages: those the Windows tests need from install-deps.sh, without the compilers.
guest_packages=(linux-image-amd64 kmod udev procps util-linux
                wine wine32:i386 wine64 fonts-wine libxrender1:i386 libxrandr2:i386 libxi6:i386
                libxcursor1:i386 libxcomposite1:i386 libxinerama1:i386 xvfb xauth x11-utils)
# A tree made for another package list is made again.
ready="$root/.ready-$(printf '%s\n' "${guest_packages[@]}" | md5sum | cut -c1-12)"

# The Wine environment the programs run in lies in the tree, on the machine's own disk: made at
# every boot it would cost two minutes, and on the share its files lose sub-second times. A change
# to wine-env.sh makes it again.
wine_env="$here/wine-env.sh"
wine_root=/var/lib/tandemere-wine
wine_ready="$root/.wine-$(md5sum <"$wine_env" | cut -c1-12)"

lock() { exec 9>"$root/lock"; flock 9; }

make_tree() {
    [ -f "$ready" ] && return 0
    # What an interrupted make left mounted is let go first; the removal never crosses into a
    # mount (the host's /dev is bound in while packages install).
    umount "$rootfs/dev" "$rootfs/proc" 2>/dev/null || true
    rm -rf --one-file-system "$rootfs" "$disk"
    rm -f "$root"/.ready-* "$root"/.wine-*
    debootstrap --variant=minbase bookworm "$rootfs" http://deb.debian.org/debian >"$root/debootstrap.log" 2>&1 ||
        { echo "vm32.sh: debootstrap failed, see $root/debootstrap.log" >&2; return 1; }
    cp /etc/resolv.conf "$rootfs/etc/resolv.conf"
    mount -t proc proc "$rootfs/proc"
    mount --bind /dev "$rootfs/dev"
    local rc=0
    chroot "$rootfs" sh -c "dpkg --add-architecture i386 && apt-get update -q &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ${guest_packages[*]} &&
        apt-get clean" >"$root/packages.log" 2>&1 || rc=$?
    umount "$rootfs/dev" "$rootfs/proc"
    [ "$rc" -eq 0 ] || { echo "vm32.sh: installing the guest's packages failed, see $root/packages.log" >&2; return 1; }
    # Old initrds left beside the new one by the kernel's package would only waste disk.
    rm -f "$rootfs"/boot/*.dpkg-bak "$rootfs"/boot/*.new
    touch "$ready"
}

# Made in a boot of the machine, then copied into the tree through a share.
make_wine_env() {
    [ -f "$wine_ready" ] && return 0
    rm -f "$root"/.wine-*
    rm -rf --one-file-system "$rootfs$wine_root"
    mkdir -p "$rootfs$wine_root"
    local script
    script="$(printf '%q --root %q setup && %q --root %q teardown && cp -a %q/. %q/' \
        "$wine_env" "$wine_root" "$wine_env" "$wine_root" "$wine_root" "$rootfs$wine_root")"
    (cd / && start_job "$here" "$rootfs$wine_root" -- sh -c "$script") ||
        { echo "vm32.sh: making the Wine environment in the machine failed" >&2; return 1; }
    touch "$wine_ready"
}

make_all() {
    lock
    make_tree
    make_wine_env
}

# The disk is made afresh from the folder tree on every boot: quick (seconds), and no run sees
# what an earlier one left behind.
boot() {
    local job="$1"
    local kernel initrd
    kernel="$(ls "$rootfs"/boot/vmlinuz-* | tail -n 1)"
    initrd="$(ls "$rootfs"/boot/initrd.img-* | tail -n 1)"
    install -m 755 "$here/vm32-init.sh" "$rootfs/tandemere-init"
    mkfs.ext4 -q -F -d "$rootfs" "$disk" 8G
    local shares=(-virtfs "local,path=$job,mount_tag=job,security_model=none,id=job")
    local i=0 path
    while read -r path; do
        shares+=(-virtfs "local,path=$path,mount_tag=share$i,security_model=none,id=share$i")
        i=$((i + 1))
    done <"$job/shares"
    # The guest's console is this process's output; the firmware's screen codes before the
    # init's first line are dropped.
    # A processor model without SMAP: with it, this qemu faults Wine's 64-bit return to user
    # mode (iretq) inside the guest's kernel.
    qemu-system-x86_64 -m 4G -smp 2 -cpu "${TANDEMERE_VM_CPU:-Nehalem}" -nographic -no-reboot \
        -kernel "$kernel" -initrd "$initrd" \
        -append "root=/dev/vda rw console=ttyS0 quiet panic=-1 init=/tandemere-init" \
        -drive "file=$disk,if=virtio,format=raw" -nic none "${shares[@]}" </dev/null 2>&1 |
        tee "$job/console.log" |
        sed -u -n -e 's/^.*== vm: up/== vm: up/' -e '/^== vm: up/,$p' | tr -d '\r'
}

# Boots the machine once for one command: start_job SHARE... -- COMMAND...
start_job() {
    local shares=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do shares+=("$1"); shift; done
    shift
    local job="$root/job"
    rm -rf "$job"
    mkdir -p "$job"
    printf '%s\n' "${shares[@]}" >"$job/shares"
    {
        printf 'cd %q\n' "$PWD"
        printf 'exec'
        printf ' %q' "$@"
        printf '\n'
    } >"$job/command"
    boot "$job" 9>&-
    [ -f "$job/status" ] || { echo "vm32.sh: the machine stopped before the command ended" >&2; return 1; }
    return "$(cat "$job/status")"
}

# run and wine-run: the shares, then -- and the command.
run() {
    local shares=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        [ "$1" = "--share" ] && [ $# -ge 2 ] || { echo "vm32.sh: $cmd --share PATH... -- COMMAND..." >&2; return 2; }
        shares+=("$(cd "$2" && pwd)"); shift 2
    done
    [ "${1:-}" = "--" ] && [ $# -ge 2 ] || { echo "vm32.sh: $cmd needs -- COMMAND" >&2; return 2; }
    shift
    lock
    [ -f "$ready" ] || { echo "vm32.sh: no machine in $root yet (make first)" >&2; return 1; }
    if [ "$cmd" = "wine-run" ]; then
        [ -f "$wine_ready" ] || { echo "vm32.sh: no Wine environment in $root yet (make first)" >&2; return 1; }
        local share covered=""
        for share in "${shares[@]}"; do
            case "$here/" in "$share"/*) covered=1 ;; esac
        done
        [ -n "$covered" ] || shares+=("$here")
        set -- "$wine_env" --root "$wine_root" run "$@"
    fi
    start_job "${shares[@]}" -- "$@"
}

case "$cmd" in
    make) make_all ;;
    run | wine-run) run "$@" ;;
    *) echo "usage: vm32.sh --root DIR make | run|wine-run --share PATH... -- COMMAND..." >&2; exit 2 ;;
esac
