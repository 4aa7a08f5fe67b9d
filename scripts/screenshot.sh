#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual's pictures, made by driving the real program as a user would.
#
#   scripts/screenshot.sh [path-to-tarnibe] [out-dir=resources/help/images]
#
# Runs the program on a private Xvfb display (white background) with trayer as the tray, a private session bus, no
# network but loopback where the system allows it, and fresh, empty settings and data. Then, with xdotool, it
# clicks the tray icons, types into the windows that open and captures them:
#
#   tray.png        the tray corner with the four icons, scaled up twice with square pixels so they stay sharp
#   control.png     the Control center, shown by starting tarnibe a second time
#   notes.png       two notes, one with an alarm, beside the notes container
#   alarm.png       the alarm editor, opened from a note's menu
#   calculator.png  the calculator with a few sums on its tape
#   clock.png       the Atomic time window
#   mail.png        the Email properties window, opened from the e-mail check's tray menu
#
# openbox manages the windows as a desktop's window manager would, and each window is captured with the frame and
# title bar it gives them. Every run starts from nothing and writes every picture again.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=${1:-$root/build/app/tarnibe}
out=${2:-$root/resources/help/images}
icons=4
margin=16

[[ -x $bin && -f $bin ]] || { echo "error: $bin is not an executable (build it: ninja -C build)" >&2; exit 1; }
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")

# shellcheck source=bench/xtray.sh
source "$root/bench/xtray.sh"
xtray_require Xvfb:xvfb trayer:trayer xwininfo:x11-utils python3:python3 import:imagemagick convert:imagemagick \
    xdotool:xdotool openbox:openbox xprop:x11-utils
trap xtray_stop EXIT
trap 'exit 130' INT TERM HUP

profile=

# Says what went wrong and what the program printed, and ends the run (the EXIT trap tears the display down).
die() {
    echo "error: $*" >&2
    if [[ -n $profile && -s $profile/output.log ]]; then
        echo "tarnibe printed:" >&2
        sed 's/^/  /' "$profile/output.log" >&2
    fi
    exit 1
}

# The program's viewable windows (clients inside the window manager's frames, and menus), one id a line, in
# decimal so that lists compare.
visible_windows() {
    local id
    while read -r id; do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && printf '%d\n' "$id"
    done < <(xdotool search --onlyvisible --classname '^tarnibe$' 2>/dev/null | sort -n)
    return 0
}

# Waits up to <timeout_s> for a viewable top-level window titled exactly <title> and prints its id.
wait_window() {
    local title=$1 timeout_s=${2:-10} i id
    for ((i = 0; i < timeout_s * 20; i++)); do
        id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1) || true
        if [[ -n $id ]]; then
            printf '%s\n' "$id"
            return 0
        fi
        xtray_alive "$XTRAY_PID" || die "tarnibe ended while waiting for the \"$title\" window"
        xtray_nap 0.05
    done
    die "no \"$title\" window after $timeout_s s"
}

# Waits up to <timeout_s> for a viewable top-level window that is not among <before> (a visible_windows list) and
# prints its id; <what> names it in the error message.
wait_new_window() {
    local before=$1 what=$2 timeout_s=${3:-10} i id
    for ((i = 0; i < timeout_s * 20; i++)); do
        while read -r id; do
            if ! grep -qx "$id" <<<"$before"; then
                printf '%s\n' "$id"
                return 0
            fi
        done < <(visible_windows)
        xtray_alive "$XTRAY_PID" || die "tarnibe ended while waiting for $what"
        xtray_nap 0.05
    done
    die "no $what after $timeout_s s"
}

# Waits until window <id> is no longer viewable.
wait_gone() {
    local id=$1 what=$2 i
    for ((i = 0; i < 200; i++)); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || return 0
        xtray_nap 0.05
    done
    die "$what did not close"
}

# Clicks <button> at <x>,<y> inside window <id> (the centre when no point is given).
click() {
    local id=$1 button=$2 x=${3:-} y=${4:-} WIDTH HEIGHT
    if [[ -z $x ]]; then
        eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(WIDTH|HEIGHT)=')"
        x=$((WIDTH / 2)) y=$((HEIGHT / 2))
    fi
    xdotool mousemove --sync --window "$id" "$x" "$y" click "$button"
}

