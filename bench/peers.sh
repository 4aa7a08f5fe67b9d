#!/usr/bin/env bash
# Tarnibe beside its peers: cold start, memory and idle cost of tarnibe, of the least a Qt Widgets tray program
# costs (floor_tray), of SpeedCrunch and of xpad, on one private Xvfb display with trayer as a real XEmbed tray.
#
#   bench/peers.sh [--rounds N] [--only startup,memory,idle] [--idle-seconds S] [--raw FILE] [--tarnibe PATH]
#                  [--tarnibe-before PATH] [--floor PATH] [--speedcrunch PATH] [--xpad PATH]
#
# The programs take turns, round by round (the first program of each round moves on by one), so that noise on
# the machine falls on all of them alike. Every start has fresh, empty home, settings, data and runtime folders,
# except where a program is given prepared settings (tarnibe with the calculator only; tarnibe with 40 notes, or
# with 40 or 1,000 hidden notes). With --tarnibe-before every tarnibe row is run with that binary too, named
# <row>@before, in the same rotation, so that one run compares two builds on the same display and tray.
# Start-up and memory come from the same starts: the time from the exec to the icons embedded and/or the first
# window mapped, then VmRSS and Pss 3 s after the exec. In the idle part the programs run side by side, and
# their CPU time and context switches are read 5 s after the last is up and again the idle time later.
# SPDX-License-Identifier: GPL-3.0-or-later
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")

usage() { sed -n '5,6p' "${BASH_SOURCE[0]}" | sed 's/^# *//' >&2; exit 2; }

rounds=10
only=startup,memory,idle
idle_s=60
raw=
tarnibe=$root/build-rel/app/tarnibe
tarnibe_before=
floor=$root/build-rel/bench/peers/floor_tray
speedcrunch=
xpad=
while (($#)); do
    case $1 in
    --rounds) rounds=${2:?}; shift 2 ;;
    --only) only=${2:?}; shift 2 ;;
    --idle-seconds) idle_s=${2:?}; shift 2 ;;
    --raw) raw=${2:?}; shift 2 ;;
    --tarnibe) tarnibe=${2:?}; shift 2 ;;
    --tarnibe-before) tarnibe_before=${2:?}; shift 2 ;;
    --floor) floor=${2:?}; shift 2 ;;
    --speedcrunch) speedcrunch=${2:?}; shift 2 ;;
    --xpad) xpad=${2:?}; shift 2 ;;
    -h | --help) usage ;;
    *) echo "error: unknown option '$1'" >&2; usage ;;
    esac
done
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "error: rounds must be a positive number, not '$rounds'" >&2; exit 2; }
[[ $idle_s =~ ^[1-9][0-9]*$ ]] || { echo "error: idle seconds must be a positive number" >&2; exit 2; }
want_startup=0 want_memory=0 want_idle=0
IFS=, read -r -a parts <<<"$only"
for part in "${parts[@]}"; do
    case $part in
    startup) want_startup=1 ;;
    memory) want_memory=1 ;;
    idle) want_idle=1 ;;
    *) echo "error: --only takes startup, memory and idle, not '$part'" >&2; exit 2 ;;
    esac
done

# shellcheck source=bench/xtray.sh
source "$here/xtray.sh"
required=(Xvfb:xvfb trayer:trayer xwininfo:x11-utils python3:python3 xdotool:xdotool)
[[ -n $speedcrunch ]] || required+=(speedcrunch:speedcrunch)
[[ -n $xpad ]] || required+=(xpad:xpad)
xtray_require "${required[@]}"
speedcrunch=${speedcrunch:-$(command -v speedcrunch)}
xpad=${xpad:-$(command -v xpad)}

absolute() { printf '%s/%s' "$(cd "$(dirname "$1")" && pwd)" "$(basename "$1")"; }
for bin in "$tarnibe" "$floor" "$speedcrunch" "$xpad" ${tarnibe_before:+"$tarnibe_before"}; do
    [[ -x $bin && -f $bin ]] || {
        echo "error: $bin is not an executable (ninja -C build-rel tarnibe floor_tray)" >&2
        exit 1
    }
