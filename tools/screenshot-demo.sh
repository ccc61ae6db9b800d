#!/usr/bin/env bash
# Pictures of the utility at work, for the documentation:
#
#   docs/screenshot-network.png   a camera found by Find, shown on the Network Config page
#   docs/screenshot-save-ok.png   the "Settings write ok!" box after a Save
#   docs/screenshot-menu.png      the context menu of a camera in another subnet
#   docs/screenshot-tooltip.png   the tool tip of a camera whose address another one has too
#
# The utility runs on a private X display inside the pc side of a two-namespace lab
# (tools/netns-lab.sh) with virtual cameras on the other side, so its Find and Save reach
# nothing but those cameras. The lab, the cameras, the utility and the X server are all removed
# again when the script ends, however it ends. Needs root, Xvfb, xdotool and imagemagick.
#
#   tools/screenshot-demo.sh      (BUILD_DIR picks the build folder, default build/)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
program=$build/app/telviq-utility
cameras=$build/tools/virtual-cameras/telviq-virtual-cameras
docs=$top/docs
. "$top/tools/xvfb-lib.sh"

xvfb_require --namespaces "$program" "$cameras"

display=$(xvfb_free_display 91 150) || { echo "no free X display" >&2; exit 1; }

lab=tvqshot$$
work=$(mktemp -d /tmp/tvq-shot-XXXXXX)
xvfb_pid=
cameras_pid=
app_pid=
lab_up=
etc_made=
cleanup() {
    for pid in $app_pid $cameras_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "$lab_up" ]; then
        "$top/tools/netns-lab.sh" down "$lab" || true
    fi
    rm -rf "/etc/netns/$lab-pc"
    if [ -n "$etc_made" ]; then
        rmdir /etc/netns 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "$*" >&2
    exit 1
}

# Cameras with settings that differ from one another; the first is the one shown and saved. The
# third is in another subnet than the PC (203.0.113.1/24), the fourth has the second's address.
cat >"$work/cameras" <<'EOF'
[camera]
macAddress = 02-00-5E-00-10-01
cameraDescription = Front door
networkType = 0
ipAddress = 203.0.113.20
subnetMask = 255.255.255.0
gateway = 203.0.113.1
dnsServer = 203.0.113.53
usedIPAddress = 203.0.113.20
adslUserName = frontdoor
ddnsUserName = frontdoor
ddnsDomainName = frontdoor.example.org
firmwareVersion = V2.4.17
hour = 7
minute = 30
triggerCount = 5

[camera]
macAddress = 02-00-5E-00-10-02
cameraDescription = Warehouse
networkType = 2
usedIPAddress = 203.0.113.44
hour = 18
minute = 15

[camera]
macAddress = 02-00-5E-00-10-03
cameraDescription = Parking lot
networkType = 1
usedIPAddress = 198.51.100.9
adslUserName = parking@isp.example.net
hour = 23
minute = 59

[camera]
macAddress = 02-00-5E-00-10-04
cameraDescription = Side entrance
networkType = 0
ipAddress = 203.0.113.44
usedIPAddress = 203.0.113.44
EOF

xvfb_start "$display"

"$top/tools/netns-lab.sh" up "$lab" >/dev/null
lab_up=1

"$top/tools/netns-lab.sh" exec "$lab" cam "$cameras" --file "$work/cameras" --log >"$work/cameras.log" 2>&1 &
cameras_pid=$!
for _ in $(seq 50); do
    grep -q ready "$work/cameras.log" && break
    sleep 0.1
done
grep -q ready "$work/cameras.log" || fail "the virtual cameras did not start: $(cat "$work/cameras.log")"

# Inside the namespace "ip netns exec" shows this file in place of /etc/resolv.conf, so the PC
# group shows a documentation domain and DNS server rather than this machine's.
[ -d /etc/netns ] || etc_made=1
mkdir -p "/etc/netns/$lab-pc"
printf 'search example.net\nnameserver 203.0.113.53\n' >"/etc/netns/$lab-pc/resolv.conf"

# No session bus: D-Bus would start one for the window that outlives it.
ip netns exec "$lab-pc" env DISPLAY="$display" QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled: \
    "$program" >"$work/app.log" 2>&1 &
app_pid=$!

window=$(xvfb_wait_window "$app_pid") || exit 1
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
win_x=$X
win_y=$Y
win_w=$WIDTH
win_h=$HEIGHT

# Clicks at a point given in the window's own coordinates (the layout's fixed geometry).
click_at() {
    xdotool mousemove "$((win_x + $1))" "$((win_y + $2))" click 1
    sleep 0.3
}

shoot() {
    mkdir -p "$docs"
    import -window root -crop "${win_w}x${win_h}+${win_x}+${win_y}" +repage "$1"
    echo "$1"
}

# The window together with its open menu or tool tip, which may reach past its edge.
shoot_with_popup() {
    local left=$win_x top=$win_y right=$((win_x + win_w)) bottom=$((win_y + win_h)) w
    for w in $(xdotool search --onlyvisible --pid "$app_pid"); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$X" -lt "$left" ] && left=$X
        [ "$Y" -lt "$top" ] && top=$Y
        [ "$((X + WIDTH))" -gt "$right" ] && right=$((X + WIDTH))
        [ "$((Y + HEIGHT))" -gt "$bottom" ] && bottom=$((Y + HEIGHT))
    done
    import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$1"
    echo "$1"
}

click_at 386 395 # Find
sleep 5          # three passes of one to one and a half seconds
click_at 80 301  # the first camera in the list
click_at 450 58  # the Network Config tab
sleep 0.5
shoot "$docs/screenshot-network.png"

click_at 290 58  # back to the Main page
click_at 560 204 # the description
xdotool key ctrl+a
xdotool type --delay 40 "Front door (north)"
click_at 513 395 # Save
box=
for _ in $(seq 50); do
    box=$(xdotool search --onlyvisible --name '^TELVIQ$' 2>/dev/null | head -n 1 || true)
    [ -n "$box" ] && break
    sleep 0.1
done
[ -n "$box" ] || fail "no box after Save"
# The box has the same caption either way: only the camera can tell whether the write landed.
grep -q 'applied, ack ok' "$work/cameras.log" || fail "the camera did not take the write"
sleep 0.5
shoot "$docs/screenshot-save-ok.png"
xdotool key Return

# The right button on the third row: its menu leads with the warning.
sleep 0.5
xdotool mousemove "$((win_x + 80))" "$((win_y + 323))" click 3
sleep 0.7
shoot_with_popup "$docs/screenshot-menu.png"
xdotool key Escape
sleep 0.3

# A tool tip shows after a second move within the row and a rest.
xdotool mousemove "$((win_x + 90))" "$((win_y + 310))"
sleep 0.3
xdotool mousemove "$((win_x + 91))" "$((win_y + 311))"
sleep 1.5
shoot_with_popup "$docs/screenshot-tooltip.png"
