#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a desktop of its own: an Xvfb display that was free, a private session bus and a window manager,
# so that windows are placed, framed and activated as on a user's desktop; with --tray, the desktop's panel with its
# system tray at the bottom right. TARNIBE_DESKTOP chooses the desktop:
#   openbox  openbox, and trayer as the tray (XEmbed); the default
#   xfce     xfwm4, xfdesktop and xfce4-panel with its notification area (XEmbed and StatusNotifierItem), and
#            xfconfd for them
#   kwin     kwin_x11, pcmanfm-qt's desktop and lxqt-panel with its StatusNotifierItem host (and watcher)
#   mutter   mutter, compositing with software GL, and trayer
# --on DESKTOP runs on that desktop instead, unless TARNIBE_DESKTOP asks for a desktop of the caller's choosing:
# then it ends at once with 77, which ctest counts as skipped, as the caller runs everything on that one.
# Everything started here ends with the script.
#   with_desktop.sh [--tray] [--on DESKTOP] COMMAND [ARGUMENTS...]
set -u

tray=
while :; do
    case "${1:-}" in
    --tray)
        tray=1
        shift
        ;;
    --on)
        [ -z "${TARNIBE_DESKTOP:-}" ] || exit 77
        TARNIBE_DESKTOP=${2:-}
        shift 2
        ;;
    *) break ;;
    esac
done
if [ $# -eq 0 ]; then
    echo "usage: $0 [--tray] [--on DESKTOP] COMMAND [ARGUMENTS...]" >&2
    exit 2
fi
desktop=${TARNIBE_DESKTOP:-openbox}
# The test reads it to find the panel.
export TARNIBE_DESKTOP="$desktop"

root=$(mktemp -d "${TMPDIR:-/tmp}/with_desktop.XXXXXX") || exit 1
command=
xvfb=
bus=
wm=
panel=
services=
background=

# The process is there and has not ended (an ended child stays as a zombie until it is waited for).
running() {
    state=$(ps -o stat= -p "$1" 2>/dev/null)
    [ -n "$state" ] && [ "${state#Z}" = "$state" ]
}

finish() {
    # One after the other, the display last: KWin that loses its display restarts itself on the next display of
    # that number, another test's.
    # Services the bus started on demand (KWin has it start kglobalaccel5) are no children of ours: they end too.
    for pid in $(grep -lsz "^DBUS_SESSION_BUS_ADDRESS=unix:path=$root/bus" /proc/[0-9]*/environ | cut -d/ -f3); do
        [ "$pid" = $$ ] || services="$services $pid"
    done
    for pid in $command $panel $background $wm $services $bus $xvfb; do
        kill "$pid" 2>/dev/null
        # A program that does not end on SIGTERM within 2 s (a desktop program that lost its display, say) is
        # killed, so that a failed start ends the test at once rather than at its time-out.
        tries=0
        while running "$pid" && [ $tries -lt 40 ]; do
            tries=$((tries + 1))
            sleep 0.05
        done
        kill -9 "$pid" 2>/dev/null
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
XDG_DATA_DIRS="$root/none" dbus-daemon --session --nofork --nopidfile --address="unix:path=$root/bus" >"$root/dbus.log" 2>&1 &
bus=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$root/bus"
wait_for "dbus-daemon did not start" "$root/dbus.log" test -S "$root/bus"

# The desktop's programs keep their settings, caches and sockets here, not in the caller's home; KDE's programs
# restart themselves after no crash.
mkdir -m 700 "$root/home" "$root/config" "$root/cache" "$root/run"
session() {
    HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_CACHE_HOME="$root/cache" XDG_RUNTIME_DIR="$root/run" \
        NO_AT_BRIDGE=1 KDE_DEBUG=1 QT_QPA_PLATFORM=xcb exec "$@"
}

# wm_is_up NAME: the window manager NAME is running and says so on the root window.
wm_is_up() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" &&
        xprop -id "$(xprop -root _NET_SUPPORTING_WM_CHECK | sed 's/.* //')" _NET_WM_NAME 2>/dev/null | grep -qi "$1"
}

# A window of the class NAME is on screen.
shows() {
    xdotool search --onlyvisible --class "^$1\$" >/dev/null 2>&1
}

tray_is_up() {
    python3 "$(dirname "$0")/../support/traywatch.py" owned
}

# The bus answers for NAME.
bus_has() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
        "string:$1" 2>/dev/null | grep -q true
}

start_trayer() {
    session trayer --edge bottom --align right --widthtype pixel --width 160 --heighttype pixel --height 32 \
        --transparent false --SetDockType true >"$root/trayer.log" 2>&1 &
    panel=$!
    # trayer maps its panel a moment before it owns the tray selection; a program started between the two finds no
    # tray.
    wait_for "trayer's tray did not come up:" "$root/trayer.log" tray_is_up
}

desktop_openbox() {
    session openbox --sm-disable >"$root/wm.log" 2>&1 &
    wm=$!
    wait_for "openbox did not come up:" "$root/wm.log" wm_is_up openbox
    [ -z "$tray" ] || start_trayer
}

