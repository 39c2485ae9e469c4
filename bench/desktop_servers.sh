#!/usr/bin/env bash
# Runs `dewlark-bench desktop` against a private PulseAudio and a private PipeWire (each with a null
# sink "speakers" as the default output), one after the other, and ends them.
# Usage: bench/desktop_servers.sh DEWLARK-BENCH [pulseaudio|pipewire]...
set -euo pipefail
bench="$1"
shift
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(pulseaudio pipewire)
for kind in "${kinds[@]}"; do
    dir=$(mktemp -d)
    mkdir -p "$dir/run" "$dir/home"
    chmod 700 "$dir/run"
    export XDG_RUNTIME_DIR="$dir/run" HOME="$dir/home"
    if [ "$kind" = pulseaudio ]; then
        socket="$dir/pulse.sock"
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr --log-level=error \
            -L "module-native-protocol-unix socket=$socket auth-anonymous=1" \
            -L "module-null-sink sink_name=speakers sink_properties=device.description=Speakers" &
        pid=$!
    else
        socket="$dir/run/pulse/native"
        setsid dbus-run-session -- sh -c 'pipewire >/dev/null 2>&1 & sleep 0.2; wireplumber >/dev/null 2>&1 &
            pipewire-pulse >/dev/null 2>&1 & wait' 2>/dev/null &
        pid=$!
    fi
    export PULSE_SERVER="unix:$socket"
    for _ in $(seq 400); do pactl info >/dev/null 2>&1 && break; sleep 0.02; done
    if [ "$kind" = pipewire ]; then
        pactl load-module module-null-sink sink_name=speakers sink_properties=device.description=Speakers >/dev/null
        for _ in $(seq 150); do pactl info | grep -q "Default Sink: speakers" && break; sleep 0.02; done
    fi
    echo "== $kind ($(pactl info | sed -n 's/^Server Name: //p'))"
    QT_QPA_PLATFORM=offscreen timeout 120 "$bench" desktop || true
    if [ "$kind" = pipewire ]; then kill -- -"$pid" 2>/dev/null || true; else kill "$pid" 2>/dev/null || true; fi
    wait "$pid" 2>/dev/null || true
    rm -rf "$dir"
done
