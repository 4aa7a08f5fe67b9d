#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with a sound server of its own whose only sink is a null sink, so that what the suite plays can be
# recorded from the sink's monitor (parec -d @DEFAULT_MONITOR@) and no sound card is touched: a private PulseAudio
# where pulseaudio is installed, otherwise a private PipeWire with its PulseAudio server and WirePlumber to link the
# streams (a desktop whose sound is PipeWire cannot have pulseaudio installed beside it). TARNIBE_SOUND_SERVER=pipewire
# or =pulseaudio chooses. PULSE_SERVER and PULSE_COOKIE lead the command's clients to it either way, whatever runtime
# folder or home they use. Everything started here ends with the script. Chains with the desktop:
#   with_desktop.sh --tray with_sound.sh COMMAND [ARGUMENTS...]
set -u

if [ $# -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGUMENTS...]" >&2
    exit 2
fi
kind=${TARNIBE_SOUND_SERVER:-}
if [ -z "$kind" ]; then
    kind=pipewire
    command -v pulseaudio >/dev/null && kind=pulseaudio
fi

root=$(mktemp -d "${TMPDIR:-/tmp}/with_sound.XXXXXX") || exit 1
command=
servers=

finish() {
    for pid in $command $servers; do
        kill "$pid" 2>/dev/null
    done
    for pid in $command $servers; do
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

# Starts a server in the background with folders of its own: neither the user's configuration, state, session bus
# nor running sound server reaches it.
serve() {
    (
        export XDG_RUNTIME_DIR="$root/runtime" PIPEWIRE_RUNTIME_DIR="$root/runtime" HOME="$root"
        export PULSE_RUNTIME_PATH="$root/runtime/pulse" PULSE_STATE_PATH="$root/state" XDG_STATE_HOME="$root/state"
        export XDG_CONFIG_HOME="$root/config"
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$root/no-bus"
        unset PIPEWIRE_REMOTE
        exec "$@"
    ) 2>>"$root/server.log" &
    servers="$servers $!"
}

case "$kind" in
pulseaudio)
    # -n: none of the default modules, which would look for sound cards, the session bus and other servers.
    cat >"$root/server.pa" <<EOF
load-module module-null-sink sink_name=tarnibe_null
load-module module-native-protocol-unix socket=$root/runtime/native
set-default-sink tarnibe_null
EOF
    serve pulseaudio -n -F "$root/server.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no --realtime=no \
        --high-priority=no --log-target=stderr
    ;;
pipewire)
    # The graph's only device is the null sink; a dummy driver clocks it. Names of our own, so that no pipewire.conf.d
    # of the system's is merged in.
    cat >"$root/tarnibe-pipewire.conf" <<EOF
context.properties = { core.daemon = true core.name = pipewire-0 support.dbus = false }
context.spa-libs = { audio.convert.* = audioconvert/libspa-audioconvert support.* = support/libspa-support }
context.modules = [
    { name = libpipewire-module-protocol-native } { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory } { name = libpipewire-module-client-node }
    { name = libpipewire-module-access } { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
]
context.objects = [
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Dummy-Driver priority.driver = 20000 } }
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = tarnibe_null media.class = Audio/Sink
               audio.position = [ FL FR ] monitor.channel-volumes = true object.linger = true } }
]
EOF
    cat >"$root/tarnibe-pulse.conf" <<EOF
context.properties = { support.dbus = false }
context.spa-libs = { audio.convert.* = audioconvert/libspa-audioconvert support.* = support/libspa-support }
context.modules = [
    { name = libpipewire-module-protocol-native } { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter } { name = libpipewire-module-metadata }
    { name = libpipewire-module-protocol-pulse args = { server.address = [ "unix:$root/runtime/native" ] } }
]
EOF
    # WirePlumber's own configuration, with the hardware monitors and the flatpak portal (a session bus) off: 0.5
    # reads the profile, 0.4 the Lua.
    mkdir -p "$root/config/wireplumber/wireplumber.conf.d" "$root/config/wireplumber/main.lua.d" \
        "$root/config/wireplumber/bluetooth.lua.d"
    cat >"$root/config/wireplumber/wireplumber.conf.d/tarnibe.conf" <<EOF
wireplumber.profiles = {
    main = { hardware.audio = disabled hardware.bluetooth = disabled hardware.video-capture = disabled }
}
EOF
    cat >"$root/config/wireplumber/main.lua.d/51-tarnibe.lua" <<EOF
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
default_access.properties["enable-flatpak-portal"] = false
EOF
    printf 'bluez_monitor.enabled = false\n' >"$root/config/wireplumber/bluetooth.lua.d/51-tarnibe.lua"
    serve pipewire -c "$root/tarnibe-pipewire.conf"
    tries=0
    until [ -S "$root/runtime/pipewire-0" ]; do
        tries=$((tries + 1))
        [ $tries -gt 200 ] && break
        sleep 0.05
    done
    serve pipewire -c "$root/tarnibe-pulse.conf"
    serve wireplumber
    ;;
*)
    echo "TARNIBE_SOUND_SERVER: pulseaudio or pipewire, not '$kind'" >&2
    exit 2
    ;;
esac

# Ready once the null sink is the default: under PipeWire, when WirePlumber has chosen it.
tries=0
until pactl info 2>/dev/null | grep -q '^Default Sink: tarnibe_null$'; do
    tries=$((tries + 1))
    for pid in $servers; do
        kill -0 "$pid" 2>/dev/null || tries=1000
    done
    if [ $tries -gt 200 ]; then
        echo "The $kind sound server did not start:" >&2
        cat "$root/server.log" >&2
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