desktop_mutter() {
    session env LIBGL_ALWAYS_SOFTWARE=1 mutter --x11 --replace --sm-disable >"$root/wm.log" 2>&1 &
    wm=$!
    wait_for "mutter did not come up:" "$root/wm.log" wm_is_up mutter
    [ -z "$tray" ] || start_trayer
}

# xfwm4 and xfce4-panel read their settings through xfconfd, which this bus does not start on demand: it runs on a
# configuration of its own, one panel at the bottom right holding the notification area alone. The area knows the
# suite's items from an earlier session and shows them in that order; on a first meeting, items that come at the
# same moment race in the area's own record of them, and some stay hidden.
desktop_xfce() {
    channels="$root/config/xfce4/xfconf/xfce-perchannel-xml"
    mkdir -p "$channels"
    cat >"$channels/xfce4-panel.xml" <<'END'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=4;x=0;y=0"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="length" type="uint" value="1"/>
      <property name="size" type="uint" value="32"/>
      <property name="icon-size" type="uint" value="24"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray">
      <property name="known-items" type="array">
        <value type="string" value="tarnibe-notes"/>
        <value type="string" value="tarnibe-calculator"/>
        <value type="string" value="tarnibe-clock"/>
        <value type="string" value="tarnibe-mail"/>
      </property>
    </property>
  </property>
</channel>
END
    # No icons on the desktop where tests click it.
    cat >"$channels/xfce4-desktop.xml" <<'END'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-desktop" version="1.0">
  <property name="desktop-icons" type="empty">
    <property name="style" type="int" value="0"/>
  </property>
</channel>
END
    session /usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd >"$root/xfconfd.log" 2>&1 &
    services=$!
    wait_for "xfconfd did not come up:" "$root/xfconfd.log" bus_has org.xfce.Xfconf
    session xfwm4 --sm-client-disable >"$root/wm.log" 2>&1 &
    wm=$!
    wait_for "xfwm4 did not come up:" "$root/wm.log" wm_is_up xfwm4
    # The desktop window: a click on it takes the focus from the program that had it.
    session xfdesktop --sm-client-disable >"$root/desktop.log" 2>&1 &
    background=$!
    wait_for "xfdesktop did not come up:" "$root/desktop.log" shows xfdesktop
    [ -n "$tray" ] || return 0
    session xfce4-panel --sm-client-disable --disable-wm-check >"$root/panel.log" 2>&1 &
    panel=$!
    wait_for "xfce4-panel's tray did not come up:" "$root/panel.log" tray_is_up
}

# lxqt-panel with nothing but its StatusNotifierItem host, which is the bus's watcher too.
desktop_kwin() {
    mkdir -p "$root/config/lxqt"
    cat >"$root/config/lxqt/panel.conf" <<'END'
panels=panel1

[panel1]
plugins=statusnotifier
position=Bottom
alignment=1
width=160
width-percent=false
panelSize=32
iconSize=24
desktop=0

[statusnotifier]
type=statusnotifier
END
    # Plasma 6 has global shortcuts (Alt+F4 among them) from a daemon the session starts before KWin; KWin 5
    # has the bus start kglobalaccel5 for it.
    shortcuts=$(sed -n 's/^Exec=//p' /etc/xdg/autostart/kglobalacceld.desktop 2>/dev/null)
    if [ -n "$shortcuts" ] && [ -x "$shortcuts" ]; then
        session "$shortcuts" >"$root/shortcuts.log" 2>&1 &
        wait_for "kglobalacceld did not come up:" "$root/shortcuts.log" bus_has org.kde.kglobalaccel
    fi
    session kwin_x11 --replace >"$root/wm.log" 2>&1 &
    wm=$!
    wait_for "kwin_x11 did not come up:" "$root/wm.log" wm_is_up kwin
    # The desktop window, as an LXQt session has it: a click on it takes the focus from the program that had it.
    session pcmanfm-qt --desktop >"$root/desktop.log" 2>&1 &
    background=$!
    # Debian 13's pcmanfm-qt shows no desktop here: the session goes on without one, as mutter's has none.
    tries=0
    until shows pcmanfm-qt || [ $tries -ge 100 ]; do
        tries=$((tries + 1))
        sleep 0.05
    done
    [ -n "$tray" ] || return 0
    session lxqt-panel >"$root/panel.log" 2>&1 &
    panel=$!
    wait_for "lxqt-panel's StatusNotifier host did not come up:" "$root/panel.log" \
        bus_has org.kde.StatusNotifierWatcher
    wait_for "lxqt-panel did not show:" "$root/panel.log" shows lxqt-panel
}

case "$desktop" in
openbox | xfce | kwin | mutter) "desktop_$desktop" ;;
*)
    echo "TARNIBE_DESKTOP: no desktop '$desktop' (openbox, xfce, kwin, mutter)" >&2
    exit 2
    ;;
esac

export QT_QPA_PLATFORM=xcb
# In the background, so that a signal to this script is handled at once rather than after the command ends.
"$@" &
command=$!
wait "$command"
status=$?
command=
exit $status
