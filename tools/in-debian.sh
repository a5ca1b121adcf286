#!/usr/bin/env bash
# in-debian.sh RELEASE COMMAND [ARGUMENTS]: a command of this checkout in a fresh root of Debian
# RELEASE, 12 or 13 (docs/testing.md, other Debian releases). A root that cannot be made is a
# boxed warning and exit code 75. bubblewrap enters it with the machine's own /proc: in a
# chroot, or under a /proc partly covered, tools/emulate.sh can make no namespaces.
set -euo pipefail
source "$(dirname "$0")/wine.sh"
declare -A SUITES=([12]=bookworm [13]=trixie)
release=${1:-none}
suite=${SUITES[$release]:?usage: in-debian.sh 12|13 COMMAND [ARGUMENTS]}
shift
command -v mmdebstrap >/dev/null && command -v bwrap >/dev/null ||
    apt-get install -y -qq --no-install-recommends mmdebstrap bubblewrap >/dev/null
host=$(. /etc/os-release && echo "$VERSION_CODENAME")
sources=("deb $(mirror "$host") $suite $suite-updates main")
security=$(mirror "$host-security")
[ -z "$security" ] || sources+=("deb $security $suite-security main")

root=$(mktemp -d "/var/tmp/trv-debian$release.XXXXXX") && chmod 755 "$root"
ending() { # whatever the command left running there ends first
    local task id=$(stat -c %d:%i "$root")
    for task in /proc/[0-9]*; do
        [ "$(stat -L -c %d:%i "$task/root")" != "$id" ] || kill -KILL "${task#/proc/}"
    done 2>/dev/null
    rm -rf "$root"
}
trap ending EXIT
echo "in-debian: making a Debian $release ($suite) root in $root"
if ! mmdebstrap --variant=apt --quiet "$suite" "$root" "${sources[@]}"; then
    warn in-debian "A Debian $release root could not be made today (the archive unreachable or" \
        "in mid-update): nothing ran in it."
    exit 75
fi
mkdir "$root/trv"
git -C "$TRV_ROOT" ls-files -z -co --exclude-standard | tar -C "$TRV_ROOT" --null -T - -c |
    tar -C "$root/trv" -x
bwrap --bind "$root" / --bind /proc /proc --ro-bind /sys /sys --dev /dev \
    --perms 1777 --tmpfs /tmp --die-with-parent --chdir /trv \
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 ${CI:+CI=$CI} \
    $(env | grep -E '^TRV_[A-Z0-9_]+=' || true) "$@"
