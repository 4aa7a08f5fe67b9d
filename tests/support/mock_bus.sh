# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the test wrappers that put python3-dbusmock's stand-ins for system services on a private bus. Expects
# `work` (a folder the caller removes) and `pids` (the processes the caller ends); sets `python` to a Python that has
# dbusmock, which is a Debian package and so may be only in the system's own.

# True where dbusmock can be had.
find_dbusmock() {
    python=python3
    "$python" -c 'import dbusmock' 2>/dev/null || python=/usr/bin/python3
    "$python" -c 'import dbusmock' 2>/dev/null
}

# Starts a bus of its own on $work/bus and sets `bus` to its address.
start_private_bus() {
    local started
    # With --fork the address and pid are printed once the bus listens.
    started=$(dbus-daemon --session --fork --nosyslog --address="unix:path=$work/bus" --print-address=1 \
        --print-pid=1) || { echo "the private bus did not start" >&2; return 1; }
    bus=$(sed -n 1p <<<"$started")
    pids+=("$(sed -n 2p <<<"$started")")
}

# Starts dbusmock's TEMPLATE on $bus (as its system bus) with any further arguments, and waits until it owns NAME.
start_mock() {
    local template=$1 name=$2 owned=""
    shift 2
    DBUS_SYSTEM_BUS_ADDRESS="$bus" "$python" -m dbusmock --template "$template" "$@" >"$work/$template.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        owned=$(dbus-send --bus="$bus" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner "string:$name" 2>/dev/null | grep -o 'boolean true')
        [[ -n "$owned" ]] && return 0
        sleep 0.1
    done
    echo "the mock $template did not appear" >&2
    cat "$work/$template.out" >&2
    return 1
}
