#!/usr/bin/env bash
# Builds the archive again from the same sources in a build folder of its own, under another
# path and at another time, and compares it byte for byte with the one built first.
# Usage: rebuild-compare.sh ARCHIVE SOURCE_DIR SCRATCH_DIR
set -euo pipefail
archive=$1
source=$2
scratch=$3
rm -rf "$scratch"
cmake -S "$source" -B "$scratch" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64.cmake" -DTRV_TRIPLET=i686-w64-mingw32 >/dev/null
cmake --build "$scratch" --target archive >/dev/null
again=$scratch/$(basename "$archive")
if cmp "$archive" "$again"; then
    echo "rebuild-compare: $(basename "$archive") is the same, $(stat -c %s "$archive") bytes"
    exit 0
fi
for name in TRV.EXE TRV.HLP TRV.CNT TRV.HTM README.TXT; do
    cmp "$archive.files/$name" "$again.files/$name" || true
done
exit 1
