#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with a sound server of its own: a private PulseAudio whose only sink is a null sink, so that what
# the suite plays can be recorded from the sink's monitor (parec -d @DEFAULT_MONITOR@) and no sound card is touched.
# PULSE_SERVER and PULSE_COOKIE lead the command's clients to it, whatever runtime folder or home they use.
# Everything started here ends with the script. Chains with the desktop:
#   with_desktop.sh --tray with_sound.sh COMMAND [ARGUMENTS...]
set -u

if [ $# -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGUMENTS...]" >&2
    exit 2
fi

root=$(mktemp -d "${TMPDIR:-/tmp}/with_sound.XXXXXX") || exit 1
command=
server=

finish() {
    for pid in $command $server; do
        kill "$pid" 2>/dev/null
    done
    for pid in $command $server; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$root"
}
trap finish EXIT
trap 'exit 143' TERM INT HUP

mkdir -m 700 "$root/runtime" "$root/state" "$root/config"
export PULSE_SERVER="unix:$root/runtime/native"
export PULSE_COOKIE="$root/cookie"
# Clients never start a server of their own when this one is gone.
printf 'autospawn = no\n' >"$root/client.conf"
export PULSE_CLIENTCONFIG="$root/client.conf"

# -n: none of the default modules, which would look for sound cards, the session bus and other servers.
cat >"$root/server.pa" <<EOF
load-module module-null-sink sink_name=tarnibe_null
load-module module-native-protocol-unix socket=$root/runtime/native
set-default-sink tarnibe_null
EOF
XDG_RUNTIME_DIR="$root/runtime" PULSE_RUNTIME_PATH="$root/runtime/pulse" PULSE_STATE_PATH="$root/state" \
    XDG_CONFIG_HOME="$root/config" HOME="$root" \
    pulseaudio -n -F "$root/server.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no --realtime=no \
    --high-priority=no --log-target=stderr 2>"$root/pulseaudio.log" &
server=$!

tries=0
until pactl info >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ $tries -gt 200 ] || ! kill -0 "$server" 2>/dev/null; then
        echo "PulseAudio did not start:" >&2
        cat "$root/pulseaudio.log" >&2
        exit 1
    fi
    sleep 0.05
done

# In the background, so that a signal to this script is handled at once rather than after the command ends.
"$@" &
command=$!
wait "$command"
status=$?
command=
exit $status
