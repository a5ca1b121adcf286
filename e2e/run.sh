#!/usr/bin/env bash
# Runs the end-to-end driver under Wine, in a fresh prefix, on an X server of its own.
# Usage: run.sh DRIVER.EXE TRV.EXE [gtest options]. How this machine runs TRV.EXE (natively,
# under emulation, or the x86-64 build in its place) is tools/wine.sh's choice.
set -Eeuo pipefail
trap 'echo "e2e: run.sh stopped at line $LINENO: $BASH_COMMAND" >&2' ERR
source "$(dirname "$(realpath "$0")")/../tools/wine.sh"
choose_wine e2e "$0" "$@"
driver=$(realpath "$1")
exe=$(realpath "$2")
shift 2
if [ "$TRV_WAY" = win64 ]; then
    build_preset win64 e2e_driver TRV help_file
    driver=$TRV_ROOT/build/win64/e2e/e2e_driver.exe exe=$TRV_ROOT/build/win64/trv/TRV.EXE
fi
echo "e2e: testing $exe"
build=$(dirname "$(dirname "$driver")")
run=$build/e2e-run
shots=$build/screenshots
wine_session "$run" 1024x768
mkdir -p "$run/work" "$shots"

# A copy of the program in the root of a drive of its own, T:.
mkdir -p "$run/troot"
cp "$exe" "$run/troot/TRV.EXE"
ln -s "$run/troot" "$WINEPREFIX/dosdevices/t:"
cp "$exe" "$run/work/TRV.EXE"
cp "$(dirname "$exe")"/TRV.{HLP,CNT,HTM} "$run/work/"
# The help cases' copies: copy FOLDER [EXTENSIONS [NAME]] puts the program into work/FOLDER
# as NAME, with the files of its help that have EXTENSIONS beside it.
copy() {
    mkdir -p "$run/work/$1"
    cp "$exe" "$run/work/$1/${3:-TRV.EXE}"
    for extension in ${2:-}; do cp "$run/work/TRV.$extension" "$run/work/$1/"; done
}
copy nohelp
copy renamed "" STOPWTCH.EXE
copy viewer "HLP CNT"
# With the page and without, also in folders named in scripts that code page 1252 lacks: Wine
# reads UTF-8 file names, and takes its ANSI code page from the locale.
export LC_ALL=C.UTF-8
for name in "" /Тест "/中文 目录"; do
    copy "page$name" "HLP HTM"
    copy "nopage$name" HLP
done

export TRV_EXE TRV_WORK TRV_OUTPUT
TRV_EXE=$(winpath "$run/work/TRV.EXE")
TRV_WORK=$(winpath "$run/work")
TRV_OUTPUT=$(winpath "$run/work/output.txt")
cd "$run/work"
# Inside a Wine virtual desktop windows get captions and frames, and closing a window does
# not wait for a window manager that plain Xvfb lacks. The desktop does not pass the driver's
# exit code on, so the verdict is the one the driver writes when it ends by itself, on every
# repeat of every case.
verdict=$run/work/verdict.txt
status=0
timeout 400 "$WINE" explorer.exe /desktop=e2e,1024x768 "$driver" --gtest_color=no "$@" || status=$?
cat "$run/work/output.txt" 2>/dev/null || true
said=$(cat "$verdict" 2>/dev/null || echo "none: it did not end by itself")
if [ "$status" -eq 0 ] && [ "$said" != passed ]; then
    echo "e2e: the driver's verdict: $said" >&2
    status=1
fi

for bmp in "$run"/work/*.bmp; do
    [ -e "$bmp" ] || continue
    png=$shots/$(basename "${bmp%.bmp}").png
    convert "$bmp" "$png" && echo "e2e: screenshot $png"
done
exit $status
