#!/usr/bin/env bash
# Packs files into a zip that depends only on their contents and names: copies with one
# fixed time and mode, stored in the order given, without the owner or extra time fields.
# Usage: mkzip.sh OUT.zip DATE FILE...   (DATE as "YYYY-MM-DD hh:mm:ss", taken as UTC)
set -euo pipefail
out=$(realpath -m "$1")
date=$2
shift 2
stage=$out.files
rm -rf "$stage" "$out"
mkdir -p "$stage"
names=()
for file in "$@"; do
    name=$(basename "$file")
    cp "$file" "$stage/$name"
    chmod 0644 "$stage/$name"
    TZ=UTC touch -d "$date" "$stage/$name"
    names+=("$name")
done
cd "$stage"
TZ=UTC zip -q -X -D -9 "$out" "${names[@]}"