done
tarnibe=$(absolute "$tarnibe") floor=$(absolute "$floor")
[[ -z $tarnibe_before ]] || tarnibe_before=$(absolute "$tarnibe_before")
speedcrunch=$(absolute "$speedcrunch") xpad=$(absolute "$xpad")
[[ -n $raw ]] || raw=${TMPDIR:-/tmp}/tarnibe-peers.$(date +%Y%m%d-%H%M%S).tsv
: >"$raw" || { echo "error: cannot write $raw" >&2; exit 1; }
raw=$(absolute "$raw")

timeout_s=20
settle_s=3
settle_idle_s=5
notes_count=40
clk_tck=$(getconf CLK_TCK)

# The idle programs run together, so all of them are ended when the benchmark is.
IDLE_PIDS=()
cleanup() {
    local pid
    for pid in "${IDLE_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    [[ -z ${PEERS_WATCHER_PID:-} ]] || kill -TERM "$PEERS_WATCHER_PID" 2>/dev/null || true
    xtray_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

kib() { awk -v key="$1:" '$1 == key {print $2; exit}' "$2" 2>/dev/null; }
mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
# The pages no other process maps (USS): unlike PSS, it does not change with what else runs on the machine.
uss_mib() { awk '$1 == "Private_Clean:" || $1 == "Private_Dirty:" {k += $2} END {printf "%.1f", k / 1024}' "$1"; }
ms_between() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.0f", (b - a) / 1000}'; }

# One row of the raw file: round, program, metric, value, note. Nothing while warming up.
recording=1
record() {
    ((recording)) || return 0
    printf '%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "${5:-}" >>"$raw"
}
printf 'round\tprogram\tmetric\tvalue\tnote\n' >>"$raw"

xtray_start
echo "display $DISPLAY, trayer panel $XTRAY_GEOMETRY, $XTRAY_NETNS_NOTE; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tarnibe $tarnibe; floor $floor; speedcrunch $speedcrunch; xpad $xpad"
[[ -z $tarnibe_before ]] || echo "tarnibe@before $tarnibe_before"
echo "raw rows: $raw"

# The window variant of the floor is the same program under another name (it has no arguments to tell it).
floor_window=$XTRAY_DIR/floor_window
ln -s "$floor" "$floor_window"
floor_four=$XTRAY_DIR/floor_four
ln -s "$floor" "$floor_four"

# Launches a program as xtray_launch does, watched by peerwatch.py until it has <icons> tray icons in all (those
# of programs already running count too) and <windows> new top-level windows; with <click> 1 the icon is
# clicked as soon as it is there. Sets XTRAY_PID and PW_* (see peerwatch.py).
PW_VERDICT='' PW_ICONS_US='' PW_CLICK_US='' PW_WINDOWS_US='' PW_NICONS='' PW_NWINDOWS='' PW_NAME=''
peers_launch_watched() {
    local bin=$1 profile=$2 icons=$3 windows=$4 click=$5 line
    coproc PEERS_WATCHER {
        exec python3 "$here/peers/peerwatch.py" wait "$XTRAY_PANEL" "$icons" "$windows" "$click" "$timeout_s"
    }
    local watcher_pid=$PEERS_WATCHER_PID watch_in=${PEERS_WATCHER[0]} watch_out=${PEERS_WATCHER[1]}
    read -r line <&"$watch_in" || line=
    [[ $line == ready ]] || xtray_die "the window watcher did not start"
    xtray_launch "$bin" "$profile"
    XTRAY_PID=$!
    printf '%s\n' "$XTRAY_PID" >&"$watch_out"
    read -r PW_VERDICT PW_ICONS_US PW_CLICK_US PW_WINDOWS_US PW_NICONS PW_NWINDOWS PW_NAME <&"$watch_in" ||
        PW_VERDICT=failed
    wait "$watcher_pid" 2>/dev/null || true
    PEERS_WATCHER_PID=
}

# Settings as tarnibe writes them on a first start, made once per binary (the builds compared may write different
# keys): a profile holding them is not a first start, so its Start keys decide which programs run. Everything
# else stays as a first start leaves it: no clock sync, no mail check (the accounts are placeholders), the
# container shown.
declare -A templates=()
make_template() {
    local bin=$1 profile
    [[ -z ${templates[$bin]:-} ]] || return 0
    profile=$(xtray_fresh_profile)
    xtray_launch_watched "$bin" "$profile" 4 "$timeout_s" || xtray_die "$bin did not start: $XTRAY_WAIT_NOTE"
    xtray_terminate "$XTRAY_PID" 10 || xtray_die "$bin did not end on SIGTERM"
    templates[$bin]=$profile/config/Tarnibe/Tarnibe.conf
    grep -q '^StartNotes=' "${templates[$bin]}" || xtray_die "$bin wrote no settings to ${templates[$bin]}"
    xtray_wait_empty || xtray_die "the tray still holds icons after the settings run"
}

# A fresh profile for the given tarnibe binary whose settings start the programs whose keys follow (StartNotes,
# StartCalc, StartClock, StartEmail), and none of the others.
tarnibe_profile() {
    local bin=$1 profile conf key value
    shift
    profile=$(xtray_fresh_profile)
    mkdir -p "$profile/config/Tarnibe" "$profile/data/Tarnibe"
    conf=$profile/config/Tarnibe/Tarnibe.conf
    cp "${templates[$bin]}" "$conf"
    chmod 600 "$conf"
    for key in StartNotes StartCalc StartClock StartEmail; do
        value=0
        [[ " $* " != *" $key "* ]] || value=1
        sed -i -E "s/^$key=[^\r]*/$key=$value/" "$conf"
    done
    printf '%s' "$profile"
}

# The notes file (see notes/NoteFile.h): per note a length line, the text, and 23 comma-separated fields, all
# CR LF ended; the seventh says whether the note is shown (<visible> 1, the default) or hidden (0). The notes are
# spread over the screen in rows of eight, five rows deep, more notes lying on the first ones again.
write_notes() {
    local file=$1 count=$2 visible=${3:-1} i r text flag='#TRUE#'
    ((visible)) || flag='#FALSE#'
    for ((i = 0; i < count; i++)); do
        text="Note $((i + 1)): the milk, the bread and the meeting at ten."
        printf '%d\r\n%s\r\n%d,%d,3000,2500,3000,2500,%s,"NO_DATE_SET","13:25","-1","2026-12-06  10:00:00",8,""' \
            "${#text}" "$text" $((1500 + (i / 8 % 5) * 1800)) $((1500 + (i % 8) * 2400)) "$flag"
        for ((r = 0; r < 10; r++)); do
            printf ',""'
        done
        printf '\r\n'
    done >"$file"
}

# Counts the notes in a notes file as tarnibe left it: "<notes> <hidden>". Only a field line has a seventh field
# of #TRUE# or #FALSE# (the texts written above have three fields).
count_notes() {
    awk -F, '$7 == "#TRUE#" || $7 == "#FALSE#" {n++; if ($7 == "#FALSE#") h++} END {print n + 0, h + 0}' \
        "$1" 2>/dev/null || echo "0 0"
}

# Each tarnibe row, and its twin with the earlier build right after it, so that the two take turns too.
tarnibe_rows() {
    local entry
    for entry in "$@"; do
        printf '%s\n' "${entry%%|*}|$tarnibe|${entry#*|}"
        [[ -z $tarnibe_before ]] || printf '%s\n' "${entry%%|*}@before|$tarnibe_before|${entry#*|}"
    done
}

# The programs of the start-up and memory part: name, executable, profile kind (fresh; calc: the calculator
# only; hidden:N: all four programs and N hidden notes), icons and new windows waited for, and whether the icon
# is clicked.
mapfile -t startup_programs < <(tarnibe_rows "tarnibe|fresh|4|0|0" "tarnibe-calc|calc|1|1|1" \
    "tarnibe-40hidden|hidden:40|4|0|0" "tarnibe-1000hidden|hidden:1000|4|0|0")
startup_programs+=(
    "floor|$floor|fresh|1|0|0"
    "floor-window|$floor_window|fresh|1|1|1"
    "floor-4icons|$floor_four|fresh|4|0|0"
    "speedcrunch|$speedcrunch|fresh|0|1|0"
    "xpad|$xpad|fresh|1|1|0"
)
declare -A printed=()
# The idle part: name, executable, profile kind (notes:N, N notes shown; hidden:N), icons and new windows waited
# for. Tarnibe starts the notes and the calculator; the container is a window, as are notes shown.
mapfile -t idle_programs < <(tarnibe_rows "tarnibe-40notes|notes:$notes_count|2|$((notes_count + 1))" \
    "tarnibe-1000hidden|hidden:1000|2|1")
idle_programs+=(
    "floor|$floor|fresh|1|0"
    "speedcrunch|$speedcrunch|fresh|0|1"
    "xpad|$xpad|fresh|1|1"
)
# The name column fits the longest name.
name_w=7
for entry in "${startup_programs[@]}" "${idle_programs[@]}"; do
    entry=${entry%%|*}
    ((${#entry} <= name_w)) || name_w=${#entry}
done

startup_run() {
    local round=$1 entry=$2 name bin kind icons windows click profile t0 pid notes=() line hidden=0
    local start_icons=- start_window=- click_window=- rss_mb=- pss_mb=-
    IFS='|' read -r name bin kind icons windows click <<<"$entry"
    xtray_wait_empty || xtray_die "the tray still holds icons before $name in round $round"
    case $kind in
    fresh) profile=$(xtray_fresh_profile) ;;
    calc) profile=$(tarnibe_profile "$bin" StartCalc) ;;
    hidden:*)
        hidden=${kind#hidden:}
        profile=$(tarnibe_profile "$bin" StartNotes StartCalc StartClock StartEmail)
        write_notes "$profile/data/Tarnibe/notes.dat" "$hidden" 0
        ;;
    esac
    peers_launch_watched "$bin" "$profile" "$icons" "$windows" "$click"
    pid=$XTRAY_PID
    t0=$(<"$profile/t0")
    [[ $PW_VERDICT == shown ]] || notes+=("$PW_VERDICT: $PW_NICONS of $icons icons, $PW_NWINDOWS of $windows windows")
    if ((want_startup)); then
        if ((icons)) && [[ $PW_ICONS_US != - ]]; then
            start_icons=$(ms_between "$t0" "$PW_ICONS_US")
            record "$round" "$name" "start to $icons icon(s), ms" "$start_icons"
        fi
        if ((windows)) && [[ $PW_WINDOWS_US != - ]]; then
            start_window=$(ms_between "$t0" "$PW_WINDOWS_US")
            local what="start to first window, ms"
            ((click == 0)) || what="start to first window (icon clicked), ms"
            record "$round" "$name" "$what" "$start_window" "$PW_NAME"
            if ((click)) && [[ $PW_CLICK_US != - ]]; then
                click_window=$(ms_between "$PW_ICONS_US" "$PW_WINDOWS_US")
                record "$round" "$name" "icon embedded to window (via xdotool click), ms" "$click_window"
            fi
        fi
    fi
    if ((want_memory)); then
        xtray_clock
        local wait_us=$((t0 + settle_s * 1000000 - XTRAY_NOW))
        ((wait_us <= 0)) || xtray_nap "$(awk -v u="$wait_us" 'BEGIN {printf "%.3f", u / 1e6}')"
        if xtray_alive "$pid"; then
            rss_mb=$(mib "$(kib VmRSS "/proc/$pid/status")")
            pss_mb=$(mib "$(kib Pss "/proc/$pid/smaps_rollup")")
            record "$round" "$name" "RSS at 3 s, MB" "$rss_mb"
            record "$round" "$name" "PSS at 3 s, MB" "$pss_mb"
            record "$round" "$name" "private (USS) at 3 s, MB" "$(uss_mib "/proc/$pid/smaps_rollup")"
        else
            notes+=("ended within $settle_s s")
        fi
    fi
    xtray_terminate "$pid" 10 || true
    if ((hidden)); then
        local saved
        read -r -a saved <<<"$(count_notes "$profile/data/Tarnibe/notes.dat")"
        if ((saved[0] == hidden && saved[1] == hidden)); then
            notes+=("kept $hidden hidden notes")
        else
            notes+=("saved ${saved[0]} of $hidden notes, ${saved[1]} hidden")
        fi
    fi
    while IFS= read -r line; do
        [[ -z $line ]] || printed["$name: $line"]=$((${printed["$name: $line"]:-0} + 1))
    done <"$profile/output.log"
    printf '%5d  %-*s %9s %10s %9s %7s %7s %5s  %s\n' "$round" "$name_w" "$name" "$start_icons" "$start_window" \
        "$click_window" "$rss_mb" "$pss_mb" "$XTRAY_EXIT" "${PW_NAME:--} ${notes[*]}"
}

# CPU ticks of the whole process (utime + stime; the kernel keeps those of ended threads in the total) into
# IDLE_TICKS, and each thread's context switches into IDLE_SWITCHES[<tid>].
IDLE_TICKS=0
declare -A IDLE_SWITCHES=()
idle_counters() {
    local pid=$1 stat fields status tid key value
    IDLE_TICKS=0 IDLE_SWITCHES=()
    { read -r stat <"/proc/$pid/stat"; } 2>/dev/null || return 1
    read -r -a fields <<<"${stat##*) }"
    # After the name: state is field 3, utime field 14 and stime field 15.
    IDLE_TICKS=$((fields[11] + fields[12]))
    for status in /proc/"$pid"/task/*/status; do
        tid=${status%/status}
        tid=${tid##*/}
        while read -r key value; do
            case $key in
            voluntary_ctxt_switches: | nonvoluntary_ctxt_switches:)
                IDLE_SWITCHES[$tid]=$((${IDLE_SWITCHES[$tid]:-0} + value)) ;;
            esac
        done <"$status" 2>/dev/null || true
    done
}

