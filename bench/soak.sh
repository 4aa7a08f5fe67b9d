#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The soak: the whole suite for half an hour under a steady load, watched for leaks and for anything lost.
#   bench/soak.sh [--minutes 30] [--out DIR] [--build DIR] [--no-build]
# Inside tests/clock/with_time_servers.sh's loopback-only network namespace (its DAYTIME server and mock
# timedated, so the real clock is never set and nothing leaves the machine) it runs bench/soak/soak_suite, which
# is the suite as app/main.cpp builds it, under QT_QPA_PLATFORM=offscreen with a fresh profile, and
# bench/soak/soak_sender as another process sending it a note a second. See bench/README.md for what is counted.
# Raw data goes to DIR (default: a new temporary folder), whose path is printed. Exits 1 when a figure misses its
# mark, 77 when this machine cannot give the soak its namespace.
set -uo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
minutes=30
out=""
build="$top/build-soak"
do_build=1
while [[ $# -gt 0 ]]; do
    case "$1" in
    --minutes) minutes=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --no-build) do_build=0; shift ;;
    *) echo "usage: bench/soak.sh [--minutes N] [--out DIR] [--build DIR] [--no-build]" >&2; exit 2 ;;
    esac
done
[[ "$minutes" =~ ^[1-9][0-9]*$ ]] || { echo "soak: --minutes takes a whole number of minutes" >&2; exit 2; }

if [[ -z "${TARNIBE_SOAK_INNER:-}" ]]; then
    if [[ $do_build -eq 1 ]]; then
        if [[ ! -f "$build/CMakeCache.txt" ]]; then
            cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
        fi
        ninja -j2 -C "$build" soak_suite soak_sender soak_count >/dev/null || { echo "soak: build failed" >&2; exit 1; }
    fi
    if [[ -z "$out" ]]; then
        out=$(mktemp -d /tmp/tarnibe-soak.XXXXXX)
    else
        mkdir -p "$out" || exit 1
    fi
    out=$(cd "$out" && pwd)
    echo "soak: $minutes minutes; raw data in $out"
    TARNIBE_SOAK_INNER=1 "$top/tests/clock/with_time_servers.sh" "$0" --minutes "$minutes" --out "$out" \
        --build "$build" --no-build
    status=$?
    echo "soak: raw data in $out"
    exit "$status"
fi

# From here on inside the namespace. The clock may only ever be set through the mock on the private bus.
if [[ -z "${TARNIBE_TIMEDATED_LOG:-}" || -z "${DBUS_SYSTEM_BUS_ADDRESS:-}" ]]; then
    echo "soak: not inside with_time_servers.sh; refusing to run against the real timedated" >&2
    exit 1
fi
if ip -o link show | grep -qv ': lo:'; then
    echo "soak: this network namespace has more than loopback; refusing" >&2
    exit 1
fi

suite_bin="$build/bench/soak/soak_suite"
sender_bin="$build/bench/soak/soak_sender"
count_bin="$build/bench/soak/soak_count"
for binary in "$suite_bin" "$sender_bin" "$count_bin"; do
    [[ -x "$binary" ]] || { echo "soak: $binary is not built" >&2; exit 1; }
done

profile="$out/profile"
rm -rf "$profile" "$out/notes" "$out/ready"
mkdir -p "$profile/config" "$profile/data" "$profile/runtime" "$profile/cache" "$out/notes"
chmod 700 "$profile/runtime"
export XDG_CONFIG_HOME="$profile/config" XDG_DATA_HOME="$profile/data" XDG_RUNTIME_DIR="$profile/runtime" \
    XDG_CACHE_HOME="$profile/cache" QT_QPA_PLATFORM=offscreen
# The namespace is new and empty: any port is free. The real one, 1001, would need a capability.
port=47001
export TARNIBE_NOTE_PORT=$port
notes_file="$profile/data/Tarnibe/notes.dat"

now_ms() { date +%s%3N; }
value() { sed -n "s/^$1=//p" "$2"; }

"$suite_bin" --minutes "$minutes" --out "$out" >"$out/suite.log" 2>&1 &
suite=$!
sender=""
cleanup() {
    for pid in $sender $suite; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
}
trap cleanup EXIT

