#!/usr/bin/env bash
# Runs the whole end-to-end suite N times, each in a fresh prefix, and prints how many runs
# passed and the slowest run's time. Usage: bash e2e/repeat.sh N [gtest options]
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:?usage: repeat.sh N [gtest options]}
shift
source tools/wine.sh
build_preset win32 e2e_driver TRV help_file || exit 1
logs=build/win32/e2e-repeat
rm -rf "$logs" && mkdir -p "$logs"
passed=0 slowest=0
for i in $(seq "$runs"); do
    SECONDS=0
    bash e2e/run.sh build/win32/e2e/e2e_driver.exe build/win32/trv/TRV.EXE "$@" >"$logs/run-$i.log" 2>&1
    status=$? seconds=$SECONDS
    [ "$seconds" -le "$slowest" ] || slowest=$seconds
    [ "$status" -ne 0 ] || passed=$((passed + 1))
    echo "run $i: $([ "$status" -eq 0 ] && echo passed || echo "FAILED (status $status)") in" \
        "$seconds s; log $logs/run-$i.log"
done
echo "e2e repeat: $passed of $runs runs passed; slowest run $slowest s"
[ "$passed" -eq "$runs" ]