# The context switches since the first reading (kept in IDLE_BEFORE_<n> as "tid=count ..."): those of threads
# alive at both readings, plus all of threads started since. A thread that ended in between takes its count with
# it (Qt's pool threads end after 30 s idle): its switches after the first reading are not seen.
IDLE_WAKEUPS=0 IDLE_ENDED=0
idle_switches_since() {
    local before=$1 pair tid
    local -A first=()
    for pair in $before; do
        first[${pair%=*}]=${pair#*=}
    done
    IDLE_WAKEUPS=0 IDLE_ENDED=0
    for tid in "${!IDLE_SWITCHES[@]}"; do
        IDLE_WAKEUPS=$((IDLE_WAKEUPS + IDLE_SWITCHES[$tid] - ${first[$tid]:-0}))
    done
    for tid in "${!first[@]}"; do
        [[ -n ${IDLE_SWITCHES[$tid]:-} ]] || IDLE_ENDED=$((IDLE_ENDED + 1))
    done
}

idle_round() {
    local round=$1 i k name bin kind profile icons=0 windows total_icons=0 last_up=0 t0
    local -a names=() pids=() profiles=() kinds=() ticks0=() switches0=() notes=()
    # Started one after another, each waited for, so the windows each brings are told apart; the first to start
    # moves on by one each round, as in the start-up part.
    xtray_wait_empty || xtray_die "the tray still holds icons before the idle part of round $round"
    local count=${#idle_programs[@]}
    for ((k = 0; k < count; k++)); do
        IFS='|' read -r name bin kind icons windows <<<"${idle_programs[(k + round - 1) % count]}"
        case $kind in
        notes:*)
            profile=$(tarnibe_profile "$bin" StartNotes StartCalc)
            write_notes "$profile/data/Tarnibe/notes.dat" "${kind#notes:}" 1
            ;;
        hidden:*)
            profile=$(tarnibe_profile "$bin" StartNotes StartCalc)
            write_notes "$profile/data/Tarnibe/notes.dat" "${kind#hidden:}" 0
            ;;
        *) profile=$(xtray_fresh_profile) ;;
        esac
        total_icons=$((total_icons + icons))
        peers_launch_watched "$bin" "$profile" "$((icons ? total_icons : 0))" "$windows" 0
        IDLE_PIDS+=("$XTRAY_PID")
        names+=("$name") pids+=("$XTRAY_PID") profiles+=("$profile") kinds+=("$kind")
        [[ $PW_VERDICT == shown ]] ||
            notes+=("$name $PW_VERDICT: $PW_NICONS of $total_icons icons, $PW_NWINDOWS of $windows windows")
        for t0 in "$PW_ICONS_US" "$PW_WINDOWS_US"; do
            [[ $t0 == - ]] || ((t0 <= last_up)) || last_up=$t0
        done
        XTRAY_PID=
    done
    xtray_clock
    local wait_us=$((last_up + settle_idle_s * 1000000 - XTRAY_NOW))
    ((wait_us <= 0)) || xtray_nap "$(awk -v u="$wait_us" 'BEGIN {printf "%.3f", u / 1e6}')"

    local tid
    for i in "${!pids[@]}"; do
        idle_counters "${pids[i]}" || true
        ticks0[i]=$IDLE_TICKS switches0[i]=
        for tid in "${!IDLE_SWITCHES[@]}"; do
            switches0[i]+="$tid=${IDLE_SWITCHES[$tid]} "
        done
    done
    xtray_clock
    local begin=$XTRAY_NOW
    xtray_nap "$idle_s"
    xtray_clock
    local seconds
    seconds=$(awk -v us=$((XTRAY_NOW - begin)) 'BEGIN {printf "%.3f", us / 1e6}')

    local line="" cpu wakeups rss_mb pss_mb
    for i in "${!pids[@]}"; do
        name=${names[i]}
        if ! xtray_alive "${pids[i]}" || ! idle_counters "${pids[i]}"; then
            notes+=("$name ended")
            continue
        fi
        cpu=$(awk -v t=$((IDLE_TICKS - ticks0[i])) -v hz="$clk_tck" -v s="$seconds" \
            'BEGIN {printf "%.3f", 100 * t / hz / s}')
        idle_switches_since "${switches0[i]}"
        wakeups=$(awk -v n="$IDLE_WAKEUPS" -v s="$seconds" 'BEGIN {printf "%.2f", n / s}')
        ((IDLE_ENDED == 0)) || notes+=("$name: $IDLE_ENDED thread(s) ended while idle")
        rss_mb=$(mib "$(kib VmRSS "/proc/${pids[i]}/status")")
        pss_mb=$(mib "$(kib Pss "/proc/${pids[i]}/smaps_rollup")")
        record "$round" "$name" "idle CPU, % of one core" "$cpu" "over $seconds s"
        record "$round" "$name" "idle wake-ups (context switches), /s" "$wakeups" \
            "over $seconds s, $IDLE_ENDED thread(s) ended"
        record "$round" "$name" "idle RSS (end), MB" "$rss_mb"
        record "$round" "$name" "idle PSS (end, shared with the others), MB" "$pss_mb"
        record "$round" "$name" "idle private (USS, end), MB" "$(uss_mib "/proc/${pids[i]}/smaps_rollup")"
        line+=$(printf ' %s %s%%/%s/s %sMB;' "$name" "$cpu" "$wakeups" "$rss_mb")
    done
    for i in "${!pids[@]}"; do
        xtray_terminate "${pids[i]}" 10 || true
    done
    IDLE_PIDS=()
    # The notes must have been read, not lost: tarnibe saves them all again when it ends, shown or hidden as
    # they were.
    local saved want hidden
    for i in "${!pids[@]}"; do
        kind=${kinds[i]}
        case $kind in
        notes:*) want=${kind#notes:} hidden=0 ;;
        hidden:*) want=${kind#hidden:} hidden=$want ;;
        *) continue ;;
        esac
        read -r -a saved <<<"$(count_notes "${profiles[i]}/data/Tarnibe/notes.dat")"
        ((saved[0] == want && saved[1] == hidden)) ||
            notes+=("${names[i]} saved ${saved[0]} of $want notes, ${saved[1]} hidden")
    done
    printf '%5d  idle over %s s:%s %s\n' "$round" "$seconds" "$line" "${notes[*]}"
}

