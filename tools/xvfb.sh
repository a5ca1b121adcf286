# Sourced by the scripts that need an X server of their own: start_xvfb WIDTHxHEIGHT FIRST LAST
# starts Xvfb on the first free display from FIRST to LAST, waits until it answers, exports
# DISPLAY and sets XVFB_PID.
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
