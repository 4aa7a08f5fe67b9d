#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cold start of tarnibe to its four tray icons, and its memory once it has settled.
#
#   bench/startup.sh [path-to-tarnibe] [runs=10]
#
# Every run is a first start (fresh, empty settings, data and runtime folders), so all four programs start.
# The time runs from the exec of the program to the moment four icon windows are embedded in a real XEmbed
# tray and viewable; memory is read 3 s after the exec. One private Xvfb display and trayer serve all runs.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
bin=${1:-$root/build/app/tarnibe}
runs=${2:-10}
icons=4
timeout_s=20
settle_s=3

[[ -x $bin && -f $bin ]] || { echo "error: $bin is not an executable (build it: ninja -C build)" >&2; exit 1; }
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "error: runs must be a positive number, not '$runs'" >&2; exit 1; }
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")

# shellcheck source=bench/xtray.sh
source "$here/xtray.sh"
xtray_require Xvfb:xvfb trayer:trayer xwininfo:x11-utils python3:python3

trap xtray_stop EXIT
trap 'exit 130' INT TERM HUP

kib() { awk -v key="$1:" '$1 == key {print $2; exit}' "$2" 2>/dev/null; }
mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

xtray_start

echo "tarnibe: $bin"
echo "display $DISPLAY, trayer panel $XTRAY_GEOMETRY, $XTRAY_NETNS_NOTE; load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%4s %9s %7s %7s %6s %5s %6s  %s\n' run start_ms RSS_MB PSS_MB icons exit saved note
times=() rss=() pss=()
faults=0
declare -A printed=()

for ((run = 1; run <= runs; run++)); do
    # The previous run's icons must be gone, or they would be counted for this one.
    xtray_wait_empty || { echo "error: the tray still holds icons from run $((run - 1))" >&2; exit 1; }

    profile=$(xtray_fresh_profile)
    ms=- rss_mb=- pss_mb=- note=
    shown=0
    xtray_launch_watched "$bin" "$profile" "$icons" "$timeout_s" && shown=1
    pid=$XTRAY_PID
    if ((shown)); then
        t0=$(<"$profile/t0")
        ms=$(((XTRAY_SHOWN_US - t0 + 500) / 1000))
        times+=("$ms")
        xtray_clock
        wait_us=$((t0 + settle_s * 1000000 - XTRAY_NOW))
        if ((wait_us > 0)); then
            xtray_nap "$(awk -v u="$wait_us" 'BEGIN {printf "%.3f", u / 1e6}')"
        fi
        if xtray_alive "$pid"; then
            rss_mb=$(mib "$(kib VmRSS "/proc/$pid/status")")
            pss_mb=$(mib "$(kib Pss "/proc/$pid/smaps_rollup")")
            rss+=("$rss_mb") pss+=("$pss_mb")
            # On a first start with a tray the icons are all there is; any window is worth a mention.
            others=$(xtray_other_windows | cut -d' ' -f2- | paste -sd, -)
            [[ -z $others ]] || note="also shown: $others"
        else
            note="ended within $settle_s s"
            faults=$((faults + 1))
        fi
    else
        note=$XTRAY_WAIT_NOTE
        faults=$((faults + 1))
    fi

    # SIGTERM is how a session ends the program: it must save its settings and leave on its own.
    xtray_terminate "$pid" 10 || faults=$((faults + 1))
    saved=no
    if [[ -s $profile/config/Tarnibe/Tarnibe.conf ]]; then
        saved=yes
    else
        faults=$((faults + 1))
    fi

    while IFS= read -r line; do
        [[ -z $line ]] || printed[$line]=$((${printed[$line]:-0} + 1))
    done <"$profile/output.log"

    printf '%4d %9s %7s %7s %6d %5s %6s  %s\n' "$run" "$ms" "$rss_mb" "$pss_mb" "$XTRAY_SEEN" "$XTRAY_EXIT" "$saved" \
        "$note"
done

if ((${#printed[@]})); then
    echo "tarnibe printed (runs that printed the line, of $runs):"
    for line in "${!printed[@]}"; do
        printf '  %3d  %s\n' "${printed[$line]}" "$line"
    done | sort -k2
fi

if ((${#times[@]} == 0)); then
    echo "startup: no run showed $icons tray icons (of $runs runs)"
    exit 1
fi
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
min=$(head -n 1 <<<"$sorted")
max=$(tail -n 1 <<<"$sorted")
med=$(median "${times[@]}" | awk '{print int($1 + 0.5)}')
rss_med=- pss_med=-
if ((${#rss[@]})); then
    rss_med=$(median "${rss[@]}" | awk '{printf "%.1f", $1}')
    pss_med=$(median "${pss[@]}" | awk '{printf "%.1f", $1}')
fi
echo "startup: median $med ms (min $min, max $max) over ${#times[@]} runs; RSS $rss_med MB, PSS $pss_med MB"
# A run that did not show its icons, end on SIGTERM or save its settings makes the whole benchmark fail.
((faults == 0))
