#!/usr/bin/env bash
# Pictures of the camera list's Assign Addresses dialog in the demo, for the documentation:
#
#   docs/screenshot-assign-plan.png      the plan for the demo's cameras that need an address
#                                        (and the lobby camera, which never acknowledges), as a
#                                        first address is typed
#   docs/screenshot-assign-written.png   the same after Write and the Find that follows it
#
# The utility runs on a private X display inside the pc side of a two-namespace lab
# (tools/netns-lab.sh) with the demo's virtual cameras (tools/virtual-cameras/demo-cameras.conf)
# on the other side, so its Find and Write reach nothing but those cameras. The lab, the cameras,
# the utility and the X server are all removed again when the script ends, however it ends. Needs
# root, Xvfb, xdotool and imagemagick.
#
#   tools/screenshot-dialogs.sh      (BUILD_DIR picks the build folder, default build/)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
program=$build/app/telviq-utility
cameras=$build/tools/virtual-cameras/telviq-virtual-cameras
camera_file=$top/tools/virtual-cameras/demo-cameras.conf
docs=$top/docs
. "$top/tools/xvfb-lib.sh"

xvfb_require --namespaces "$program" "$cameras"

display=$(xvfb_free_display 91 150) || { echo "no free X display" >&2; exit 1; }

lab=tvqdlg$$
work=$(mktemp -d /tmp/tvq-dialogs-XXXXXX)
xvfb_pid=
cameras_pid=
app_pid=
lab_up=
cleanup() {
    for pid in $app_pid $cameras_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "$lab_up" ]; then
        "$top/tools/netns-lab.sh" down "$lab" || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "$*" >&2
    exit 1
}

xvfb_start "$display"

"$top/tools/netns-lab.sh" up "$lab" >/dev/null
lab_up=1

"$top/tools/netns-lab.sh" exec "$lab" cam "$cameras" --file "$camera_file" --log >"$work/cameras.log" 2>&1 &
cameras_pid=$!
for _ in $(seq 50); do
    grep -q ready "$work/cameras.log" && break
    sleep 0.1
done
grep -q ready "$work/cameras.log" || fail "the virtual cameras did not start: $(cat "$work/cameras.log")"

# No session bus: D-Bus would start one for the window that outlives it.
ip netns exec "$lab-pc" env DISPLAY="$display" DBUS_SESSION_BUS_ADDRESS=disabled: QT_QPA_PLATFORM=xcb "$program" >"$work/app.log" 2>&1 &
app_pid=$!

window=$(xvfb_wait_window "$app_pid") || exit 1
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
win_x=$X
win_y=$Y

# Clicks at a point given in the main window's own coordinates (its form's fixed geometry).
click_at() {
    xdotool mousemove "$((win_x + $1))" "$((win_y + $2))" click 1
    sleep 0.3
}

# The dialog's window, once it shows.
dialog_window() {
    local found
    for _ in $(seq 50); do
        found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$found" ]; then
            echo "$found"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

shoot() {
    mkdir -p "$docs"
    eval "$(xdotool getwindowgeometry --shell "$1")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
    echo "$2"
}

click_at 386 395 # Find
sleep 5          # three passes of one to one and a half seconds

# The menu of the first row; its third item from the end is Assign Addresses.
xdotool mousemove "$((win_x + 80))" "$((win_y + 301))" click 3
sleep 0.7
xdotool key Up Up Up Return
dialog=$(dialog_window 'Assign Addresses') || fail "Assign Addresses did not open"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$dialog")"
dlg_x=$X
dlg_y=$Y

# The list's rows, first to last, as the demo's cameras answer. Those that need an address start
# checked: the gatehouse camera in another subnet (6), the two stairwell cameras that share one
# (7, 8) and the four new ones (9 to 12). The lobby camera (5) is checked as well. A click on the
# first row's description selects it; Space toggles the check box of the row the cursor is on.
xdotool mousemove "$((dlg_x + 120))" "$((dlg_y + 205))" click 1
sleep 0.3
for key in Down Down Down Down space; do
    xdotool key "$key"
done
sleep 0.3

# The first address, typed over the one the dialog offers.
xdotool mousemove "$((dlg_x + 160))" "$((dlg_y + 58))" click 1
xdotool key ctrl+a
xdotool type --delay 60 "203.0.113.101"
sleep 0.5
shoot "$dialog" "$docs/screenshot-assign-plan.png"

# Write: the lobby camera never acknowledges, so the write waits its ten seconds; then the Find,
# whose three passes the cameras log as the first Find's were.
xdotool mousemove "$((dlg_x + 643))" "$((dlg_y + 436))" click 1
passes() { grep -c ': search pass ' "$work/cameras.log" || true; }
for _ in $(seq 250); do
    [ "$(passes)" -ge 6 ] && break
    sleep 0.1
done
[ "$(passes)" -ge 6 ] || fail "no Find after the write"
sleep 2 # the last pass listens for a second or a little more
grep -q 'parameters for' "$work/cameras.log" || fail "no camera took a write"
shoot "$dialog" "$docs/screenshot-assign-written.png"
