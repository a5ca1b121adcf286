#!/usr/bin/env bash
# Runs the end-to-end driver under Wine, in a fresh prefix, on an X server of its own.
# Usage: run.sh DRIVER.EXE TRV.EXE [gtest options]
set -euo pipefail
driver=$(realpath "$1")
exe=$(realpath "$2")
shift 2
build=$(dirname "$(dirname "$driver")")
run=$build/e2e-run
shots=$build/screenshots
rm -rf "$run"
mkdir -p "$run/work" "$shots"

export WINEPREFIX=$run/prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all

# TRV.EXE runs through Wine's 32-bit x86 loader. A kernel that cannot execute 32-bit x86
# programs at all (some virtual machines have no 32-bit mode) can run nothing of this suite:
# say so and end as skipped (77, which CTest reports as "Skipped"), never as passed.
if ! wine --version >/dev/null 2>&1; then
    echo "e2e: SKIPPED: this machine cannot run Wine's 32-bit x86 loader:" \
         "$(wine --version 2>&1 | tail -n 1)" >&2
    exit 77
fi

source "$(dirname "$(realpath "$0")")/../tools/xvfb.sh"
start_xvfb 1024x768 90 140
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$XVFB_PID" >/dev/null 2>&1 || true
}
trap cleanup EXIT

timeout 180 wineboot -i >"$run/wineboot.log" 2>&1
timeout 60 wineserver -w

# A copy of the program in the root of a drive of its own, T:.
mkdir -p "$run/troot"
cp "$exe" "$run/troot/TRV.EXE"
ln -s "$run/troot" "$WINEPREFIX/dosdevices/t:"
cp "$exe" "$run/work/TRV.EXE"
cp "$(dirname "$exe")/TRV.HLP" "$run/work/TRV.HLP"

export TRV_EXE
TRV_EXE=$(winepath -w "$run/work/TRV.EXE" 2>/dev/null)
export TRV_WORK
TRV_WORK=$(winepath -w "$run/work" 2>/dev/null)
cd "$run/work"
# Inside a Wine virtual desktop windows get captions and frames, and closing a window does
# not wait for a window manager that plain Xvfb lacks. The desktop does not pass the driver's
# exit code on, so the verdict is read from the driver's report.
report=$run/report.xml
status=0
timeout 400 wine explorer /desktop=e2e,1024x768 "$driver" --gtest_color=no \
    --gtest_output="xml:$(winepath -w "$report" 2>/dev/null)" "$@" || status=$?
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
