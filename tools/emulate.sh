#!/usr/bin/env bash
# Runs COMMAND where the kernel cannot execute 32-bit x86 code, with Wine's 32-bit loader under
# qemu's user-mode emulator: in user, mount and PID namespaces of its own, whose binfmt_misc
# instance (Linux 6.7 and later) hands i386 ELF programs to qemu-i386. The machine's own
# binfmt_misc is neither mounted nor written; everything COMMAND starts ends with it, and its
# /tmp (X server locks and sockets, wineserver's socket) is a tmpfs that goes with it too.
# Usage: emulate.sh COMMAND [ARGUMENTS], with QEMU_I386 from tools/wine.sh.
set -euo pipefail

: "${QEMU_I386:?set by tools/wine.sh to the path of qemu-i386}"
if [ -z "${TRV_EMULATED:-}" ]; then
    TRV_EMULATED=1 exec unshare --user --map-root-user --mount --pid --fork --mount-proc \
        --kill-child bash "$0" "$@"
fi

# The i386 ELF header (executables and shared objects) and its mask; F opens the emulator now,
# so that the registration holds in whatever the mount namespace shows later.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
printf '%s' ":trv-i386:M::$magic:$mask:$QEMU_I386:F" >/proc/sys/fs/binfmt_misc/register
mount -t tmpfs tmpfs /tmp
"$@"
