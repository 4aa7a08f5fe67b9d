# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# shellcheck disable=SC2034 # the XTRAY_ variables are read by the scripts that source this file
# Shared by bench/startup.sh and scripts/screenshot.sh (sourced, not run): a private X display with a real
# XEmbed system tray (trayer) on it, a private session bus, and ways to watch the tray from outside.
#
# After xtray_start: DISPLAY points at the private display, XTRAY_DIR is a scratch folder removed by
# xtray_stop, XTRAY_PANEL is trayer's panel window and XTRAY_GEOMETRY its WxH+X+Y on the screen.

XTRAY_DIR=
XTRAY_PANEL=
XTRAY_GEOMETRY=
XTRAY_PIDS=()
XTRAY_NETNS=()
XTRAY_NETNS_NOTE=
XTRAY_SLEEP_FD=
XTRAY_BUS=

xtray_log() { printf '%s\n' "$*" >&2; }
xtray_die() { xtray_log "error: $*"; exit 1; }

# Installs the Debian packages behind any missing command, quietly. Arguments: command:package pairs.
xtray_require() {
    local pair missing=()
    for pair in "$@"; do
        command -v "${pair%%:*}" >/dev/null 2>&1 || missing+=("${pair#*:}")
    done
    ((${#missing[@]})) || return 0
    local sudo=()
    if ((EUID != 0)); then
        sudo -n true 2>/dev/null || xtray_die "missing ${missing[*]}; install them (apt-get install ${missing[*]})"
        sudo=(sudo -n)
    fi
    xtray_log "installing ${missing[*]} ..."
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -qq update >/dev/null 2>&1
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -qq install -y --no-install-recommends "${missing[@]}" \
        >/dev/null 2>&1 || xtray_die "apt-get could not install ${missing[*]}"
    for pair in "$@"; do
        command -v "${pair%%:*}" >/dev/null 2>&1 || xtray_die "${pair%%:*} still missing after installing ${pair#*:}"
    done
}

# Sleeps without starting a process, so waiting does not disturb the program being measured: reading a pipe
# that nobody writes to times out after the given seconds.
xtray_nap() { read -r -t "$1" -u "$XTRAY_SLEEP_FD" || true; }

# Wall-clock time in microseconds, into XTRAY_NOW (a variable, not output: a command substitution would fork).
XTRAY_NOW=0
xtray_clock() {
    local t=${EPOCHREALTIME/[.,]/}
    XTRAY_NOW=$((10#$t))
}

XTRAY_WATCH="$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/support" && pwd)/traywatch.py"

# Starts the display, the bus and the tray. Extra arguments go to Xvfb (e.g. -wr for a white background).
# shellcheck disable=SC2120 # the arguments are optional
xtray_start() {
    XTRAY_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tarnibe-xtray.XXXXXX")
    mkfifo "$XTRAY_DIR/nap"
    exec {XTRAY_SLEEP_FD}<>"$XTRAY_DIR/nap"

    # -displayfd lets the server pick a free display number and says when it accepts connections.
    : >"$XTRAY_DIR/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset "$@" \
        3>"$XTRAY_DIR/display" >"$XTRAY_DIR/xvfb.log" 2>&1 &
    XTRAY_PIDS+=($!)
    local i
    for ((i = 0; i < 1000; i++)); do
        [[ -s $XTRAY_DIR/display ]] && break
        kill -0 "${XTRAY_PIDS[-1]}" 2>/dev/null || xtray_die "Xvfb failed: $(tail -n 3 "$XTRAY_DIR/xvfb.log")"
        xtray_nap 0.01
    done
    DISPLAY=":$(head -n 1 "$XTRAY_DIR/display")"
    export DISPLAY
    [[ $DISPLAY != ":" ]] || xtray_die "Xvfb did not report its display"

    # A bus of our own, so a desktop's StatusNotifierItem host cannot take the icons away from trayer, and so
    # nothing talks to the caller's session.
    if command -v dbus-daemon >/dev/null 2>&1; then
        dbus-daemon --session --nofork --nopidfile --address="unix:path=$XTRAY_DIR/bus" \
            >"$XTRAY_DIR/dbus.log" 2>&1 &
        XTRAY_PIDS+=($!)
        for ((i = 0; i < 500; i++)); do
            [[ -S $XTRAY_DIR/bus ]] && break
            xtray_nap 0.01
        done
    fi
    # Without a daemon the address leads nowhere and Qt falls back to XEmbed at once.
    XTRAY_BUS="unix:path=$XTRAY_DIR/bus"

    trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel --height 32 \
        --transparent false --SetDockType true >"$XTRAY_DIR/trayer.log" 2>&1 &
    XTRAY_PIDS+=($!)
    for ((i = 0; i < 1000; i++)); do
        XTRAY_PANEL=$(xwininfo -root -children 2>/dev/null | awk '/"panel": \("panel" "trayer"\)/ {print $1; exit}')
        # trayer maps its panel slightly before it takes the tray selection; a program started in between
        # would find no tray.
        [[ -n $XTRAY_PANEL ]] && python3 "$XTRAY_WATCH" owned && break
        XTRAY_PANEL=
        kill -0 "${XTRAY_PIDS[-1]}" 2>/dev/null || xtray_die "trayer failed: $(tail -n 3 "$XTRAY_DIR/trayer.log")"
        xtray_nap 0.01
    done
    [[ -n $XTRAY_PANEL ]] || xtray_die "trayer's tray did not come up on $DISPLAY"
    XTRAY_GEOMETRY=$(xwininfo -id "$XTRAY_PANEL" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /^  Width/ {w=$NF} /^  Height/ {h=$NF} END {print w "x" h "+" x "+" y}')

    xtray_pick_netns
}

# The programs run in a network namespace of their own where one is allowed: loopback only, so a measurement
# neither depends on nor sends anything to the outside network.
xtray_pick_netns() {
    if unshare --net true 2>/dev/null; then
        XTRAY_NETNS=(unshare --net)
        XTRAY_NETNS_NOTE="private network namespace (loopback only)"
    elif unshare --user --map-root-user --net true 2>/dev/null; then
        XTRAY_NETNS=(unshare --user --map-root-user --net)
        XTRAY_NETNS_NOTE="private user+network namespace (loopback only)"
    else
        XTRAY_NETNS=()
        XTRAY_NETNS_NOTE="host network (unshare not permitted here)"
    fi
}

xtray_stop() {
    local i
    if [[ -n ${XTRAY_WATCHER_PID:-} ]]; then
        kill -TERM "$XTRAY_WATCHER_PID" 2>/dev/null || true
    fi
    if [[ -n $XTRAY_PID ]]; then
        kill -KILL "$XTRAY_PID" 2>/dev/null || true
        wait "$XTRAY_PID" 2>/dev/null || true
        XTRAY_PID=
    fi
    # In reverse order: trayer goes before the display it lives on.
    for ((i = ${#XTRAY_PIDS[@]} - 1; i >= 0; i--)); do
        kill -TERM "${XTRAY_PIDS[i]}" 2>/dev/null || true
        wait "${XTRAY_PIDS[i]}" 2>/dev/null || true
    done
    XTRAY_PIDS=()
    if [[ -n $XTRAY_SLEEP_FD ]]; then
        exec {XTRAY_SLEEP_FD}>&-
        XTRAY_SLEEP_FD=
    fi
    if [[ -n $XTRAY_DIR && -d $XTRAY_DIR ]]; then
        rm -rf "$XTRAY_DIR"
    fi
    XTRAY_DIR=
    return 0
}

# Fills XTRAY_IDS with the client windows embedded in the tray: XEmbed reparents each icon window into a
# socket window of the panel, so they are the panel's grandchildren.
XTRAY_IDS=()
xtray_embedded() {
    XTRAY_IDS=()
    local out line indent base=0
    out=$(xwininfo -tree -id "$XTRAY_PANEL" 2>/dev/null) || return 0
    # xwininfo indents each level of the tree three spaces deeper than the one above.
    while IFS= read -r line; do
        [[ $line =~ ^(\ +)(0x[0-9a-f]+)\  ]] || continue
        indent=${#BASH_REMATCH[1]}
        ((base)) || base=$indent
        ((indent == base + 3)) && XTRAY_IDS+=("${BASH_REMATCH[2]}")
    done <<<"$out"
    return 0
}

# Prints "id name" for each viewable top-level window other than trayer's panel: what a program opened
# besides its tray icons.
xtray_other_windows() {
    local id
    while read -r id; do
        [[ $id == "$XTRAY_PANEL" ]] && continue
        if xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
            xwininfo -id "$id" | awk -v id="$id" '/^xwininfo: Window id:/ {sub(/^xwininfo: Window id: [^ ]+ /, ""); print id " " $0}'
        fi
    done < <(xwininfo -root -children 2>/dev/null | awk '/^ +0x[0-9a-f]+ / {print $1}')
}

# Creates a fresh home for one start of the program (first start: no settings, no data) and prints its path.
xtray_fresh_profile() {
    local dir
    dir=$(mktemp -d "$XTRAY_DIR/profile.XXXXXX")
    mkdir -p "$dir/home" "$dir/config" "$dir/data" "$dir/cache" "$dir/runtime"
    chmod 700 "$dir/runtime"
    printf '%s' "$dir"
}

# Runs the program in the background with the given profile and a clean environment, in the network namespace
# chosen above. The process is exec'd in place, so $! is the program itself; just before the exec the
# wall-clock time in microseconds goes to <profile>/t0. Its output goes to <profile>/<log>, output.log unless
# a third argument names another file (a second start on the same profile must not write over the first's).
# shellcheck disable=SC2016 # the quoted script is expanded by the inner shell
xtray_launch() {
    local bin=$1 profile=$2 log=${3:-output.log}
    env -i PATH="$PATH" LANG=C.UTF-8 HOME="$profile/home" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
        XDG_CONFIG_HOME="$profile/config" XDG_DATA_HOME="$profile/data" XDG_CACHE_HOME="$profile/cache" \
        XDG_RUNTIME_DIR="$profile/runtime" DBUS_SESSION_BUS_ADDRESS="$XTRAY_BUS" \
        "${XTRAY_NETNS[@]}" bash -c '
            ((EUID == 0)) && command -v ip >/dev/null && ip link set lo up 2>/dev/null
            t=${EPOCHREALTIME/[.,]/}; printf "%s" "$((10#$t))" >"$0/t0"
            exec "$@"' "$profile" "$bin" </dev/null >"$profile/$log" 2>&1 {XTRAY_SLEEP_FD}<&- &
}

# A process that has ended but is not yet reaped still answers kill -0; its state in /proc says Z.
xtray_alive() {
    local stat
    { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
    stat=${stat##*) }
    [[ ${stat%% *} != Z ]]
}

# Launches the program as xtray_launch does and waits until <count> icon windows are embedded in the tray and
# viewable, or it ends, or <timeout_s> pass. The watcher starts first, so it is ready when the program is;
# XTRAY_PID is the program, XTRAY_SHOWN_US the wall-clock time the icons were first all seen (empty if they
# never were), XTRAY_SEEN the number of icons last seen and XTRAY_WAIT_NOTE why they were not shown.
XTRAY_PID=
XTRAY_SHOWN_US=
XTRAY_SEEN=0
XTRAY_WAIT_NOTE=
xtray_launch_watched() {
    local bin=$1 profile=$2 count=$3 timeout_s=$4 line verdict stamp
    XTRAY_SHOWN_US='' XTRAY_WAIT_NOTE='' XTRAY_SEEN=0
    coproc XTRAY_WATCHER { exec python3 "$XTRAY_WATCH" wait "$XTRAY_PANEL" "$count" "$timeout_s"; }
    local watcher_pid=$XTRAY_WATCHER_PID watch_in=${XTRAY_WATCHER[0]} watch_out=${XTRAY_WATCHER[1]}
    read -r line <&"$watch_in" || line=
    [[ $line == ready ]] || xtray_die "the tray watcher did not start"
    xtray_launch "$bin" "$profile"
    XTRAY_PID=$!
    printf '%s\n' "$XTRAY_PID" >&"$watch_out"
    read -r verdict stamp XTRAY_SEEN <&"$watch_in" || verdict=
    wait "$watcher_pid" 2>/dev/null || true
    case $verdict in
    shown) XTRAY_SHOWN_US=$stamp ;;
    ended) XTRAY_WAIT_NOTE="ended with $XTRAY_SEEN of $count icons shown" ;;
    timeout) XTRAY_WAIT_NOTE="only $XTRAY_SEEN of $count icons after $timeout_s s" ;;
    *) XTRAY_WAIT_NOTE="the tray watcher failed" ;;
    esac
    [[ -n $XTRAY_SHOWN_US ]]
}

# Waits until the tray holds no icons, e.g. those of a program that has just ended.
xtray_wait_empty() {
    local i
    for ((i = 0; i < 500; i++)); do
        xtray_embedded
        ((${#XTRAY_IDS[@]} == 0)) && return 0
        xtray_nap 0.01
    done
    return 1
}

# Ends a program the way a session does, with SIGTERM, and reaps it. XTRAY_EXIT is its exit status, or
# "killed" when it had not ended <timeout_s> seconds later and SIGKILL had to do it.
XTRAY_EXIT=
xtray_terminate() {
    local pid=$1 timeout_s=${2:-10} i
    XTRAY_EXIT=
    if xtray_alive "$pid"; then
        kill -TERM "$pid" 2>/dev/null || true
        for ((i = 0; i < timeout_s * 100; i++)); do
            xtray_alive "$pid" || break
            xtray_nap 0.01
        done
        if xtray_alive "$pid"; then
            kill -KILL "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
            XTRAY_EXIT=killed
            [[ $pid != "$XTRAY_PID" ]] || XTRAY_PID=
            return 1
        fi
    fi
    XTRAY_EXIT=0
    wait "$pid" 2>/dev/null || XTRAY_EXIT=$?
    [[ $pid != "$XTRAY_PID" ]] || XTRAY_PID=
    [[ $XTRAY_EXIT == 0 ]]
}
