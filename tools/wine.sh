# Sourced by the scripts that run a Windows program (tools/run.sh, e2e/run.sh, bench/run.sh):
# the one place that decides which Wine and which build of TRV.EXE this machine runs, and
# what they all need: a fresh Wine prefix and an X server of their own.

TRV_ROOT=$(realpath "$(dirname "${BASH_SOURCE[0]}")/..")
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all

# Sets TRV_BUILD to win32 (the real TRV.EXE, for i386) where Wine's 32-bit loader runs, and
# otherwise to win64 (the x86-64 build of the same sources, under 64-bit Wine alone), with
# TRV_WHY saying why; WINE is the loader to call. TRV_WIN64=1 forces win64 on any machine.
choose_wine() {
    local out
    if [ -n "${TRV_WIN64:-}" ]; then
        TRV_WHY="TRV_WIN64 is set"
    elif [ ! -e /usr/lib/wine/wine ]; then
        TRV_WHY="wine32:i386 is not installed"
    elif out=$(/usr/lib/wine/wine --version 2>&1); then
        TRV_BUILD=win32 WINE=wine
        return 0
    else
        TRV_WHY="this machine cannot run 32-bit x86 programs (/usr/lib/wine/wine --version: ${out##*: })"
    fi
    # Debian's wine wrapper would take the 32-bit loader whenever it is installed.
    TRV_BUILD=win64 WINE=/usr/lib/wine/wine64
    export WINELOADER=$WINE
}

# Brings TARGETS of the x86-64 build up to date; it is built only where it is used.
build_win64() {
    local out
    out=$(cd "$TRV_ROOT" && cmake --preset win64 2>&1 && cmake --build --preset win64 --target "$@" 2>&1) ||
        { echo "$out" >&2; return 1; }
}

# A fresh prefix in WINEPREFIX, logging to LOG. Wine draws the caption buttons from the
# Marlett font, and does not look for it where Debian's fonts-wine puts it.
make_prefix() {
    timeout 180 "$WINE" wineboot.exe -i >"$1" 2>&1
    timeout 60 wineserver -w
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
}

# The Windows path of a file in WINEPREFIX's view.
winpath() { "$WINE" winepath.exe -w "$1" 2>/dev/null; }

# start_xvfb WIDTHxHEIGHT FIRST LAST starts Xvfb on the first free display from FIRST to LAST,
# waits until it answers, exports DISPLAY and sets XVFB_PID.
start_xvfb() {
    local size=$1 n display=""
    for n in $(seq "$2" "$3"); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=$n; break; }
    done
    [ -n "$display" ] || { echo "no free X display" >&2; return 1; }
    Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$display"
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start" >&2
    return 1
}
