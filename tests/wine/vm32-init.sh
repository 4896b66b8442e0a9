#!/bin/sh
# Test harness: the first and only process of the 32-bit test machine (see vm32.sh). Mounts the
# host's shared folders at their own paths, runs the job's command, leaves its exit status in the
# job folder and powers off.
mount -t proc proc /proc 2>/dev/null
mount -t sysfs sys /sys 2>/dev/null
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/shm /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
modprobe 9pnet_virtio
modprobe 9p
hostname tandemere-vm32

opts=trans=virtio,version=9p2000.L,msize=1048576,cache=none
mkdir -p /job
mount -t 9p -o "$opts" job /job
i=0
while read -r path; do
    mkdir -p "$path"
    mount -t 9p -o "$opts" "share$i" "$path"
    i=$((i + 1))
done </job/shares

export HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8
echo "== vm: up ($(uname -r), $(nproc) processors)"
# Through a pipe, not on the console: a program writing to a terminal gets Wine's console
# emulation, whose cursor codes garble the test output.
{ sh /job/command </dev/null; echo $? >/job/status; } 2>&1 | cat
sync
echo "== vm: command ended with exit status $(cat /job/status)"
umount -a -t 9p 2>/dev/null
echo 1 >/proc/sys/kernel/sysrq
echo o >/proc/sysrq-trigger
sleep 30
