# shellcheck shell=bash
# Sourced by the scripts that run the utility on a private X display (needs Xvfb and xdotool).

# Prints the first free display among :FIRST to :LAST; fails when every one is taken.
xvfb_free_display() {
    local n
    for n in $(seq "$1" "$2"); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            echo ":$n"
            return 0
        fi
    done
    return 1
}

# Starts Xvfb on DISPLAY-NAME with a screen of SIZE (default 1024x768x24), sets xvfb_pid and
# exports DISPLAY, and gives the server up to five seconds to answer.
xvfb_start() {
    # -noreset: without it the server restarts when the probing client leaves.
    Xvfb "$1" -screen 0 "${2:-1024x768x24}" -nolisten tcp -noreset >/dev/null 2>&1 &
    # shellcheck disable=SC2034 # for the sourcing script to stop it
    xvfb_pid=$!
    export DISPLAY=$1
    for _ in $(seq 50); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && break
        sleep 0.1
    done
}

# Prints the id of the utility's main window once it shows, waiting up to ten seconds while
# process PID runs; otherwise says why on standard error (with HINT, if given) and fails.
xvfb_wait_window() {
    local pid=$1 hint=${2:-} window
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --name '^TELVIQ Utility' 2>/dev/null | head -n 1 || true)
        if [ -n "$window" ]; then
            echo "$window"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || { echo "the utility ended before its window showed" >&2; return 1; }
        sleep 0.1
    done
    echo "the window did not show${hint:+ ($hint)}" >&2
    return 1
}

# For the screenshot scripts: ends the script, saying why, unless each PROGRAM is built and Xvfb,
# xdotool and import are installed. With --namespaces first, also root and the ip tool.
xvfb_require() {
    local tools=(Xvfb xdotool import) file tool
    if [ "${1:-}" = --namespaces ]; then
        shift
        [ "$(id -u)" -eq 0 ] || { echo "network namespaces need root" >&2; exit 1; }
        tools+=(ip)
    fi
    for file in "$@"; do
        [ -x "$file" ] || { echo "no $file: build the project first" >&2; exit 1; }
    done
    for tool in "${tools[@]}"; do
        command -v "$tool" >/dev/null ||
            { echo "$tool is missing (xvfb, xdotool, imagemagick, iproute2)" >&2; exit 1; }
    done
}
