#!/usr/bin/env bash
# halibut.sh SOURCE DIR: the help's files TRV.HLP, TRV.CNT and TRV.HTM in DIR, written by
# Halibut from SOURCE; all three, or none. Halibut reports some faults (a cross-reference to
# nowhere, a context name given twice) only after it has written its files, so it writes them
# aside and they are moved in whole. It takes its date for TRV.HLP from SOURCE_DATE_EPOCH.
set -euo pipefail
source=$(realpath "$1")
dir=$(realpath -m "$2")
aside=$dir/halibut
trap 'rm -rf "$aside"' EXIT
rm -rf "$aside" "$dir/TRV.HLP" "$dir/TRV.CNT" "$dir/TRV.HTM"
mkdir -p "$aside"
# The page's name is given without a folder: Halibut drops the slashes from one.
(cd "$aside" && halibut --winhelp=TRV.HLP --html=TRV.HTM "$source")
mv "$aside/TRV.cnt" "$dir/TRV.CNT" # Halibut names it in lower case
mv "$aside/TRV.HLP" "$aside/TRV.HTM" "$dir/"
