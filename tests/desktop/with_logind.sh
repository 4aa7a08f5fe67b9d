#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with a mock logind (python3-dbusmock's template) on a private bus that stands in for the system bus,
# DBUS_SYSTEM_BUS_ADDRESS, so that a test can announce a resume through its EmitSignal and nothing reaches the real
# logind. Exits 77 (skipped) without dbusmock. Chains with the desktop:
#   with_desktop.sh --tray with_logind.sh COMMAND [ARGUMENTS...]
set -uo pipefail

python=python3
"$python" -c 'import dbusmock' 2>/dev/null || python=/usr/bin/python3
"$python" -c 'import dbusmock' 2>/dev/null ||
    { echo "with_logind: skipped: python3-dbusmock is missing (scripts/install-deps.sh test)" >&2; exit 77; }

work=$(mktemp -d)
pids=()
finish() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT

started=$(dbus-daemon --session --fork --nosyslog --address="unix:path=$work/bus" --print-address=1 --print-pid=1) ||
    { echo "the private system bus did not start" >&2; exit 1; }
bus=$(sed -n 1p <<<"$started")
pids+=("$(sed -n 2p <<<"$started")")
export DBUS_SYSTEM_BUS_ADDRESS="$bus"

"$python" -m dbusmock --template logind >"$work/logind.out" 2>&1 &
pids+=($!)
owned=""
for _ in $(seq 100); do
    owned=$(dbus-send --bus="$bus" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 2>/dev/null | grep -o 'boolean true')
    [[ -n "$owned" ]] && break
    sleep 0.1
done
[[ -n "$owned" ]] || { echo "the mock logind did not appear" >&2; cat "$work/logind.out" >&2; exit 1; }
"$@"
