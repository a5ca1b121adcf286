# Sourced by the scripts that run a Windows program: how this machine runs TRV.EXE, and a
# fresh Wine prefix and X server for each run (docs/testing.md, the three ways TRV.EXE runs).

TRV_ROOT=$(realpath "$(dirname "${BASH_SOURCE[0]}")/..")
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=${TRV_WINEDEBUG:--all}
export QEMU_I386=/usr/bin/qemu-i386 # read by tools/emulate.sh too
QEMU_LEAST_MAJOR=8 # qemu 7 ignores MAP_FIXED_NOREPLACE: Wine's loader then starts in minutes

# choose_wine [--no-emulation] NAME SCRIPT [ARGUMENTS] prints "NAME: " and the way chosen and
# why (kept in TRV_WAY_LINE too), and sets TRV_WAY (native, emulated or win64), TRV_BUILD (the
# preset) and WINE. Emulated, SCRIPT runs again with ARGUMENTS inside tools/emulate.sh's
# namespaces, and choose_wine does not return; --no-emulation takes win64 instead.
choose_wine() {
    local emulation=1 name out="" why
    [ "$1" = --no-emulation ] && { emulation=""; shift; }
    name=$1
    shift
    TRV_BUILD=win32 WINE=wine
    if [ -n "${TRV_EMULATED:-}" ]; then # the second run, inside; the line is said already
        TRV_WAY=emulated
        return 0
    fi
    if [ -n "${TRV_WIN64:-}" ]; then
        why="TRV_WIN64 is set"
    elif [ ! -e /usr/lib/wine/wine ]; then
        why="wine32:i386 is not installed"
    elif [ -z "${TRV_EMULATE:-}" ] && out=$(/usr/lib/wine/wine --version 2>&1); then
        TRV_WAY=native
        say_way "$name: the real TRV.EXE, natively: Wine's 32-bit loader runs on this machine"
        return 0
    else
        why=${TRV_EMULATE:+TRV_EMULATE is set}
        why=${why:-this machine cannot run 32-bit x86 programs (/usr/lib/wine/wine --version: ${out##*: })}
        if [ -z "$emulation" ]; then
            why="$why; an emulator's timings would say nothing of TRV.EXE"
        elif emulation_runs; then
            say_way "$name: the real TRV.EXE under user-mode emulation ($QEMU_VERSION): $why"
            TRV_WAY=emulated exec bash "$TRV_ROOT/tools/emulate.sh" bash "$@"
        elif [ -n "${TRV_EMULATE:-}" ]; then
            echo "$name: TRV_EMULATE is set, but $EMULATION_WHY_NOT" >&2
            return 1
        else
            why="$why, and $EMULATION_WHY_NOT"
        fi
    fi
    say_way "$name: TRV.EXE built for x86-64 from the same sources: $why"
    # Debian's wine wrapper would take the 32-bit loader whenever it is installed.
    TRV_WAY=win64 TRV_BUILD=win64 WINE=/usr/lib/wine/wine64
    export WINELOADER=$WINE
}

say_way() {
    TRV_WAY_LINE="$1; on Debian $(. /etc/os-release && echo "$VERSION_ID"),"
    TRV_WAY_LINE+=" $(/usr/lib/wine/wine64 --version)"
    echo "$TRV_WAY_LINE"
}

# True where qemu-i386 is installed and recent enough; otherwise EMULATION_WHY_NOT says why.
# Sets QEMU_VERSION.
emulator_recent() {
    local major
    if [ ! -x "$QEMU_I386" ]; then
        EMULATION_WHY_NOT="no emulator ($QEMU_I386: qemu-user, which tools/setup.sh installs)"
        return 1
    fi
    QEMU_VERSION=$("$QEMU_I386" --version | head -n 1 | sed 's/ (.*//')
    major=$(echo "$QEMU_VERSION" | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
    [ "${major:-0}" -ge "$QEMU_LEAST_MAJOR" ] && return 0
    EMULATION_WHY_NOT="$QEMU_VERSION is older than $QEMU_LEAST_MAJOR"
    return 1
}

# True where Wine's 32-bit loader answers under the emulator, in tools/emulate.sh's namespaces.
emulation_runs() {
    emulator_recent || return 1
    bash "$TRV_ROOT/tools/emulate.sh" /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
    EMULATION_WHY_NOT="Wine's loader did not run under $QEMU_VERSION in namespaces of its own"
    return 1
}

# The URI of this machine's Debian mirror for SUITE, as apt's sources give it.
mirror() { apt-get indextargets --format '$(RELEASE) $(REPO_URI)' | awk -v s="$1" '$1 == s { print $2; exit }'; }

# warn NAME TEXT...: TEXT boxed in the last lines of a script, for what it had to do without.
warn() {
    local rule="$1: ***********************************************************************************"
    { echo "$rule"; fold -s -w 82 <<<"WARNING: ${*:2}" | sed "s/ *\$//; s/^/$1: /"; echo "$rule"; } >&2
}

# Brings TARGETS of a preset up to date, quietly unless it fails: build_preset PRESET TARGETS.
build_preset() {
    local out
    out=$(cd "$TRV_ROOT" && cmake --preset "$1" 2>&1 && cmake --build --preset "$1" --target "${@:2}" 2>&1) ||
        { echo "$out" >&2; return 1; }
}

# wine_session DIR WIDTHxHEIGHT: a fresh DIR with a prefix DIR/prefix (WINEPREFIX), a driver's
# folder DIR/work (WORK) and an X server of its own (DISPLAY, XVFB_PID), which end with the
# script, after ON_EXIT if the caller set it.
wine_session() {
    rm -rf "$1"
    WORK=$1/work
    mkdir -p "$WORK"
    export WINEPREFIX=$1/prefix
    start_xvfb "$2"
    trap end_wine_session EXIT
    timeout 180 "$WINE" wineboot.exe -i >"$1/wineboot.log" 2>&1
    timeout 60 wineserver -w
    # Wine draws the caption buttons from the Marlett font, and does not look for it where
    # Debian's fonts-wine puts it.
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
}

end_wine_session() {
    eval "${ON_EXIT:-}"
    wineserver -k >/dev/null 2>&1 || true
    kill "$XVFB_PID" >/dev/null 2>&1 && wait "$XVFB_PID" 2>/dev/null || true
}

# The Windows path of a file in WINEPREFIX's view.
winpath() { "$WINE" winepath.exe -w "$1" 2>/dev/null; }

# in_desktop SECONDS DRIVER [ARGUMENTS]: a driver (driver/driver.h) in a Wine virtual desktop,
# which draws the frames that plain Xvfb lacks, bounded in time, in WORK (TRV_WORK to it); then
# the output it wrote to WORK/output.txt, as the desktop passes none on. Status: timeout's.
in_desktop() {
    local status=0
    export TRV_WORK TRV_OUTPUT
    TRV_WORK=$(winpath "$WORK") TRV_OUTPUT=$(winpath "$WORK/output.txt")
    (cd "$WORK" && timeout "$1" "$WINE" explorer.exe /desktop=trv,1024x768 "${@:2}") || status=$?
    cat "$WORK/output.txt" 2>/dev/null || true
    return $status
}

# start_xvfb WIDTHxHEIGHT starts Xvfb on a display it finds free itself (-displayfd), which
# also passes over one whose socket a server in another root holds, where this /tmp shows no
# lock; it exports DISPLAY once the server answers and sets XVFB_PID. Under emulation it lists
# the server's lock and socket files in TRV_X_FILES, for tools/emulate.sh to remove.
start_xvfb() {
    local numbers
    numbers=$(mktemp)
    # Without RandR: from Xvfb's (one output, no provider) Wine 10's 32-bit processes made a
    # second screen above the first, and kept the pointer on it.
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -extension RANDR 3>"$numbers" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$numbers" ] && break
        sleep 0.1
    done
    export DISPLAY=:$(cat "$numbers")
    rm -f "$numbers"
    [ "$DISPLAY" != : ] || { echo "Xvfb did not start" >&2; return 1; }
    [ -z "${TRV_X_FILES:-}" ] || echo "/tmp/.X${DISPLAY#:}-lock /tmp/.X11-unix/X${DISPLAY#:}" >>"$TRV_X_FILES"
}