# Gives window <id> the keyboard through the window manager, and types <text>.
type_into() {
    local id=$1 text=$2
    xdotool windowactivate --sync "$id"
    xdotool type --delay 15 "$text"
}

# Moves window <id> to <x>,<y> on the screen, as dragging its title bar would.
place() {
    xdotool windowmove --sync "$1" "$2" "$3" >/dev/null
}

# Moves window <id> off the screen, so that it covers none of the windows captured after it.
park() {
    place "$1" 1400 0
}

# The screen rectangle of window <id> as "x y width height".
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /^  Width/ {w=$NF} /^  Height/ {h=$NF} END {print x, y, w, h}'
}

# The window manager's frame around client window <id>: its ancestor just below the root.
frame_of() {
    local id=$1 parent root
    root=$(xwininfo -root | awk '/Window id:/ {print $4; exit}')
    while parent=$(xwininfo -tree -id "$id" | awk '/Parent window id:/ {print $4; exit}') && [[ -n $parent ]] &&
        ((parent != root)); do
        id=$parent
    done
    printf '%s\n' "$id"
}

# Captures window <id> with its frame and title bar into <name>.png of the output folder.
capture() {
    local id=$1 name=$2
    # Give the window a moment to finish painting after the last event it was sent.
    xtray_nap 0.4
    import -window "$(frame_of "$id")" "$XTRAY_DIR/$name.png"
    finish "$name"
}

# Stores a finished picture: small (no metadata, at most 256 colours where that loses nothing a reader would see)
# and only replacing the old one once it is whole.
finish() {
    local name=$1
    convert "$XTRAY_DIR/$name.png" -strip +dither -colors 256 -define png:compression-level=9 \
        -define png:exclude-chunks=date,time "png8:$XTRAY_DIR/$name.final.png"
    mv -f "$XTRAY_DIR/$name.final.png" "$out/$name.png"
    echo "$out/$name.png: $(identify -format '%wx%h' "$out/$name.png"), $(stat -c %s "$out/$name.png") bytes"
}

mkdir -p "$out"
started=$EPOCHREALTIME

