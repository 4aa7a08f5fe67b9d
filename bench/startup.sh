#!/usr/bin/env bash
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

[[ -x $bin ]] || { echo "error: $bin is not an executable (build it: ninja -C build)" >&2; exit 1; }
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "error: runs must be a positive number, not '$runs'" >&2; exit 1; }
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")

# shellcheck source=bench/xtray.sh
source "$here/xtray.sh"
xtray_require Xvfb:xvfb trayer:trayer xwininfo:x11-utils

pid=
cleanup() {
    if [[ -n $pid ]]; then
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    xtray_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# A process that has ended but is not yet reaped still answers kill -0; its state in /proc says Z.
alive() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [[ ${stat%% *} != Z ]]
}

kib() { awk -v key="$1:" '$1 == key {print $2; exit}' "$2" 2>/dev/null; }
mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m}'; }

xtray_start

echo "tarnibe: $bin"
echo "display $DISPLAY, trayer panel $XTRAY_GEOMETRY, $XTRAY_NETNS_NOTE; load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%4s %10s %8s %8s %6s %6s %6s  %s\n' run start_ms rss_MB pss_MB icons exit saved note
times=() rss=() pss=()
failures=0
declare -A printed=()

for ((run = 1; run <= runs; run++)); do
    # The previous run's icons must be gone, or they would be counted for this one.
    for ((i = 0; i < 500; i++)); do
        xtray_embedded
        ((${#XTRAY_IDS[@]} == 0)) && break
        xtray_nap 0.01
    done

    profile=$(xtray_fresh_profile)
    started=$(xtray_now_us)
    xtray_launch "$bin" "$profile"
    pid=$!

    shown= note= count=0
    while :; do
        xtray_embedded
        now=$(xtray_now_us)
        count=${#XTRAY_IDS[@]}
        # The time is that of the listing which first held all four; the viewable check only confirms it.
        if ((count >= icons)) && xtray_viewable "${XTRAY_IDS[@]}"; then
            shown=$now
            break
        fi
        if ! alive "$pid"; then
            note="ended before showing $icons icons"
            break
        fi
        if ((now - started > timeout_s * 1000000)); then
            note="only $count icons after ${timeout_s} s"
            break
        fi
        xtray_nap 0.003
    done

    t0=$(cat "$profile/t0" 2>/dev/null || echo "$started")
    ms=- rss_mb=- pss_mb=-
    if [[ -n $shown ]]; then
        ms=$(((shown - t0 + 500) / 1000))
        times+=("$ms")
        wait_us=$((t0 + settle_s * 1000000 - $(xtray_now_us)))
        ((wait_us > 0)) && xtray_nap "$(awk -v u="$wait_us" 'BEGIN {printf "%.3f", u / 1e6}')"
        if alive "$pid"; then
            rss_kib=$(kib VmRSS "/proc/$pid/status")
            pss_kib=$(kib Pss "/proc/$pid/smaps_rollup")
            rss_mb=$(mib "$rss_kib") pss_mb=$(mib "$pss_kib")
            rss+=("$rss_mb") pss+=("$pss_mb")
            others=$(xtray_other_windows | cut -d' ' -f2- | paste -sd, -)
            [[ -n $others ]] && note="also shown: $others"
        else
            note="ended within ${settle_s} s"
        fi
    else
        failures=$((failures + 1))
    fi

    # SIGTERM is the way a session ends the program; it must save and leave on its own.
    exit_status=-
    if alive "$pid"; then
        kill -TERM "$pid"
        for ((i = 0; i < 1000; i++)); do
            alive "$pid" || break
            xtray_nap 0.01
        done
        if alive "$pid"; then
            kill -KILL "$pid"
            note="${note:+$note; }killed: no exit 10 s after SIGTERM"
            failures=$((failures + 1))
        fi
    fi
    exit_status=0
    wait "$pid" || exit_status=$?
    pid=
    saved=no
    [[ -s $profile/config/Tarnibe/Tarnibe.conf ]] && saved=yes
    if [[ $saved == no || $exit_status != 0 ]]; then
        failures=$((failures + 1))
    fi

    while IFS= read -r line; do
        [[ -n $line ]] && printed[$line]=$((${printed[$line]:-0} + 1))
    done <"$profile/output.log"

    printf '%4d %10s %8s %8s %6d %6s %6s  %s\n' "$run" "$ms" "$rss_mb" "$pss_mb" "$count" "$exit_status" "$saved" "$note"
done

if ((${#printed[@]})); then
    echo "tarnibe printed (times seen over $runs runs):"
    for line in "${!printed[@]}"; do
        printf '  %3dx %s\n' "${printed[$line]}" "$line"
    done | sort -k2
fi

if ((${#times[@]} == 0)); then
    echo "startup: no run showed $icons tray icons (of $runs runs)"
    exit 1
fi
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
min=$(head -n 1 <<<"$sorted") max=$(tail -n 1 <<<"$sorted")
med=$(median "${times[@]}" | awk '{printf "%.0f", $1}')
rss_med=- pss_med=-
((${#rss[@]})) && rss_med=$(median "${rss[@]}" | awk '{printf "%.1f", $1}')
((${#pss[@]})) && pss_med=$(median "${pss[@]}" | awk '{printf "%.1f", $1}')
echo "startup: median $med ms (min $min, max $max) over ${#times[@]} runs; RSS $rss_med MB, PSS $pss_med MB"
((failures == 0))
