#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the given test against real time servers of its own: inetd's built-in DAYTIME service on 127.0.0.1:13, chronyd
# as an NTP server on 127.0.0.1 (TARNIBE_NTP_PORT) that never sets a clock, and a mock systemd-timedated and logind on
# a private bus standing in for the system bus, all inside a network namespace that has nothing but loopback, so that
# no packet leaves the machine, the real clock is never set, and a test may take loopback down and up.
# Exits with the test's status, or 77 (skipped) where this machine cannot give the test such a namespace.
set -uo pipefail

skip() {
    echo "with_time_servers: skipped: $*" >&2
    exit 77
}

if [[ -z "${TARNIBE_TIME_NETNS:-}" ]]; then
    # Root makes a network namespace directly; anyone else needs a user namespace to be root in.
    if [[ $(id -u) -eq 0 ]]; then ns=(-n); else ns=(-r -n); fi
    why=$(unshare "${ns[@]}" true 2>&1) || skip "unshare ${ns[*]} is not permitted here: $why"
    TARNIBE_TIME_NETNS=$(id -u) exec unshare "${ns[@]}" "$0" "$@"
fi

ip link set lo up || skip "cannot bring up loopback in the new namespace"
# chronyd as scripts/install-deps.sh unpacks it, or a system's own.
chronyd=/var/cache/tarnibe-test/chrony/usr/sbin/chronyd
[[ -x $chronyd ]] || chronyd=/usr/sbin/chronyd
for tool in /usr/sbin/inetd "$chronyd" dbus-daemon dbus-send; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps.sh test)"
done
# shellcheck source=../support/mock_bus.sh
source "$(dirname "$0")/../support/mock_bus.sh"
find_dbusmock || skip "python3-dbusmock is missing (scripts/install-deps.sh test)"

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# -d and -i keep inetd in the foreground and without a pid file; -E lets TZ through to the daytime service.
printf '127.0.0.1:daytime stream tcp nowait root internal\n' >"$work/inetd.conf"
TZ=UTC /usr/sbin/inetd -d -E -i "$work/inetd.conf" 2>"$work/inetd.log" &
pids+=($!)
for _ in $(seq 50); do
    if { exec 3<>/dev/tcp/127.0.0.1/13; } 2>/dev/null; then
        read -r -t 2 line <&3
        exec 3<&-
        [[ -n "${line:-}" ]] && break
    fi
    sleep 0.1
done
[[ -n "${line:-}" ]] || { echo "inetd did not answer on 127.0.0.1:13" >&2; cat "$work/inetd.log" >&2; exit 1; }

# chronyd as a server of its local clock only. -x: it never sets a clock, and -d keeps it in the foreground with its
# log on stderr. Started by root, it drops to its own user, which needs the folder; in a user namespace, whose root
# holds no power over the real clock, it stays that root.
ntp_port=11123
mkdir "$work/chrony"
chrony_user=()
if [[ $TARNIBE_TIME_NETNS == 0 ]] && id _chrony >/dev/null 2>&1; then
    chown _chrony "$work/chrony"
else
    chrony_user=(-u root)
fi
printf '%s\n' 'local stratum 8' 'allow 127.0.0.1' "port $ntp_port" 'bindaddress 127.0.0.1' 'cmdport 0' \
    "pidfile $work/chrony/chronyd.pid" "driftfile $work/chrony/drift" >"$work/chrony.conf"
"$chronyd" -x -d "${chrony_user[@]}" -f "$work/chrony.conf" 2>"$work/chronyd.log" &
pids+=($!)
ntp_up=""
for _ in $(seq 50); do
    ntp_up=$("$python" - "$ntp_port" <<'PY'
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(0.2)
s.sendto(b"\x23" + bytes(47), ("127.0.0.1", int(sys.argv[1])))
try:
    reply = s.recv(512)
except OSError:
    sys.exit(0)
# A server that tells the time: not "unsynchronised", not a kiss-o'-death.
print("up" if reply[0] >> 6 != 3 and reply[1] != 0 else "")
PY
    )
    [[ $ntp_up == up ]] && break
    sleep 0.1
done
if [[ $ntp_up != up ]] || ! grep -q 'Disabled control of system clock' "$work/chronyd.log"; then
    echo "chronyd did not serve the time on 127.0.0.1:$ntp_port with the clock left alone" >&2
    cat "$work/chronyd.log" >&2
    exit 1
fi

start_private_bus || exit 1
export DBUS_SYSTEM_BUS_ADDRESS="$bus" DBUS_SESSION_BUS_ADDRESS="$bus"
# The system's own time service off, as the tests that set the clock need; a test turns it on itself.
start_mock timedated org.freedesktop.timedate1 -p '{"NTP": false}' -l "$work/timedated.log" || exit 1
# logind, so that a test can have the system resume (its PrepareForSleep through dbusmock's EmitSignal).
start_mock logind org.freedesktop.login1 || exit 1

TZ=UTC TARNIBE_TIMEDATED_LOG="$work/timedated.log" TARNIBE_DAYTIME_PORT=13 TARNIBE_NTP_PORT=$ntp_port "$@"
status=$?
exit "$status"