xtray_start -wr
openbox --sm-disable >"$XTRAY_DIR/openbox.log" 2>&1 &
XTRAY_PIDS+=($!)
for ((i = 0; i < 200; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    xtray_nap 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || die "openbox did not start"
profile=$(xtray_fresh_profile)
xtray_launch_watched "$bin" "$profile" "$icons" 20 || die "$XTRAY_WAIT_NOTE"
# Embedded is not yet painted: give the icons a moment to draw themselves.
xtray_nap 1
echo "network: $XTRAY_NETNS_NOTE"

# --- The tray corner: the panel and a margin above and left of it; it sits in the bottom-right corner.
IFS='x+' read -r w h x y <<<"$XTRAY_GEOMETRY"
crop_x=$((x > margin ? x - margin : 0))
crop_y=$((y > margin ? y - margin : 0))
import -window root "$XTRAY_DIR/screen.png"
convert "$XTRAY_DIR/screen.png" -crop "$((w + x - crop_x))x$((h + y - crop_y))+$crop_x+$crop_y" +repage \
    -scale 200% "$XTRAY_DIR/tray.png"
finish tray

# The icons in the order the program adds them: notes, calculator, atomic time, e-mail check. X gives a client's
# windows ascending ids, so the order of creation is the order of the ids.
xtray_embedded
((${#XTRAY_IDS[@]} == icons)) || die "expected $icons tray icons, found ${#XTRAY_IDS[@]}"
mapfile -t tray < <(for id in "${XTRAY_IDS[@]}"; do printf '%d\n' "$id"; done | sort -n)
icon_notes=${tray[0]} icon_calc=${tray[1]} icon_clock=${tray[2]} icon_mail=${tray[3]}

# On a first start the notes container opens with the icons; it waits at the side for the notes picture.
container=$(wait_window Container)
park "$container"

# --- The Control center: starting tarnibe again shows the running copy's panel.
xtray_launch "$bin" "$profile" second.log
second=$!
for ((i = 0; i < 200; i++)); do
    xtray_alive "$second" || break
    xtray_nap 0.05
done
xtray_alive "$second" && die "the second tarnibe did not end within 10 s"
wait "$second" || die "the second tarnibe failed: $(cat "$profile/second.log")"
panel=$(wait_window "Control center")
capture "$panel" control
park "$panel"

# --- Notes: a left click on the notes icon makes a note in the middle of the screen; a click on its text edits it,
# and the note keeps the text when another window takes the keyboard.
new_note() {
    local text=$1 before note
    before=$(visible_windows)
    click "$icon_notes" 1
    note=$(wait_new_window "$before" "new note window")
    click "$note" 1 40 40
    xtray_nap 0.3
    type_into "$note" "$text"
    xdotool windowactivate --sync "$container"
    xtray_nap 0.6
    printf '%s\n' "$note"
}
place "$container" 40 56
note1=$(new_note "Call the garage about the winter tyres")
place "$note1" 680 40
note2=$(new_note "Team meeting: bring the figures for March")
place "$note2" 812 88

# An alarm on the second note: its menu button (top left), "Set alarmtime", every day three hours from now. The
# editor has a fixed size and places its controls in twips (15 to a pixel), so the points below stay put.
before=$(visible_windows)
click "$note2" 1 6 6
wait_new_window "$before" "note menu" >/dev/null
xdotool key e
alarm=$(wait_window Alarm)
xdotool windowactivate --sync "$alarm"
click "$alarm" 1 52 238 # the hour box
xdotool key ctrl+a
xdotool type "$(((10#$(date +%H) + 3) % 24))"
click "$alarm" 1 262 150 # "Everyday"
capture "$alarm" alarm
click "$alarm" 1 407 249 # "OK"
wait_gone "$alarm" "the alarm editor"
xdotool windowactivate --sync "$container"

# The notes are captured as they stand on the screen, beside the container in its frame.
read -r cx cy cw ch < <(geometry "$(frame_of "$container")")
read -r _ ay _ ah < <(geometry "$note1")
read -r bx by bw bh < <(geometry "$note2")
left=$cx top=$cy
((ay < top)) && top=$ay
right=$((bx + bw)) bottom=$((cy + ch))
((ay + ah > bottom)) && bottom=$((ay + ah))
((by + bh > bottom)) && bottom=$((by + bh))
left=$((left - margin)) top=$((top - margin))
((left < 0)) && left=0
((top < 0)) && top=0
xtray_nap 0.4
import -window root -crop "$((right - left + margin))x$((bottom - top + margin))+$left+$top" +repage \
    "$XTRAY_DIR/notes.png"
finish notes
for id in "$container" "$note1" "$note2"; do park "$id"; done

# --- The calculator: a left click on its icon opens it; each line is worked out on Enter and goes on the tape.
click "$icon_calc" 1
calc=$(wait_window Calculator)
xdotool windowactivate --sync "$calc"
for line in "12*(3+4)" "2^10" "sqr(2)" "(1250-80)/3"; do
    xdotool type --delay 15 "$line"
    xdotool key Return
    xtray_nap 0.2
done
# The tape marks the newest result for a moment; wait until that has gone.
xtray_nap 1
capture "$calc" calculator
park "$calc"

# --- Atomic time: a left click on its icon.
click "$icon_clock" 1
clock=$(wait_window "Atomic time")
capture "$clock" clock
park "$clock"

# --- E-mail check: its icon's menu (right click), "Email properties...", and an account typed in.
before=$(visible_windows)
click "$icon_mail" 3
wait_new_window "$before" "e-mail check menu" >/dev/null
xdotool key p
mail=$(wait_window "Email properties")
xdotool windowactivate --sync "$mail"
xtray_nap 0.3
# The keyboard starts in the server box; Tab goes on to "Add new", the user name, "Delete" and the password.
xdotool key ctrl+a
xdotool type --delay 15 "pop3s://mail.example.org"
xdotool key Tab Tab ctrl+a
xdotool type --delay 15 "anna"
xdotool key Tab Tab ctrl+a
xdotool type --delay 15 "secret"
capture "$mail" mail

xtray_terminate "$XTRAY_PID" 10 || echo "warning: tarnibe did not end cleanly on SIGTERM ($XTRAY_EXIT)" >&2
if [[ -s $profile/output.log ]]; then
    echo "tarnibe printed:" >&2
    sed 's/^/  /' "$profile/output.log" >&2
fi
ended=$EPOCHREALTIME
echo "done in $(awk -v a="$started" -v b="$ended" 'BEGIN {printf "%.1f", b - a}') s"
