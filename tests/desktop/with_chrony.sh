#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command beside chronyd serving this computer's clock as NTP on a free loopback port, TARNIBE_NTP_PORT,
# with a configuration of its own and -x, so that it never sets a clock. Exits 77 (skipped) without chronyd. Chains
# with the desktop:
#   with_desktop.sh --tray with_chrony.sh COMMAND [ARGUMENTS...]
set -uo pipefail

# chronyd as scripts/install-deps.sh unpacks it (installed, chrony would replace the system's time service).
chronyd=/var/cache/tarnibe-test/chrony/usr/sbin/chronyd
[[ -x $chronyd ]] || chronyd=/usr/sbin/chronyd
[[ -x $chronyd ]] || { echo "with_chrony: skipped: chronyd is missing (scripts/install-deps.sh test)" >&2; exit 77; }

work=$(mktemp -d)
chronyd_pid=""
finish() {
    [[ -n $chronyd_pid ]] && kill "$chronyd_pid" 2>/dev/null && wait "$chronyd_pid" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT

port=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# Root's chronyd drops to its own user where there is one, which must reach the folder; elsewhere it stays as it is.
user=()
if [[ $(id -u) == 0 ]] && id _chrony >/dev/null 2>&1; then chown _chrony "$work"; else user=(-u "$(id -un)"); fi
printf '%s\n' 'local stratum 8' 'allow 127.0.0.1' "port $port" 'bindaddress 127.0.0.1' 'cmdport 0' \
    "pidfile $work/chronyd.pid" >"$work/chrony.conf"
"$chronyd" -x -d "${user[@]}" -f "$work/chrony.conf" 2>"$work/chronyd.log" &
chronyd_pid=$!
for _ in $(seq 50); do
    # Up once it tells the time: neither unsynchronised nor a kiss-o'-death.
    up=$(python3 - "$port" <<'PY'
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(0.2)
s.sendto(b"\x23" + bytes(47), ("127.0.0.1", int(sys.argv[1])))
try:
    reply = s.recv(512)
    print("up" if reply[0] >> 6 != 3 and reply[1] != 0 else "")
except OSError:
    pass
PY
    )
    [[ $up == up ]] && break
    sleep 0.1
done
if [[ $up != up ]] || ! grep -q 'Disabled control of system clock' "$work/chronyd.log"; then
    echo "chronyd did not serve the time on 127.0.0.1:$port with the clock left alone" >&2
    cat "$work/chronyd.log" >&2
    exit 1
fi
TARNIBE_NTP_PORT=$port "$@"
