#!/usr/bin/env bash
# Starts the built utility on a private X display and saves a picture of its window as
# docs/screenshot-window.png (or the file given). Nothing in the window is pressed: the utility
# only reads this machine's adapter facts and sends nothing.
#
#   tools/screenshot.sh [output.png]      (BUILD_DIR picks the build folder, default build/)
#
# With QT_SCALE_FACTOR set (say 1.5 or 2) the window shows as on a desktop scaled that much, on a
# screen of 2560x1600.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
program=$build/app/telviq-utility
output=${1:-$top/docs/screenshot-window.png}
. "$top/tools/xvfb-lib.sh"

xvfb_require "$program"

display=$(xvfb_free_display 91 150) || { echo "no free X display" >&2; exit 1; }

xvfb_pid=
app_pid=
cleanup() {
    for pid in $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

screen=1024x768x24
[ -n "${QT_SCALE_FACTOR:-}" ] && screen=2560x1600x24
xvfb_start "$display" "$screen"

# No session bus: D-Bus would start one for the window that outlives it.
DBUS_SESSION_BUS_ADDRESS=disabled: QT_QPA_PLATFORM=xcb "$program" >/dev/null 2>&1 &
app_pid=$!

window=$(xvfb_wait_window "$app_pid" "no on-line adapter prompt?") || exit 1
sleep 1 # let it paint

eval "$(xdotool getwindowgeometry --shell "$window")"
mkdir -p "$(dirname "$output")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$output"
echo "$output: ${WIDTH}x${HEIGHT} at ${X},${Y} on $display"
