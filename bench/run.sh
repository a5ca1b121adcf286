#!/usr/bin/env bash
# Benchmarks TRV.EXE against the floor BASE.EXE under Wine, on an X server of its own, and
# prints the table; exits non-zero when a goal is missed. Usage: bash bench/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash tools/setup.sh
source tools/wine.sh
choose_wine --no-emulation bench "$0" "$@"
build_preset "$TRV_BUILD" TRV BASE BARE bench_driver help_file
build=$root/build/$TRV_BUILD
run=$build/bench-run
sampler_pid=""
ON_EXIT='[ -z "$sampler_pid" ] || kill "$sampler_pid" >/dev/null 2>&1'
wine_session "$run" 1024x768
cp "$build/trv/TRV.EXE" "$build/trv/TRV.HLP" "$build/bench/BASE.EXE" "$build/bench/BARE.EXE" \
    "$WORK/"

# CPU seconds of a process, 0 when it is gone: the sum over its threads of the scheduler's
# nanosecond count where the kernel keeps one, else user and system time in clock ticks.
ticks_per_second=$(getconf CLK_TCK)
cpu_seconds() {
    local stat ns=0 task run
    if [ -e "/proc/$1/schedstat" ]; then
        for task in /proc/"$1"/task/*/schedstat; do
            read -r run _ 2>/dev/null < "$task" && ns=$((ns + run))
        done
        awk -v ns="$ns" 'BEGIN { printf "%.4f", ns / 1e9 }'
        return
    fi
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
    echo "${stat##*) }" | awk -v hz="$ticks_per_second" '{ printf "%.3f", ($12 + $13) / hz }'
}
memory_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }

# Answers the driver's requests "SECONDS PROGRAM": CPU seconds of the program, of wineserver
# and of the X server over that many seconds, the seconds measured, and the program's peak
# and resident memory in KiB.
sample() {
    local seconds=$1 name=$2 pid server t0 t1 a b c d e f
    # Wine names each process after its executable; the server is wineserver or wineserver64.
    pid=$(pgrep -n -x "$name" || echo 0)
    server=$(pgrep -n '^wineserver' || echo 0)
    a=$(cpu_seconds "$pid"); b=$(cpu_seconds "$server"); c=$(cpu_seconds "$XVFB_PID")
    t0=$(date +%s.%N)
    sleep "$seconds"
    t1=$(date +%s.%N)
    d=$(cpu_seconds "$pid"); e=$(cpu_seconds "$server"); f=$(cpu_seconds "$XVFB_PID")
    echo "$a $b $c $d $e $f $t0 $t1 $(memory_kb "$pid" VmHWM) $(memory_kb "$pid" VmRSS)" |
        awk '{ printf "%.4f %.4f %.4f %.3f %s %s\n", $4-$1, $5-$2, $6-$3, $8-$7, $9, $10 }'
}
sampler() {
    while :; do
        if [ -e "$WORK/request.txt" ]; then
            read -r seconds name < "$WORK/request.txt"
            rm -f "$WORK/request.txt"
            sample "$seconds" "${name%$'\r'}" > "$WORK/result.new"
            mv "$WORK/result.new" "$WORK/result.txt"
        fi
        sleep 0.02
    done
}
sampler &
sampler_pid=$!

export TRV_EXE BASE_EXE BARE_EXE
TRV_EXE=$(winpath "$WORK/TRV.EXE") BASE_EXE=$(winpath "$WORK/BASE.EXE")
BARE_EXE=$(winpath "$WORK/BARE.EXE")
in_desktop 1500 "$build/bench/bench_driver.exe" || true

if [ ! -s "$WORK/table.txt" ]; then
    echo "bench: the driver wrote no table" >&2
    exit 1
fi
echo "Tarvik 2 benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $("$WINE" --version), $(nproc) cores"
echo "$TRV_WAY_LINE"
cat "$WORK/table.txt"
grep -q '^goals missed: 0$' "$WORK/table.txt"
