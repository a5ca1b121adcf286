#!/usr/bin/env bash
# Installs from Debian's packages whatever the build and the tests need and is missing
# (docs/building.md, what set-up installs).
set -euo pipefail
source "$(dirname "$0")/wine.sh"

packages=(cmake ninja-build g++ libgtest-dev librapidcheck-dev cppcheck tidy halibut
          g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 wine32:i386 wine64-tools fonts-wine xvfb x11-utils imagemagick zip mount)
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
backports=$codename-backports

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Where the native loader runs, nothing is wanted from backports, unless TRV_EMULATE asks for
# the emulated way all the same.
needs_emulator() {
    local loader=/usr/lib/wine/wine
    { [ -n "${TRV_EMULATE:-}" ] || { [ -e $loader ] && ! $loader --version >/dev/null 2>&1; }; } &&
        ! emulator_recent
}
[ ${#missing[@]} -eq 0 ] && ! needs_emulator && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (run as root to install): ${missing[*]:-qemu-user from $backports}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
apt_get() { apt-get -o Acquire::Retries=3 "$@"; }

# A mirror in mid-sync can fail one index; apt keeps the others, and so do we.
update() {
    apt_get update -qq >"$log" 2>&1 && return 0
    grep -E '^(E|W): Failed to fetch' "$log" | sed 's/^[EW]: Failed to fetch/setup: WARNING: index not updated:/' >&2 ||
        cat "$log" >&2
}

install() {
    echo "setup: installing $*"
    apt_get install -y -qq --no-install-recommends "$@" >"$log" 2>&1 && return 0
    grep -E '^(E:| .* (but|is not going to be installed))' "$log" | head -n 12 >&2 || tail -n 12 "$log" >&2
    return 1
}

install_packages() {
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    update
    install "${missing[@]}" && return 0
    # A security update whose i386 build lands after its amd64 one leaves a multiarch pair
    # with no common version; the base release has one for both architectures.
    echo "setup: the install failed; again, preferring $codename for both architectures (-t $codename)"
    install -t "$codename" "${missing[@]}" && return 0
    local rest=() p
    for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
    [ ${#rest[@]} -lt ${#missing[@]} ] || return 1
    echo "setup: again, without wine32:i386"
    install -t "$codename" "${rest[@]}" || return 1
    warn setup "wine32:i386 could not be installed from the archive today. Without it Wine" \
        "runs no 32-bit program: the end-to-end suite and tools/run.sh use TRV.EXE built for" \
        "x86-64 from the same sources, and the benchmarks measure that build. Run set-up again" \
        "later."
}

# qemu 8 or later, from the release's backports where the release has none (docs/building.md);
# not qemu-user-static, which registers the emulators for the whole machine.
install_emulator() {
    local candidate from=()
    candidate=$(apt-cache policy qemu-user | sed -n 's/ *Candidate: \([0-9]*:\)\{0,1\}\([0-9]*\).*/\2/p')
    if [ "${candidate:-0}" -lt "$QEMU_LEAST_MAJOR" ]; then
        cat >/etc/apt/sources.list.d/trv-backports.sources <<SOURCES
Types: deb
URIs: $(mirror "$codename")
Suites: $backports
Components: main
SOURCES
        cat >/etc/apt/preferences.d/trv-backports <<PIN
Package: *
Pin: release n=$backports
Pin-Priority: -10

Package: qemu-user
Pin: release n=$backports
Pin-Priority: 500
PIN
        update
        from=(-t "$backports")
    fi
    install "${from[@]}" qemu-user && emulator_recent && return 0
    warn setup "qemu-user (version $QEMU_LEAST_MAJOR or later), which runs Wine's 32-bit loader" \
        "where this machine cannot or TRV_EMULATE asks for it, could not be installed. Where" \
        "the loader does not run natively, the end-to-end suite and tools/run.sh use TRV.EXE" \
        "built for x86-64 from the same sources. Run set-up again later."
}

[ ${#missing[@]} -eq 0 ] || install_packages
! needs_emulator || install_emulator