if ((want_startup || want_memory || want_idle)); then
    make_template "$tarnibe"
    [[ -z $tarnibe_before ]] || make_template "$tarnibe_before"
fi
started=$SECONDS
printf '%5s  %-*s %9s %10s %9s %7s %7s %5s  %s\n' round "$name_w" program icons_ms window_ms click_ms RSS_MB PSS_MB \
    exit "first window, notes"
count=${#startup_programs[@]}
# One start of each program first, not counted: the first GTK program on a display probes OpenGL (mesa, LLVM)
# and leaves its findings on the root window, the first program asking for the accessibility bus has it started,
# and the first start of anything reads its libraries from disk. A desktop has all that behind it.
if ((want_startup || want_memory || want_idle)); then
    recording=0
    for ((k = 0; k < count; k++)); do
        startup_run 0 "${startup_programs[k]}"
    done
    recording=1
fi
for ((round = 1; round <= rounds; round++)); do
    if ((want_startup || want_memory)); then
        for ((k = 0; k < count; k++)); do
            startup_run "$round" "${startup_programs[(k + round - 1) % count]}"
        done
    fi
    if ((want_idle)); then
        idle_round "$round"
    fi
done

if ((${#printed[@]})); then
    echo "the programs printed (runs that printed the line):"
    for line in "${!printed[@]}"; do
        printf '  %3d  %s\n' "${printed[$line]}" "$line"
    done | sort -k2 | cut -c1-200
fi

# The table: the programs in the order first recorded, each with its metrics in the order first recorded.
echo
echo "| program | metric | median | min | max | runs |"
echo "|---|---|---:|---:|---:|---:|"
tail -n +2 "$raw" | sort -t$'\t' -k2,2 -k3,3 -k4,4g | awk -F'\t' '
    function flush() {
        if (n == 0)
            return
        med = n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        line[key] = sprintf("| %s | %s | %s | %s | %s | %d |", prog, met, med + 0, v[1] + 0, v[n] + 0, n)
        n = 0
    }
    $2 FS $3 != key { flush(); key = $2 FS $3; prog = $2; met = $3 }
    { v[++n] = $4 }
    END {
        flush()
        while ((getline row < RAW) > 0) {
            split(row, f, "\t")
            if (f[1] == "round")
                continue
            if (!(f[2] in porder)) { porder[f[2]] = ++np; pname[np] = f[2] }
            k = f[2] FS f[3]
            if (!(k in korder)) { korder[k] = 1; nk[f[2]]++; keys[f[2], nk[f[2]]] = k }
        }
        for (i = 1; i <= np; i++)
            for (j = 1; j <= nk[pname[i]]; j++)
                print line[keys[pname[i], j]]
    }' RAW="$raw"
echo
echo "$rounds rounds in $((SECONDS - started)) s; raw rows in $raw"
