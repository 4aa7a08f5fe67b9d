#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a desktop of its own: an Xvfb display that was free, a private session bus and openbox as the
# window manager, so that windows are placed, framed and activated as on a user's desktop; with --tray, trayer as
# the system tray at the bottom right. Everything started here ends with the script.
#   with_desktop.sh [--tray] COMMAND [ARGUMENTS...]
set -u

tray=
if [ "${1:-}" = --tray ]; then
    tray=1
    shift
fi
if [ $# -eq 0 ]; then
    echo "usage: $0 [--tray] COMMAND [ARGUMENTS...]" >&2
    exit 2
fi

root=$(mktemp -d "${TMPDIR:-/tmp}/with_desktop.XXXXXX") || exit 1
command=
xvfb=
bus=
wm=
panel=

finish() {
    for pid in $command $panel $wm $bus $xvfb; do
        kill "$pid" 2>/dev/null
    done
    for pid in $command $panel $wm $bus $xvfb; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$root"
}
trap finish EXIT

# wait_for WHAT LOG COMMAND...: runs the command every 50 ms until it succeeds; after 10 s says WHAT, shows the log
# and ends the script.
wait_for() {
    what=$1 log=$2
    shift 2
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        if [ $tries -gt 200 ]; then
            echo "$what" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.05
    done
}

# A timeout's signal ends the command and the desktop with it.
trap 'exit 143' TERM INT HUP

# -displayfd: the server picks a display nobody uses and writes its number once it accepts connections.
mkfifo "$root/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$root/display" 2>"$root/xvfb.log" &
xvfb=$!
number=$(timeout 10 head -n 1 "$root/display")
if [ -z "$number" ]; then
    echo "Xvfb did not start:" >&2
    cat "$root/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$number"

# A bus of our own, so that nothing reaches the caller's session, and that starts no services on demand.
XDG_DATA_DIRS="$root/none" dbus-daemon --session --nofork --nopidfile --address="unix:path=$root/bus" 2>"$root/dbus.log" &
bus=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$root/bus"
wait_for "dbus-daemon did not start" "$root/dbus.log" test -S "$root/bus"

openbox --sm-disable >"$root/openbox.log" 2>&1 &
wm=$!
wait_for "openbox did not come up:" "$root/openbox.log" \
    sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'

if [ -n "$tray" ]; then
    trayer --edge bottom --align right --widthtype pixel --width 160 --heighttype pixel --height 32 \
        --transparent false --SetDockType true >"$root/trayer.log" 2>&1 &
    panel=$!
    # trayer maps its panel a moment before it owns the tray selection; a program started between the two finds no
    # tray.
    wait_for "trayer's tray did not come up:" "$root/trayer.log" \
        python3 "$(dirname "$0")/../../bench/traywatch.py" owned
fi

export QT_QPA_PLATFORM=xcb
# In the background, so that a signal to this script is handled at once rather than after the command ends.
"$@" &
command=$!
wait "$command"
status=$?
command=
exit $status