for _ in $(seq 600); do
    [[ -f "$out/ready" ]] && break
    kill -0 "$suite" 2>/dev/null || break
    sleep 0.1
done
if [[ ! -f "$out/ready" ]]; then
    echo "soak: the suite did not start; its output:" >&2
    cat "$out/suite.log" >&2
    exit 1
fi
if [[ $(value listening "$out/ready") != 1 ]]; then
    echo "soak: the suite does not listen for notes on port $port" >&2
    exit 1
fi
start_ms=$(value start_ms "$out/ready")
end_ms=$(value end_ms "$out/ready")

"$sender_bin" --port "$port" --seconds $((minutes * 60)) >"$out/sender.log" 2>&1 &
sender=$!

# Memory every 10 s and the notes file every minute, on a beat counted from the suite's start.
printf 'seconds\tvmrss_kb\tpss_kb\n' >"$out/rss.tsv"
sample=1
sender_done=0
while :; do
    due=$((start_ms + sample * 10000))
    wait_ms=$((due - $(now_ms)))
    ((wait_ms > 0)) && sleep "$(printf '%d.%03d' $((wait_ms / 1000)) $((wait_ms % 1000)))"
    if ! kill -0 "$suite" 2>/dev/null; then
        echo "soak: the suite ended on its own after $((sample * 10)) s; its output:" >&2
        tail -n 40 "$out/suite.log" >&2
        exit 1
    fi
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$suite/status")
    pss=$(awk '/^Pss:/ {print $2}' "/proc/$suite/smaps_rollup")
    printf '%d\t%s\t%s\n' $((sample * 10)) "$rss" "$pss" >>"$out/rss.tsv"
    if ((sample % 6 == 0)); then
        cp "$notes_file" "$out/notes/minute-$(printf '%02d' $((sample / 6))).dat" 2>/dev/null
    fi
    if [[ $sender_done -eq 0 ]] && ! kill -0 "$sender" 2>/dev/null; then
        sender_done=1
    fi
    [[ $sender_done -eq 1 && $(now_ms) -ge $end_ms ]] && break
    sample=$((sample + 1))
done

# A session end, as the desktop would have it: the suite saves and goes.
kill -TERM "$suite"
for _ in $(seq 300); do
    kill -0 "$suite" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$suite" 2>/dev/null; then
    echo "soak: the suite did not end within 30 s of SIGTERM" >&2
    kill -KILL "$suite"
    exit 1
fi
wait "$suite"
suite_status=$?
wait "$sender"
sender=""
suite=""
trap - EXIT

cp "$notes_file" "$out/notes/final.dat"
cp "$TARNIBE_TIMEDATED_LOG" "$out/timedated.log"
cp "$profile/data/Tarnibe/"*.log "$out/" 2>/dev/null
(cd "$out/notes" && "$count_bin" minute-*.dat final.dat) >"$out/notes-counts.txt"

