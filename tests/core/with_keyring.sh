#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the given test against a real keyring of its own: GNOME Keyring's Secret Service on a private session bus
# (dbus-run-session), with a fresh HOME whose login keyring is created unlocked. TARNIBE_TEST_KEYRING_PID names
# the daemon, so that a test can stop it and see what a hung keyring does.
# Exits with the test's status, or 77 (skipped) where GNOME Keyring or dbus-run-session is missing.
set -uo pipefail

for tool in dbus-run-session gnome-keyring-daemon dbus-send; do
    command -v "$tool" >/dev/null || { echo "with_keyring: skipped: $tool is missing" >&2; exit 77; }
done

if [[ -z "${TARNIBE_KEYRING_BUS:-}" ]]; then
    TARNIBE_KEYRING_BUS=1 exec dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d)
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
# --unlock reads the login keyring's password from stdin and creates that keyring unlocked.
printf 'tarnibe-test' | gnome-keyring-daemon --foreground --unlock --components=secrets >"$work/daemon.log" 2>&1 &
daemon=$!
cleanup() {
    kill -CONT "$daemon" 2>/dev/null
    kill "$daemon" 2>/dev/null
    wait "$daemon" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q true && break
    sleep 0.1
done
if ! kill -0 "$daemon" 2>/dev/null; then
    echo "with_keyring: skipped: gnome-keyring-daemon did not start:" >&2
    cat "$work/daemon.log" >&2
    exit 77
fi

TARNIBE_TEST_KEYRING_PID=$daemon "$@"
