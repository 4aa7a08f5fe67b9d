#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with a mock logind (python3-dbusmock's template) on a private bus that stands in for the system bus,
# DBUS_SYSTEM_BUS_ADDRESS, so that a test can announce a resume through its EmitSignal and nothing reaches the real
# logind. Exits 77 (skipped) without dbusmock. Chains with the desktop:
#   with_desktop.sh --tray with_logind.sh COMMAND [ARGUMENTS...]
set -uo pipefail

# shellcheck source=../support/mock_bus.sh
source "$(dirname "$0")/../support/mock_bus.sh"
find_dbusmock ||
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

start_private_bus || exit 1
export DBUS_SYSTEM_BUS_ADDRESS="$bus"
start_mock logind org.freedesktop.login1 || exit 1
"$@"
