#!/usr/bin/env bash
# The end-to-end suite under Wine (docs/testing.md). Usage: run.sh DRIVER.EXE TRV.EXE [gtest options]
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
# Wine reads UTF-8 file names, and takes its ANSI code page from the locale: here 1252, which
# lacks the scripts of some Help cases' folders.
export LC_ALL=C.UTF-8
wine_session "$run" 1024x768
mkdir -p "$shots"
cp "$exe" "$WORK/TRV.EXE"
cp "$(dirname "$exe")"/TRV.{HLP,CNT,HTM} "$WORK/"

# Copies for the Help cases: copy FOLDER [EXTENSIONS [NAME]] puts the program into work/FOLDER
# as NAME, with the files of its help that have EXTENSIONS beside it.
copy() {
    mkdir -p "$WORK/$1"
    cp "$exe" "$WORK/$1/${3:-TRV.EXE}"
    for extension in ${2:-}; do cp "$WORK/TRV.$extension" "$WORK/$1/"; done
}
copy ../troot # the root of a drive of its own, T:
ln -s "$run/troot" "$WINEPREFIX/dosdevices/t:"
copy nohelp
copy renamed "" STOPWTCH.EXE
copy viewer "HLP CNT"
for name in "" /Тест "/中文 目录"; do
    copy "page$name" "HLP HTM"
    copy "nopage$name" HLP
done
# A DLL that a web page left beside the program, which Wine is told to prefer to its own, as
# Windows does for every DLL outside its list of known ones. Only the program's folder has one.
cp "$(dirname "$driver")/planted.dll" "$WORK/page/Тест/SHELL32.DLL"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;shell32=n,b"

export TRV_EXE
TRV_EXE=$(winpath "$WORK/TRV.EXE")
# The verdict is the one that the driver writes when it ends by itself, on every repeat of
# every case: the desktop passes no exit code on.
status=0
in_desktop 400 "$driver" --gtest_color=no "$@" || status=$?
said=$(cat "$WORK/verdict.txt" 2>/dev/null || echo "none: it did not end by itself")
if [ "$status" -eq 0 ] && [ "$said" != passed ]; then
    echo "e2e: the driver's verdict: $said" >&2
    status=1
fi

for bmp in "$WORK"/*.bmp; do
    [ -e "$bmp" ] || continue
    png=$shots/$(basename "${bmp%.bmp}").png
    convert "$bmp" "$png" && echo "e2e: screenshot $png"
done
exit $status
