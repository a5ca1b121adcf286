#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and is missing.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev cppcheck
          g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          wine wine64 wine32:i386 wine64-tools xvfb x11-utils imagemagick zip)

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
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
