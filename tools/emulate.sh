#!/usr/bin/env bash
# Runs COMMAND with 32-bit programs under qemu-i386, in namespaces of its own (docs/testing.md,
# the three ways TRV.EXE runs). Usage: emulate.sh COMMAND [ARGUMENTS], QEMU_I386 from wine.sh.
set -euo pipefail

: "${QEMU_I386:?set by tools/wine.sh to the path of qemu-i386}"
if [ -z "${TRV_EMULATED:-}" ]; then
    # An X server inside dies with the namespace, perhaps before it could remove its lock and
    # socket files: start_xvfb lists them in TRV_X_FILES, and they go when the command ends.
    export TRV_X_FILES
    TRV_X_FILES=$(mktemp)
    trap 'xargs -r rm -f <"$TRV_X_FILES"; rm -f "$TRV_X_FILES"' EXIT
    # Waited for in the background, so that a signal here ends the namespace (unshare itself
    # ignores TERM and INT while it waits) and then cleans up.
    TRV_EMULATED=1 unshare --user --map-root-user --mount --pid --fork --mount-proc \
        --kill-child bash "$0" "$@" <&0 &
    trap 'kill -KILL "$!"; wait; exit 143' TERM INT
    wait "$!"
    exit
fi

# The i386 ELF header (executables and shared objects) and its mask; F opens the emulator now,
# so that the registration holds in whatever the mount namespace shows later.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
printf '%s' ":trv-i386:M::$magic:$mask:$QEMU_I386:F" >/proc/sys/fs/binfmt_misc/register
"$@"
