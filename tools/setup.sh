#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and is missing.
# An archive in mid-update does not stop it: an index that fails to update is a warning, an
# install that fails is tried again from the base release, and wine32:i386 alone may be left
# out (the end-to-end suite then tests the x86-64 build; see tools/wine.sh).
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev cppcheck tidy
          g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 wine32:i386 wine64-tools fonts-wine xvfb x11-utils imagemagick zip)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (run as root to install): ${missing[*]}" >&2
    exit 1
fi
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
apt_get() { apt-get -o Acquire::Retries=3 "$@"; }

# A mirror in mid-sync can fail one index; apt keeps the others, and so do we.
if ! apt_get update -qq >"$log" 2>&1; then
    grep -E '^(E|W): Failed to fetch' "$log" | sed 's/^[EW]: Failed to fetch/setup: WARNING: index not updated:/' >&2 ||
        cat "$log" >&2
fi

install() {
    echo "setup: installing $*"
    apt_get install -y -qq --no-install-recommends "$@" >"$log" 2>&1 && return 0
    grep -E '^(E:| .* (but|is not going to be installed))' "$log" | head -n 12 >&2 || tail -n 12 "$log" >&2
    return 1
}

install "${missing[@]}" && exit 0

# A security update whose i386 build lands after its amd64 one leaves a multiarch pair with
# no common version; the base release has one for both architectures.
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
echo "setup: the install failed; again, preferring $codename for both architectures (-t $codename)"
install -t "$codename" "${missing[@]}" && exit 0

rest=()
for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
[ ${#rest[@]} -lt ${#missing[@]} ] || exit 1
echo "setup: again, without wine32:i386"
install -t "$codename" "${rest[@]}" || exit 1
cat >&2 <<'EOF'
setup: ***********************************************************************************
setup: WARNING: wine32:i386 could not be installed from the archive today. Without it Wine
setup: runs no 32-bit program: the end-to-end suite and tools/run.sh use TRV.EXE built for
setup: x86-64 from the same sources, and the benchmarks cannot run. Run set-up again later.
setup: ***********************************************************************************
EOF