# The figures.
summary="$out/summary.txt"
[[ -f "$summary" ]] || { echo "soak: the suite wrote no summary (status $suite_status)" >&2; exit 1; }
get() { value "$1" "$summary"; }
failures=0
# Takes the status of the check just made: V is "ok" or "FAIL", and failures counts the latter.
mark() {
    if [[ $1 -eq 0 ]]; then V=ok; else V=FAIL; failures=$((failures + 1)); fi
}
mb() { awk -v kb="$1" 'BEGIN { printf "%.1f", kb / 1024 }'; }
# The sample nearest to a given second: "vmrss pss" in kB.
at() { awk -v t="$1" 'NR > 1 { d = $1 - t; if (d < 0) d = -d; if (best == "" || d < best) { best = d; r = $2 " " $3 } }
                     END { print r }' "$out/rss.tsv"; }

third=$(( minutes >= 3 ? minutes / 3 : 1 ))
read -r rss1 pss1 <<<"$(at 60)"
read -r rss_mid pss_mid <<<"$(at $((third * 60)))"
read -r rss_end pss_end <<<"$(at $((minutes * 60)))"
growth=$((rss_end - rss_mid))
pss_growth=$((pss_end - pss_mid))
echo
echo "RSS (VmRSS, Pss) at 1 min: $(mb "$rss1") MB, $(mb "$pss1") MB; at $third min: $(mb "$rss_mid") MB," \
    "$(mb "$pss_mid") MB; at $minutes min: $(mb "$rss_end") MB, $(mb "$pss_end") MB"
test $growth -lt 2048
mark $?
echo "  growth $third -> $minutes min: $(mb $growth) MB VmRSS, $(mb $pss_growth) MB Pss (target: under 2 MB):" \
    "$V"
# Every received note stays open as a window, so the growth is also given per note received in the same span.
received_at() {
    local n
    n=$(sed -n "s/^minute-$(printf '%02d' "$1").dat .* received=\([0-9]*\) .*/\1/p" "$out/notes-counts.txt")
    echo "${n:-0}"
}
span_notes=$(($(received_at "$minutes") - $(received_at "$third")))
((span_notes > 0)) && echo "  notes received in that span: $span_notes, $((growth / span_notes)) kB of VmRSS each"

sent=$(sed -n 's/^sent=\([0-9]*\) failed=.*/\1/p' "$out/sender.log")
send_failed=$(sed -n 's/^sent=[0-9]* failed=\([0-9]*\)/\1/p' "$out/sender.log")
read -r file_received file_distinct file_damaged <<<"$(sed -n 's/^final.dat .* received=\([0-9]*\) distinct=\([0-9]*\) .*damaged=\([01]\)/\1 \2 \3/p' "$out/notes-counts.txt")"
received=$(get notes_received)
[[ -n "$sent" && "$send_failed" == 0 && "$sent" -eq $((minutes * 60)) && "$received" -eq "$sent" &&
    $(get notes_received_distinct) -eq "$sent" && "${file_received:-x}" == "$sent" && "$file_distinct" == "$sent" &&
    "$file_damaged" == 0 ]]
mark $?
echo "notes: sent ${sent:-?} (failed ${send_failed:-?}), received $received ($(get notes_received_distinct)" \
    "different), in notes.dat ${file_received:-?} (${file_distinct:-?} different): $V"
echo "  notes.dat, received notes after each minute: $(sed -n 's/^minute-.* received=\([0-9]*\) .*/\1/p' \
    "$out/notes-counts.txt" | tr '\n' ' ')"

rung=$(get alarms_rung)
[[ $rung -eq $(get alarms_planned) && $(get alarms_due) -eq $(get alarms_planned) &&
    $(get alarms_rung_distinct) -eq $rung && $(get alarms_rung_outside_their_minute) -eq 0 ]]
mark $?
echo "alarms: rung $rung of $(get alarms_planned) expected ($(get alarms_rung_distinct) different," \
    "$(get alarms_rung_outside_their_minute) outside their minute): $V"

checks=$(get mail_checks_ok)
least=$(get mail_checks_expected_least)
most=$(get mail_checks_expected_most)
expected=$least
[[ $least -ne $most ]] && expected="$least-$most"
[[ $checks -ge $least && $checks -le $most && $(get mail_ticks) -eq $checks &&
    $(get mail_checks_reported_new) -eq $checks && $(get dovecot_logins) -eq $((3 * checks)) ]]
mark $?
echo "mail checks: $checks done of $expected expected (each: all 3 accounts answered, every delivered message" \
    "seen; $(get mail_checks_reported_new) with the new mail in the notice; $(get dovecot_logins) Dovecot logins):" \
    "$V"

clicks=$(get syncs_clicked)
succeeded=$(get syncs_succeeded)
set_calls=$(grep -c ' SetTime ' "$out/timedated.log")
least=$(get syncs_expected_least)
most=$(get syncs_expected_most)
expected=$least
[[ $least -ne $most ]] && expected="$least-$most"
[[ $clicks -ge $least && $clicks -le $most && $succeeded -eq $clicks && $(get syncs_failed) -eq 0 &&
    $set_calls -eq $succeeded ]]
mark $?
echo "clock syncs: $clicks done, $succeeded succeeded, $(get syncs_failed) failed, of $expected expected" \
    "($set_calls SetTime calls at the mock timedated; slowest $(get sync_slowest_ms) ms): $V"

[[ $suite_status -eq 0 && $(get other_boxes) -eq 0 ]]
mark $?
echo "session end: status $suite_status, $(get other_boxes) other message boxes: $V"

[[ $failures -eq 0 ]] && exit 0
exit 1
