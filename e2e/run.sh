#!/usr/bin/env bash
# Runs the end-to-end driver under Wine, in a fresh prefix, on an X server of its own.
# Usage: run.sh DRIVER.EXE TRV.EXE [gtest options]. Where Wine cannot run that TRV.EXE (see
# tools/wine.sh), the same suite runs on the x86-64 build of the same sources instead.
set -euo pipefail
trap 'echo "e2e: run.sh stopped at line $LINENO: $BASH_COMMAND" >&2' ERR
driver=$(realpath "$1")
exe=$(realpath "$2")
shift 2
source "$(dirname "$(realpath "$0")")/../tools/wine.sh"
choose_wine
if [ "$TRV_BUILD" = win64 ]; then
    echo "e2e: $TRV_WHY: testing TRV.EXE built for x86-64 from the same sources"
    build_win64 e2e_driver TRV help_file
    driver=$TRV_ROOT/build/win64/e2e/e2e_driver.exe exe=$TRV_ROOT/build/win64/trv/TRV.EXE
else
    echo "e2e: testing $exe"
fi
build=$(dirname "$(dirname "$driver")")
run=$build/e2e-run
shots=$build/screenshots
rm -rf "$run"
mkdir -p "$run/work" "$shots"
export WINEPREFIX=$run/prefix

start_xvfb 1024x768 90 140
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$XVFB_PID" >/dev/null 2>&1 || true
}
trap cleanup EXIT
make_prefix "$run/wineboot.log"

# A copy of the program in the root of a drive of its own, T:.
mkdir -p "$run/troot"
cp "$exe" "$run/troot/TRV.EXE"
ln -s "$run/troot" "$WINEPREFIX/dosdevices/t:"
cp "$exe" "$run/work/TRV.EXE"
cp "$(dirname "$exe")/TRV.HLP" "$run/work/TRV.HLP"

export TRV_EXE TRV_WORK
TRV_EXE=$(winpath "$run/work/TRV.EXE")
TRV_WORK=$(winpath "$run/work")
cd "$run/work"
# Inside a Wine virtual desktop windows get captions and frames, and closing a window does
# not wait for a window manager that plain Xvfb lacks. The desktop does not pass the driver's
# exit code on, so the verdict is read from the driver's report.
report=$run/report.xml
status=0
timeout 400 "$WINE" explorer.exe /desktop=e2e,1024x768 "$driver" --gtest_color=no \
    --gtest_output="xml:$(winpath "$report")" "$@" || status=$?
if [ "$status" -eq 0 ]; then
    if [ ! -s "$report" ]; then
        echo "e2e: the driver wrote no report" >&2
        status=1
    elif ! head -n 3 "$report" | grep -q '<testsuites tests="[1-9][0-9]*" failures="0" disabled="0" errors="0"'; then
        status=1
    fi
fi

for bmp in "$run"/work/*.bmp; do
    [ -e "$bmp" ] || continue
    png=$shots/$(basename "${bmp%.bmp}").png
    convert "$bmp" "$png" && echo "e2e: screenshot $png"
done
exit $status
